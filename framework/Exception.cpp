#include "framework/Exception.h"

#include "framework/AsciiText.h"

Exception::Exception(UnicodeString message)
    : message_(std::move(message)), narrow_(NarrowAscii(message_))
{
}

Exception::Exception(UnicodeString message, const Exception& inner)
    : message_(std::move(message)), inner_(std::make_shared<Exception>(inner)), narrow_(NarrowAscii(message_))
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
