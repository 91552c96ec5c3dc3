#include "app/ProgramRescue.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"
#include "util/Myfunc.h"

#include <cstdio>

namespace {

bool Exists(const UnicodeString& name)
{
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

UnicodeString ProgramCopyName(int year, int month, int day, int hour, int minute, int second, int number)
{
    wchar_t name[64];
    std::swprintf(name, 64, L"QAVDemo-program-%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute, second);
    UnicodeString text = name;
    if (number > 1)
        text += L"-" + std::to_wstring(number);
    return text + L".txt";
}

UnicodeString SaveProgramCopy(const UnicodeString& program)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // A copy saved earlier in the same second is kept.
    UnicodeString name;
    for (int number = 1; name.empty() || Exists(name); ++number)
        name = ProgramCopyName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, number);
    const UnicodeString path = FullPath(name);
    try {
        StrToFile(path, program);
    } catch (const Exception& e) {
        // A file error names the path already, a write error does not.
        UnicodeString why = e.Message().find(path) == UnicodeString::npos
                                ? L"Could not save the program to " + path + L": " + e.Message()
                                : L"Could not save the program: " + e.Message();
        if (!why.ends_with(L'.'))
            why += L'.';
        throw Exception(why);
    }
    return path;
}

void KeepProgramAtProcessEnd(const wchar_t* operation, const ProcessEnd& end, bool otherThread,
                             const UnicodeString& program) noexcept
{
    try {
        UnicodeString line = end.way == ProcessEndWay::Unseen
                                 ? L"The library ended the process in " + UnicodeString(operation) +
                                       L", in a way QAV Demo could not turn aside"
                                 : L"The library ended the process with " + ProcessEndCall(end) + L" in " + operation;
        if (otherThread)
            line += L", from a thread of its own";
        try {
            line += L"; the program was saved to " + SaveProgramCopy(program) + L".";
        } catch (const Exception& e) {
            line += L"; the program could not be saved: " + e.Message();
        }
        WriteLog(L"exceptions.log", line);
    } catch (...) {
        // The process ends either way; there is no one left to tell.
    }
}
