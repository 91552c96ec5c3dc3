#include "framework/CaughtException.h"

#include "framework/AsciiText.h"
#include "framework/ForeignFailure.h"

#include <new>
#include <stdexcept>

CaughtException SortCaughtException()
{
    try {
        throw;
    } catch (const Exception& e) {
        return {CaughtKind::Family, e};
    } catch (const ForeignFailure& failure) {
        return {CaughtKind::Foreign, Exception(failure.Message())};
    } catch (const std::bad_alloc&) {
        return {CaughtKind::Family, EOutOfMemory()};
    } catch (const std::length_error&) {
        return {CaughtKind::Family, Exception(L"Text or list too long")};
    } catch (const std::exception& e) {
        return {CaughtKind::Family, Exception(WidenAscii(e.what()))};
    } catch (...) {
        return {CaughtKind::Unknown, Exception(L"An exception of an unknown kind was raised")};
    }
}

Exception CaughtFamilyOrRethrow()
{
    CaughtException caught = SortCaughtException();
    if (caught.kind != CaughtKind::Family)
        throw;
    return std::move(caught.exception);
}
