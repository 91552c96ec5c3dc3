#include "util/FileErrors.h"

#include "framework/win32/Paths.h"
#include "framework/win32/SystemErrorText.h"

EFCreateError FileCreateError(const UnicodeString& fileName, DWORD code)
{
    return EFCreateError(L"Cannot create file \"" + FullPath(fileName) + L"\". " + SystemErrorText(code));
}

EFOpenError FileOpenError(const UnicodeString& fileName, DWORD code)
{
    return EFOpenError(L"Cannot open file \"" + FullPath(fileName) + L"\". " + SystemErrorText(code));
}

EWriteError FileWriteError()
{
    return EWriteError(L"Stream write error");
}
