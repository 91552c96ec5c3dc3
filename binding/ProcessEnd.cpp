#include "binding/ProcessEnd.h"

#include <string>

namespace {

// The C runtime's exit codes are ints; Windows' are unsigned.
UnicodeString Signed(uint32_t code)
{
    return std::to_wstring(static_cast<int32_t>(code));
}

} // namespace

UnicodeString ProcessEndCall(const ProcessEnd& end)
{
    switch (end.way) {
    case ProcessEndWay::Abort:
        return L"abort()";
    case ProcessEndWay::Exit:
        return L"exit(" + Signed(end.exitCode) + L")";
    case ProcessEndWay::QuickExit:
        return L"quick_exit(" + Signed(end.exitCode) + L")";
    case ProcessEndWay::ExitAtOnce:
        return L"_exit(" + Signed(end.exitCode) + L")";
    case ProcessEndWay::ExitAtOnceC99:
        return L"_Exit(" + Signed(end.exitCode) + L")";
    case ProcessEndWay::ExitProcess:
        return L"ExitProcess(" + std::to_wstring(end.exitCode) + L")";
    case ProcessEndWay::TerminateProcess:
        return L"TerminateProcess(its own process, " + std::to_wstring(end.exitCode) + L")";
    case ProcessEndWay::None:
    case ProcessEndWay::Unseen:
        break;
    }
    return L"a way QAV Demo could not turn aside";
}
