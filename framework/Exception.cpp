#include "framework/Exception.h"

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

std::string Narrow(const UnicodeString& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text)
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

} // namespace

Exception::Exception(UnicodeString message)
    : message_(std::move(message)), narrow_(Narrow(message_))
{
}

Exception::Exception(UnicodeString message, const Exception& inner)
    : message_(std::move(message)), inner_(std::make_shared<Exception>(inner)), narrow_(Narrow(message_))
{
}

const Exception& Exception::Innermost() const noexcept
{
    const Exception* e = this;
    while (e->inner_)
        e = e->inner_.get();
    return *e;
}

UnicodeString Exception::ToString() const
{
    UnicodeString text = message_;
    for (const Exception* e = inner_.get(); e; e = e->inner_.get()) {
        text += L"\r\n";
        text += e->message_;
    }
    return text;
}

std::optional<Exception> CaughtFamilyException()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return EOutOfMemory();
    } catch (const std::length_error&) {
        return Exception(L"Text or list too long");
    } catch (const std::exception& e) {
        return Exception(Widen(e.what()));
    } catch (...) {
        return std::nullopt;
    }
}
