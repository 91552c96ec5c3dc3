#include "framework/ErrorText.h"

#include "framework/Win.h"

UnicodeString ErrorBoxText(const Exception& e)
{
    UnicodeString text = e.Message();
    if (e.InnerException()) {
        const UnicodeString& inner = e.Innermost().Message();
        if (!inner.empty())
            text = inner;
    }
    if (!text.empty() && text.back() > L'.')
        text += L'.';
    return text;
}

UnicodeString DefaultTitle(const UnicodeString& exePath)
{
    const auto slash = exePath.find_last_of(L"\\/");
    UnicodeString name = slash == UnicodeString::npos ? exePath : exePath.substr(slash + 1);
    name = name.substr(0, name.find(L'.'));
    if (name.size() > 1)
        CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
}
