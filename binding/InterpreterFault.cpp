#include "binding/InterpreterFault.h"

#include "binding/LibraryStderr.h"
#include "binding/LibraryText.h"
#include "contract/StopGrace.h"

#include <cstdio>

namespace {

// As much of what a library wrote as a report shows.
constexpr size_t WrittenShown = 300;

const wchar_t* const Unreliable = L" The interpreter may now be unreliable.";

UnicodeString StoppedText(const wchar_t* operation, double seconds, bool libraryAsked)
{
    wchar_t text[224];
    if (libraryAsked)
        std::swprintf(text, 224,
                      L"%ls stopped after %.1f s. Asked through StopQAVInterface, it did not return within %.1f s, so "
                      L"it was stopped by force.",
                      operation, seconds, std::chrono::duration<double>(StopQAVInterfaceGrace).count());
    else
        std::swprintf(text, 224, L"%ls stopped after %.1f s. The library has no StopQAVInterface, so it was stopped by force.",
                      operation, seconds);
    return text;
}

UnicodeString Sentence(UnicodeString text)
{
    if (!text.empty() && text.back() != L'.' && text.back() != L'!' && text.back() != L'?')
        text += L'.';
    return text;
}

} // namespace

UnicodeString InterpreterThrew::Message() const
{
    UnicodeString text = L"A C++ exception escaped the library's " + operation_;
    if (exception_.what && !exception_.what->empty())
        text += L": " + OneLine(*exception_.what, WrittenShown) +
                (exception_.type.empty() ? UnicodeString() : L" (" + exception_.type + L")");
    else if (!exception_.type.empty())
        text += L": an exception of type " + exception_.type;
    return Sentence(text) + Unreliable;
}

UnicodeString InterpreterEnded::Message() const
{
    UnicodeString text = L"The library called " + ProcessEndCall(end_) + L" in " + operation_;
    if (end_.way == ProcessEndWay::Abort)
        text += L" (a failed assert, an uncaught C++ exception or a panic ends so).";
    else
        text += L" to end the process; QAV Demo ended the call instead.";
    const UnicodeString written = OneLine(written_, WrittenShown);
    if (!written.empty())
        text += L" It wrote: " + Sentence(written);
    return text + Unreliable;
}

InterpreterStopped::InterpreterStopped(const wchar_t* operation, double seconds, bool libraryAsked)
    : Exception(StoppedText(operation, seconds, libraryAsked))
{
}

namespace interpreter_call_detail {

void ThrowEnded(const wchar_t* operation, const GuardedCallEnded& ended)
{
    const UnicodeString written = WidenLibraryText(TakeLibraryStderr());
    const ProcessEnd end{static_cast<ProcessEndWay>(ended.way), ended.exitCode};
    if (end.way == ProcessEndWay::Abort)
        if (std::optional<CppExceptionText> exception = TerminateReport(written))
            throw InterpreterThrew(operation, std::move(*exception));
    throw InterpreterEnded(operation, end, written);
}

} // namespace interpreter_call_detail
