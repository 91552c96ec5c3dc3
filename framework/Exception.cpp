#include "framework/Exception.h"

namespace {

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
