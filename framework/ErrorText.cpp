#include "framework/ErrorText.h"

#include "framework/Win.h"
#include "framework/win32/Paths.h"

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
    UnicodeString name = FileNameOf(exePath);
    name = name.substr(0, name.find(L'.'));
    if (name.size() > 1)
        CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
}
