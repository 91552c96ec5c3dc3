// Every finding and note the checker reports, in its words: what is wrong, what
// the workbench does about it, and how to fix it. The checks (ContractCheck)
// decide which apply and fill in what they measured; the prose is all here.
#pragma once

#include "framework/HardwareFault.h"
#include "tools/qavcheck/MissingImports.h"
#include "tools/qavcheck/LibraryEnding.h"
#include "tools/qavcheck/Report.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Finding {
    Severity severity;
    std::wstring problem;
    std::wstring fix;
};

namespace finding {

// What the workbench does when a call into the library faults.
const wchar_t* FaultInGetQAVInterface();
const wchar_t* FaultInGetVersion();
// endsRun: whether the Run ends at the faulting call (RunCall::faultEndsRun).
const wchar_t* FaultInRun(bool endsRun);
const wchar_t* FaultInFreeQAVInterface();
const wchar_t* FaultInStopQAVInterface();

// What the workbench does without an entry point.
std::wstring WithoutGetQAVInterface();
std::wstring WithoutFreeQAVInterface();
std::wstring WithoutStopQAVInterface();

// A call still running after waiting this long; stoppable: the library exports StopQAVInterface.
Finding Hung(std::chrono::milliseconds waited, bool stoppable);
// Execute, still running this long after StopQAVInterface.
Finding HungAfterStop(std::chrono::milliseconds waited);
// Execute returned this many milliseconds after StopQAVInterface, past the workbench's grace.
Finding SlowStop(double afterStop);
// --stop-after: Execute returned after milliseconds, before the stop was due.
Finding StopNotTried(std::chrono::milliseconds stopAfter, double milliseconds);
// --stop-after, for a library without StopQAVInterface.
Finding StopNotExported();

// The file, before it is loaded. why: the reading error's message.
Finding UnreadableFile(const std::wstring& why);
Finding NotADll();
Finding WrongArchitecture(uint16_t machine, uint16_t own);

// Loading and unloading.
Finding LoadFaulted(const HardwareFault& fault);
Finding CannotLoad(uint32_t error);
// ERROR_MOD_NOT_FOUND, with the DLLs that cannot be found; library: its file name.
Finding MissingDependency(const std::vector<MissingImport>& missing, const std::wstring& library);
Finding UnloadFaulted(const HardwareFault& fault);

// An entry point not exported under its plain name. missing: what the
// workbench does without it; exports: what the library exports instead.
Finding NotExported(const std::wstring& missing, const std::vector<std::wstring>& exports);
// exportedAs: the decorated or miscased names found for it.
Finding ExportedDecorated(const wchar_t* name, const std::wstring& missing, const std::wstring& exportedAs);
Finding ExportedMiscased(const wchar_t* name, const std::wstring& missing, const std::wstring& exportedAs);

// GetQAVInterface and FreeQAVInterface's results.
Finding GetQAVInterfaceFailed(bool slotSet);
Finding GetQAVInterfaceLeftSlotEmpty();
Finding FreeQAVInterfaceFailed();

// The interface object and its table.
Finding InterfaceUnreadable(uintptr_t object, const HardwareFault& fault);
Finding TableNull();
Finding PositionUnreadable(int position, const HardwareFault& fault);
Finding PositionNull(const wchar_t* operation, int position);
Finding PositionInOtherModule(const wchar_t* operation, int position, const std::wstring& module,
                              const std::wstring& library);
Finding PositionNotCode(const wchar_t* operation, int position, uintptr_t function, bool libraryData);

// A call's effect on the stack, on x86: removed bytes where stdcall removes expected.
Finding WrongConvention(std::ptrdiff_t removed, std::ptrdiff_t expected, size_t arguments);

// A fault in a call; onFault: what the workbench does then.
Finding LanguageException(const HardwareFault& fault, const wchar_t* onFault);
// A C++ exception of the MinGW runtime that left the call (x64); description: its type and what();
// onFault: what the workbench does then, null where it is not a call the workbench guards.
Finding EscapedCppException(const std::wstring& description, const wchar_t* onFault);
// In the library's own code: offset into its file's image, linked the address as the linker placed it.
Finding FaultInLibrary(const HardwareFault& fault, const wchar_t* onFault, const std::wstring& library,
                       uint64_t offset, uint64_t linked);
Finding FaultElsewhere(const HardwareFault& fault, const wchar_t* onFault);

// A returned text.
Finding NullText();
Finding DanglingText();
Finding FreedText();
Finding UnreadableText(uintptr_t address);
Finding TextTooLongToCopy(size_t length);
Finding IllFormedText(wchar_t unit, size_t at, size_t length);
// lf, cr: lone line breaks of either kind; first: the first's unit; around: the text near it.
Finding LoneBreaks(size_t lf, size_t cr, size_t first, bool cutBefore, std::wstring_view around);

// Where the library ended the process: in a call the workbench guards, in
// LoadLibrary or FreeLibrary, or while no call ran.
enum class EndPlace { GuardedCall, Loading, Unloading, NoCall };
// during: "during Execute", "after GetLog returned, while no call ran"...
// wroteStderr: the process wrote to stderr, shown above the finding.
Finding EndedProcess(const LibraryEnding& end, const std::wstring& during, EndPlace place, bool wroteStderr);

// StopQAVInterface, called while nothing ran, made the next Execute, whose
// program ran until stopped before, return by itself after milliseconds.
Finding StopEndedNextRun(double milliseconds);
// StopQAVInterface, called while nothing ran, changed what Execute returns.
Finding StopChangedResult(const std::wstring& before, const std::wstring& after);

} // namespace finding

namespace note {

std::wstring NotNamedQavDll();
std::wstring StopExported();
std::wstring StopNotExported();
// operations: those whose texts lie in memory no heap of the process manages.
std::wstring UnmanagedTexts(const std::vector<const wchar_t*>& operations);
// A text of this many units: the workbench shows it whole, slowly.
std::wstring LongText(const wchar_t* operation, size_t length);
// Execute returned this many milliseconds after StopQAVInterface, within the grace.
std::wstring StoppedInTime(double afterStop);
// Execute, run for the timeout and asked to stop, returned: a program that may just be slow.
std::wstring StoppedAtTimeout(std::chrono::milliseconds timeout);

} // namespace note
