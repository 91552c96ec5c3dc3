#include "binding/ConventionCheck.h"

#include <string>

namespace {

// The last contract call's arguments on this thread: what it was given and what it left.
thread_local int32_t t_left = 0;
thread_local int32_t t_given = 0;

// The first breach, kept until the log takes it; a session reports one.
bool g_breachSeen = false;
UnicodeString g_notice;

UnicodeString Bytes(int32_t count)
{
    return std::to_wstring(count) + (count == 1 ? L" byte" : L" bytes");
}

UnicodeString Describe(const UnicodeString& operation, int32_t left, int32_t given)
{
    const UnicodeString fix =
        L"the 32-bit workbench calls stdcall functions (QAV_CALL in QAVInterface.h). The workbench put the stack back.";
    if (left == given)
        return L"The library's " + operation + L" left its " + Bytes(given) +
               L" of arguments on the stack: it uses the cdecl calling convention, but " + fix;
    if (left > 0)
        return L"The library's " + operation + L" left " + Bytes(left) + L" of its " + Bytes(given) +
               L" of arguments on the stack: its declaration does not match the contract's, and " + fix;
    return L"The library's " + operation + L" removed " + Bytes(given - left) +
           L" of arguments from the stack where it was given " + Bytes(given) +
           L": its declaration does not match the contract's, and " + fix;
}

} // namespace

namespace convention_detail {

void SetArgumentBytesLeft(int32_t left, int32_t given) noexcept
{
    t_left = left;
    t_given = given;
}

} // namespace convention_detail

void ResetArgumentCheck() noexcept
{
    t_left = 0;
    t_given = 0;
}

void CheckArguments(const wchar_t* operation) noexcept
{
    if (t_left == 0 || g_breachSeen)
        return;
    g_breachSeen = true;
    try {
        g_notice = Describe(operation, t_left, t_given);
    } catch (...) {
        // Without memory for the text the breach goes unsaid; the stack is back either way.
    }
}

UnicodeString TakeConventionNotice()
{
    UnicodeString notice;
    notice.swap(g_notice);
    return notice;
}
