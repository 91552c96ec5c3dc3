#include "framework/CaughtException.h"

#include "framework/HardwareFault.h"

#include <new>
#include <stdexcept>

namespace {

UnicodeString Widen(const char* text)
{
    // what() texts of the standard library are ASCII.
    UnicodeString wide;
    for (const char* p = text; *p; ++p)
        wide.push_back(static_cast<unsigned char>(*p) < 0x80 ? static_cast<wchar_t>(*p) : L'?');
    return wide;
}

} // namespace

CaughtException SortCaughtException()
{
    try {
        throw;
    } catch (const Exception& e) {
        return {CaughtKind::Family, e};
    } catch (const HardwareFault& fault) {
        return {CaughtKind::HardwareFault, Exception(fault.Message())};
    } catch (const std::bad_alloc&) {
        return {CaughtKind::Family, EOutOfMemory()};
    } catch (const std::length_error&) {
        return {CaughtKind::Family, Exception(L"Text or list too long")};
    } catch (const std::exception& e) {
        return {CaughtKind::Family, Exception(Widen(e.what()))};
    } catch (...) {
        return {CaughtKind::Unknown, Exception(L"An exception of an unknown kind was raised")};
    }
}
