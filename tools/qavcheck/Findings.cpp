#include "tools/qavcheck/Findings.h"

#include "binding/BindingMessages.h"
#include "framework/HexText.h"
#include "framework/Win.h"
#include "framework/win32/SystemErrorText.h"
#include "contract/StopGrace.h"
#include "tools/qavcheck/PeFile.h"

#include <cwchar>

namespace {

std::wstring Quoted(const wchar_t* text)
{
    return L"\"" + std::wstring(text) + L"\"";
}

std::wstring Count(size_t n, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

std::wstring WorkbenchReports(const wchar_t* message)
{
    return L"The workbench reports " + Quoted(message);
}

std::wstring Position(int position)
{
    return L"position " + std::to_wstring(position) + L" of the table";
}

std::wstring FillPosition(const wchar_t* operation, int position)
{
    return L"fill " + Position(position) + L" (QAV_VTABLE's " + operation + L") with the operation.";
}

// The fix for an exception that leaves an entry point.
const std::wstring CatchEverything =
    L"catch every exception inside each function the workbench calls and report the failure in the texts it "
    L"returns: in C++, one wrapper around each body (docs/authors.md, \"C++ and MinGW\"; the template "
    L"examples/minimal-cpp has it).";

// The fix for every text that does not outlive its call.
const std::wstring KeepText = L"return a NUL-terminated text that the library keeps until the operation is called "
                              L"again, for example in a buffer of the interface object";

} // namespace

namespace finding {

const wchar_t* FaultInGetQAVInterface() { return L"The workbench writes it in its log and binds nothing."; }
const wchar_t* FaultInGetVersion() { return L"The workbench writes it in its log in place of the version."; }
const wchar_t* FaultInRun(bool endsRun)
{
    return endsRun ? L"The workbench shows it in an error box and the Run ends there."
                   : L"The workbench shows it in an error box and the Run goes on with the next call.";
}
const wchar_t* FaultInFreeQAVInterface() { return L"The workbench writes it in its log at close."; }
const wchar_t* FaultInStopQAVInterface() { return L"The workbench calls it when the user presses Stop."; }

std::wstring WithoutGetQAVInterface() { return L"reports " + Quoted(NoGetInterfaceMessage); }
std::wstring WithoutFreeQAVInterface() { return L"reports " + Quoted(NoFreeInterfaceMessage); }
std::wstring WithoutStopQAVInterface() { return L"stops a slow call by force instead"; }

namespace {

// What the workbench does with a call that goes on; stoppable: the library exports StopQAVInterface.
std::wstring WorkbenchStops(bool stoppable)
{
    return std::wstring(L"In the workbench a stop window shows once a call has run for a second; its Stop ") +
           (stoppable ? L"asks the library through StopQAVInterface, then, if the call goes on for " +
                            FormatSeconds(StopQAVInterfaceGrace) + L", "
                      : L"") +
           L"ends the call by force where its thread runs the library's own code (its frames are abandoned "
           L"without unwinding, and the interpreter may be unreliable after), and where the thread waits inside Windows, "
           L"offers only Save and quit, which keeps the typed program in a file and ends the workbench.";
}

const wchar_t* const PollTheFlag =
    L"poll the stop flag wherever the call can spend its time (each step of the interpreter's loop; a wait "
    L"with a timeout, looking at the flag between waits) and return at once when it is set";

} // namespace

Finding Hung(std::chrono::milliseconds waited, bool stoppable)
{
    return {Severity::Error,
            L"still running after " + FormatSeconds(waited) + L": hung. " + WorkbenchStops(stoppable),
            std::wstring(L"make sure the call returns: look for an endless loop, a wait that is never signalled or "
                         L"a lock held since an earlier call; a long run needs a limit of its own. ") +
                (stoppable ? L"Where it runs a program, " + std::wstring(PollTheFlag) + L"."
                           : L"Export StopQAVInterface and poll its flag in the interpreter's loop, so that Stop "
                             L"ends a long run cleanly (docs/authors.md, \"Stopping a call\").") +
                L" If the call is only slow, give qavcheck more time with --timeout SECONDS."};
}

Finding HungAfterStop(std::chrono::milliseconds waited)
{
    return {Severity::Error,
            L"still running " + FormatSeconds(waited) +
                L" after StopQAVInterface asked it to stop: hung. " + WorkbenchStops(true),
            std::wstring(PollTheFlag) + L"."};
}

Finding SlowStop(double afterStop)
{
    return {Severity::Warning,
            L"returned " + FormatSeconds(std::chrono::duration<double, std::milli>(afterStop)) +
                L" after StopQAVInterface, more than the workbench's grace of " +
                FormatSeconds(StopQAVInterfaceGrace) +
                L": the workbench stops it by force first, abandoning its frames without unwinding, so that what it does "
                L"after the grace (its cleanup too) never runs, and the interpreter may be unreliable after.",
            std::wstring(PollTheFlag) + L"; everything Execute still does once the flag is set, freeing the run's "
                                        L"memory and building its texts too, must fit in the grace."};
}

Finding StopNotTried(std::chrono::milliseconds stopAfter, double milliseconds)
{
    return {Severity::Warning,
            L"returned after " + FormatMilliseconds(milliseconds) + L", before --stop-after " +
                std::to_wstring(stopAfter.count()) + L" was up: StopQAVInterface was not tried while it ran.",
            L"give --program a program that runs longer than --stop-after (an endless loop does), or a shorter "
            L"--stop-after."};
}

Finding StopNotExported()
{
    return {Severity::Warning,
            L"--stop-after asks for a stop through StopQAVInterface, which the library does not export: not tried. "
            L"The workbench stops such a call by force.",
            L"export StopQAVInterface (docs/authors.md, \"Stopping a call\"), or leave --stop-after out."};
}

Finding UnreadableFile(const std::wstring& why)
{
    return {Severity::Error, why + L". " + WorkbenchReports(NoLibraryMessage) + L".",
            L"give the path of the interpreter's DLL."};
}

Finding NotADll()
{
    return {Severity::Error, L"is a program, not a DLL. " + WorkbenchReports(NoLibraryMessage) + L".",
            L"build the interpreter as a shared library (gcc -shared, cl /LD)."};
}

Finding WrongArchitecture(uint16_t machine, uint16_t own)
{
    const std::wstring fix =
        machine == IMAGE_FILE_MACHINE_AMD64
            ? L"use the win64 build of QAVDemo.exe and qavcheck.exe with it, or build the library for x86."
        : machine == IMAGE_FILE_MACHINE_I386
            ? L"use the win32 build of QAVDemo.exe and qavcheck.exe with it, or build the library for x64."
            : L"build the library for " + MachineName(own) + L".";
    return {Severity::Error,
            L"is a library for " + MachineName(machine) + L"; this qavcheck, like the workbench beside it, is " +
                MachineName(own) + L" and cannot load it. " + WorkbenchReports(NoLibraryMessage) + L".",
            fix};
}

Finding LoadFaulted(const HardwareFault& fault)
{
    return {Severity::Error, L"the library faulted while loading: " + fault.Message(),
            L"look at DllMain and the constructors of the library's globals."};
}

Finding CannotLoad(uint32_t error)
{
    return {Severity::Error,
            L"Windows cannot load it: " + ErrorCodeText(error) + L". " + WorkbenchReports(NoLibraryMessage) + L".",
            error == ERROR_DLL_INIT_FAILED
                ? L"DllMain returned FALSE for DLL_PROCESS_ATTACH, or a global's constructor failed: see why."
                : L"make sure Windows can load it: every DLL it imports must be beside it or on the PATH."};
}

namespace {

// The DLLs of the MinGW runtime that a library links dynamically unless told otherwise.
bool IsMingwRuntime(const std::wstring& name)
{
    std::wstring lower = name;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower == L"libstdc++-6.dll" || lower.rfind(L"libgcc_s_", 0) == 0 || lower == L"libwinpthread-1.dll";
}

} // namespace

Finding MissingDependency(const std::vector<MissingImport>& missing, const std::wstring& library)
{
    std::wstring names;
    bool runtime = false;
    for (size_t i = 0; i < missing.size(); ++i) {
        names += std::wstring(i == 0 ? L"" : i + 1 == missing.size() ? L" and " : L", ") + missing[i].name;
        if (missing[i].importedBy != library)
            names += L" (which " + missing[i].importedBy + L" imports)";
        runtime = runtime || IsMingwRuntime(missing[i].name);
    }
    const bool one = missing.size() == 1;
    const std::wstring ship =
        L"ship " + std::wstring(one ? L"it" : L"them") + L" beside " + library + L" and QAVDemo.exe, where Windows looks first.";
    const std::wstring fix = runtime ? L"link the MinGW runtime into the library: -static-libgcc -static-libstdc++ "
                                       L"(with a posix-threads g++, -static, which takes libwinpthread-1.dll in too); or " +
                                           ship
                                     : ship;
    return {Severity::Error,
            L"Windows cannot load it: it needs " + names + L", which " + (one ? L"is" : L"are") +
                L" neither beside it nor in the system's folders or on the PATH (error 126). " +
                WorkbenchReports(NoLibraryMessage) + L".",
            fix};
}

Finding UnloadFaulted(const HardwareFault& fault)
{
    return {Severity::Error, L"the library faulted while unloading: " + fault.Message(),
            L"look at DllMain's DLL_PROCESS_DETACH and the destructors of the library's globals."};
}

namespace {

std::wstring NotExportedByName(const std::wstring& missing)
{
    return L"not exported by this name: the workbench looks it up by exactly this name and " + missing + L".";
}

} // namespace

Finding NotExported(const std::wstring& missing, const std::vector<std::wstring>& exports)
{
    // The first few are enough to show what the library calls its functions.
    constexpr size_t Shown = 8;
    std::wstring listed;
    for (size_t i = 0; i < exports.size() && i < Shown; ++i)
        listed += (i ? L", " : L"") + exports[i];
    if (exports.size() > Shown)
        listed += L", ...";
    return {Severity::Error,
            NotExportedByName(missing) +
                (exports.empty() ? L" The library exports nothing." : L" The library exports " + listed + L"."),
            L"define it extern \"C\" and export it: list it in the library's .def file under EXPORTS, or mark it "
            L"__declspec(dllexport)."};
}

Finding ExportedDecorated(const wchar_t* name, const std::wstring& missing, const std::wstring& exportedAs)
{
    const std::wstring plain = name;
    return {Severity::Error,
            NotExportedByName(missing) + L" It is exported only as " + exportedAs +
                L", a decorated name (what compilers call a stdcall function on x86). Checked under that name below.",
            L"export the plain name: in a .def file, EXPORTS " + plain + L" (with MinGW, " + plain + L" = " + plain +
                L"@4), or with MinGW link with -Wl,--kill-at."};
}

Finding ExportedMiscased(const wchar_t* name, const std::wstring& missing, const std::wstring& exportedAs)
{
    return {Severity::Error,
            NotExportedByName(missing) + L" It is exported as " + exportedAs +
                L": export names are case-sensitive. Checked under that name below.",
            L"export it as " + std::wstring(name) + L"."};
}

Finding GetQAVInterfaceFailed(bool slotSet)
{
    return {Severity::Error,
            L"returned 0, failure. " + WorkbenchReports(NoInterfaceMessage) +
                (slotSet ? L" and still calls FreeQAVInterface at close, since the slot is set." : L"."),
            L"return nonzero once *slot holds the interface; return 0 only when there is none, with the slot left 0."};
}

Finding GetQAVInterfaceLeftSlotEmpty()
{
    return {Severity::Error, L"returned nonzero but left the slot 0. " + WorkbenchReports(NoInterfaceMessage) + L".",
            L"store the interface's address in *slot before returning."};
}

Finding FreeQAVInterfaceFailed()
{
    return {Severity::Error, L"returned 0, failure. " + WorkbenchReports(FreeFailedMessage) + L" at close.",
            L"return nonzero when the interface is given back."};
}

Finding InterfaceUnreadable(uintptr_t object, const HardwareFault& fault)
{
    return {Severity::Error, L"the interface " + HexText(object) + L" cannot be read: " + fault.Message(),
            L"store the address of the interface object itself in *slot."};
}

Finding TableNull()
{
    return {Severity::Error, L"the interface's first word, the address of its table of operations, is null.",
            L"set the interface's Table to the QAV_VTABLE before returning it."};
}

Finding PositionUnreadable(int position, const HardwareFault& fault)
{
    return {Severity::Error, Position(position) + L" cannot be read: " + fault.Message(),
            L"make the table a whole QAV_VTABLE, 19 positions, alive as long as the interface."};
}

Finding PositionNull(const wchar_t* operation, int position)
{
    return {Severity::Error, Position(position) + L" is null. The workbench faults when it calls it.",
            FillPosition(operation, position)};
}

Finding PositionInOtherModule(const wchar_t* operation, int position, const std::wstring& module,
                              const std::wstring& library)
{
    return {Severity::Warning, Position(position) + L" points into " + module + L", not into " + library + L".",
            L"make sure this is meant: the workbench calls it as the library's " + std::wstring(operation) + L"."};
}

Finding PositionNotCode(const wchar_t* operation, int position, uintptr_t function, bool libraryData)
{
    return {Severity::Error,
            Position(position) + L" holds " + HexText(function) +
                (libraryData ? L", which is the library's data, not its code." : L", which is not code of any module.") +
                L" The workbench faults when it calls it. Not called here.",
            FillPosition(operation, position) + L" The table may be missing positions: count them against QAV_VTABLE."};
}

Finding WrongConvention(std::ptrdiff_t removed, std::ptrdiff_t expected, size_t arguments)
{
    std::wstring problem = L"took " + std::to_wstring(removed) + L" bytes of arguments off the stack; stdcall takes " +
                           std::to_wstring(expected) + L" (" + Count(arguments, L"argument", L"arguments") +
                           L" of 4 bytes). ";
    problem += removed == 0 ? L"It is compiled as cdecl: the caller's stack is left " + std::to_wstring(expected) +
                                  L" bytes off after every call."
                            : L"It is declared with other arguments than the contract's.";
    return {Severity::Error, problem,
            L"declare the function QAV_CALL (__stdcall) with the contract's arguments, exactly as the types in "
            L"QAVInterface.h; a cast into the table hides the mismatch from the compiler."};
}

Finding LanguageException(const HardwareFault& fault, const wchar_t* onFault)
{
    return {Severity::Error,
            fault.Message() + L" It was thrown inside the library and nothing there caught it. " + onFault,
            CatchEverything};
}

Finding EscapedCppException(const std::wstring& description, const wchar_t* onFault)
{
    return {Severity::Error,
            L"a C++ exception escaped it: " + description + L"." +
                (onFault ? L" The workbench reports it as the library's, naming the operation. " + std::wstring(onFault)
                         : L"") +
                (sizeof(void*) == 8 ? L" Built for x86, the same library ends the process instead: the 32-bit MinGW "
                                      L"runtime finds no handler at the library's edge and calls std::terminate, then "
                                      L"abort()."
                                    : L""),
            CatchEverything};
}

Finding FaultInLibrary(const HardwareFault& fault, const wchar_t* onFault, const std::wstring& library,
                       uint64_t offset, uint64_t linked)
{
    const std::wstring address = HexText(linked);
    return {Severity::Error, fault.Message() + L" " + onFault,
            L"make the operation not fault: the faulting instruction is at " + library + L"+" + HexText(offset) +
                L", address " + address + L" as linked (addr2line -e " + library + L" " + address +
                L" names the source line of a library built with -g; or look it up in the linker's map file)."};
}

Finding FaultElsewhere(const HardwareFault& fault, const wchar_t* onFault)
{
    return {Severity::Error, fault.Message() + L" " + onFault,
            L"make the operation not fault: the fault is outside the library's code, in code it called; check the "
            L"pointers and sizes it passes."};
}

Finding NullText()
{
    return {Severity::Error,
            L"returned null instead of a text. The workbench reads it as an empty text, so a lost answer looks like "
            L"an empty one. Either the function returns null itself, or it returns a local array, whose address GCC "
            L"replaces by null (it warns: \"function returns address of local variable\").",
            L"return L\"\" when there is nothing to say; a text built in a local array must be built where it "
            L"outlives the call instead, for example in a buffer of the interface object."};
}

Finding DanglingText()
{
    return {Severity::Error,
            L"returned a pointer into the stack of the call that has just returned (a local array, or the text of a "
            L"temporary string): by the time the workbench copies it, other calls have written over it.",
            KeepText + L"."};
}

Finding FreedText()
{
    return {Severity::Error,
            L"returned a pointer into a heap block that is already freed (the text of a string destroyed on return, "
            L"such as std::wstring(...).c_str(), or a buffer freed or reallocated since): the workbench copies "
            L"whatever the heap has written there since, and shows garbage.",
            KeepText + L"."};
}

Finding UnreadableText(uintptr_t address)
{
    return {Severity::Error,
            L"the text at " + HexText(address) +
                L" runs into memory that cannot be read before its NUL. The workbench faults the same way when it "
                L"copies it.",
            KeepText + L"; a freed buffer or a missing NUL reads like this."};
}

Finding TextTooLongToCopy(size_t length)
{
    return {Severity::Error,
            L"the text is " + std::to_wstring(length) +
                L" UTF-16 units up to its NUL, more than memory holds for a copy. The workbench's copy fails the "
                L"same way, and the Run ends there with an error in the log; such a length usually means the text "
                L"lost its NUL and runs on through other memory.",
            KeepText + L", and keep a pane's text to what a reader can use."};
}

Finding IllFormedText(wchar_t unit, size_t at, size_t length)
{
    return {Severity::Warning,
            L"the text is not well-formed UTF-16: a lone surrogate " + HexText(static_cast<unsigned>(unit)) +
                L" at unit " + std::to_wstring(at) + L" of " + std::to_wstring(length) +
                L". The workbench shows it as a box.",
            L"pair every surrogate; convert from UTF-8 with MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, ...) "
            L"and never cut a text between the two units of a pair."};
}

Finding LoneBreaks(size_t lf, size_t cr, size_t first, bool cutBefore, std::wstring_view around)
{
    std::wstring kinds;
    if (lf > 0)
        kinds = Count(lf, L"lone LF", L"lone LFs");
    if (cr > 0)
        kinds += (kinds.empty() ? L"" : L" and ") + Count(cr, L"lone CR", L"lone CRs");
    return {Severity::Warning,
            L"the text breaks lines with " + kinds + L", the first at unit " + std::to_wstring(first) + L": " +
                (cutBefore ? L"..." : L"") + Preview(around, around.size()) +
                L". The workbench cuts a pane's lines only at CR LF: Windows shows lines broken this way run together "
                L"on one line.",
            L"end every line with CR LF (L\"\\r\\n\"): convert the interpreter's line ends, \\n for most, when it "
            L"builds the text it returns."};
}

namespace {

// How the library ended the process, in words, with what its runtime printed.
std::wstring HowItEnded(const LibraryEnding& end)
{
    const std::wstring detail = end.detail.empty() ? L"" : L" (" + end.detail + L")";
    switch (end.way) {
    case LibraryEnding::Way::Abort:
        return end.seen ? L"it called abort(); a failed assert, Lua's panic and an uncaught C++ exception end so too."
                        : L"abort() ends so, as do a failed assert, Lua's panic and an uncaught C++ exception, which "
                          L"end in it; and so does exit(3).";
    case LibraryEnding::Way::FailedAssert:
        return L"an assert failed" + detail + L", and a failed assert ends in abort().";
    case LibraryEnding::Way::LuaPanic:
        return L"Lua's panic" + detail + L": an error raised outside lua_pcall, which ends in abort().";
    case LibraryEnding::Way::CppTerminate:
        return sizeof(void*) == 4
                   ? L"a C++ exception escaped it" + detail +
                         L": the 32-bit MinGW runtime (DWARF unwinding) finds no handler at the library's edge and "
                         L"calls std::terminate, which ends in abort()."
                   : L"std::terminate ran" + detail +
                         L": a C++ exception that nothing caught, on a thread of the library's own or through a "
                         L"noexcept function; it ends in abort().";
    case LibraryEnding::Way::Exit:
        return L"it called exit(" + std::to_wstring(end.exitCode) + L").";
    case LibraryEnding::Way::ExitCode:
        return L"exit(), _exit(), quick_exit(), ExitProcess() and TerminateProcess() end so.";
    case LibraryEnding::Way::FastFail:
        return L"__fastfail or a failed security check (a stack buffer overrun found), which runs no code of the "
               L"process after it.";
    case LibraryEnding::Way::Exception:
        return L"the system ends a process so after an exception that nothing handled (the exit code is its code): on "
               L"a thread of the library's own, where no guard is, or a fault too deep to be dispatched.";
    }
    return {};
}

// What the workbench does when the library ends its process this way, there.
std::wstring WorkbenchOnEnd(LibraryEnding::Way way, EndPlace place)
{
    if (way == LibraryEnding::Way::FastFail || way == LibraryEnding::Way::Exception)
        return L"The workbench ends with it, and keeps nothing.";
    switch (place) {
    case EndPlace::GuardedCall:
        return L"The workbench survives it when the library does it on the calling thread, through its imports or "
               L"the C runtime's SIGABRT: the Run ends there, its report names the operation, and the interpreter "
               L"may be unreliable after. From a thread of the library's own, it saves the typed program to a file "
               L"and ends.";
    case EndPlace::Loading: return L"The workbench ends the same way at start-up, before its window shows.";
    case EndPlace::Unloading: return L"The workbench ends the same way as it closes.";
    case EndPlace::NoCall:
        return L"From a thread of the library's own, between calls, the workbench saves the typed program to a file "
               L"and ends.";
    }
    return {};
}

std::wstring FixForEnd(LibraryEnding::Way way)
{
    switch (way) {
    case LibraryEnding::Way::Abort:
        return L"report failures in the texts the library returns instead of ending the process; to find the "
               L"abort() call, run qavcheck under gdb with a breakpoint on abort.";
    case LibraryEnding::Way::FailedAssert:
        return L"make the condition hold: the runtime's message names the file and line of the assert; report a "
               L"failure the user can cause in the texts instead of asserting it.";
    case LibraryEnding::Way::LuaPanic:
        return L"call into Lua only through lua_pcall, and return the message it leaves on the stack as the result "
               L"(docs/authors.md, \"Lua\").";
    case LibraryEnding::Way::CppTerminate: return CatchEverything;
    case LibraryEnding::Way::Exit:
    case LibraryEnding::Way::ExitCode:
        return L"return an error text instead of ending the process; an exit statement of your language (Lua's "
               L"os.exit) should end the run, not the process.";
    case LibraryEnding::Way::FastFail:
        return L"look for memory the library writes past its end: a buffer overrun, or a use of freed memory.";
    case LibraryEnding::Way::Exception:
        return L"catch faults and exceptions on the library's own threads, or keep its work on the calling thread.";
    }
    return {};
}

} // namespace

Finding EndedProcess(const LibraryEnding& end, const std::wstring& during, EndPlace place, bool wroteStderr)
{
    return {Severity::Error,
            L"the library ended the process with exit code " + ExitCodeText(end.exitCode) + L" " + during + L": " +
                HowItEnded(end) + L" " + WorkbenchOnEnd(end.way, place) +
                (wroteStderr ? L" What the process wrote to stderr is above." : L""),
            FixForEnd(end.way)};
}

Finding StopEndedNextRun(double milliseconds)
{
    return {Severity::Warning,
            L"called while nothing ran, it ended the next Execute: that one returned by itself after " +
                FormatMilliseconds(milliseconds) +
                L", where the same program ran until it was stopped before. The workbench may call it just as a call "
                L"returns by itself.",
            L"clear the stop flag when a call begins, so a stop asked between calls does nothing."};
}

Finding StopChangedResult(const std::wstring& before, const std::wstring& after)
{
    return {Severity::Warning,
            L"called while nothing ran, it changed the next Execute's result from " + Preview(before) + L" to " +
                Preview(after) + L". The workbench may call it just as a call returns by itself.",
            L"clear the stop flag when a call begins, so a stop asked between calls does nothing."};
}

} // namespace finding

namespace note {

std::wstring NotNamedQavDll()
{
    return L"note: the workbench loads only a library named QAV.dll, from its own folder.";
}

std::wstring StopExported()
{
    return L"note: StopQAVInterface is exported: when the user stops a slow call, the workbench asks the library to "
           L"end it through it.";
}

std::wstring StopNotExported()
{
    return L"note: StopQAVInterface is not exported (it is optional): the workbench stops a slow call by force, which "
           L"may leave the library's state unreliable.";
}

std::wstring UnmanagedTexts(const std::vector<const wchar_t*>& operations)
{
    std::wstring names;
    for (size_t i = 0; i < operations.size(); ++i)
        names += std::wstring(i == 0 ? L"" : i + 1 == operations.size() ? L" and " : L", ") + operations[i];
    const bool one = operations.size() == 1;
    return std::wstring(one ? L"note: the text of " : L"note: the texts of ") + names + (one ? L" lies" : L" lie") +
           L" in memory that no heap of the process manages, an allocator of the library's own perhaps: whether "
           L"such a text is freed before the workbench copies it cannot be seen here.";
}

std::wstring LongText(const wchar_t* operation, size_t length)
{
    return L"note: the text of " + std::wstring(operation) + L" is " + std::to_wstring(length) +
           L" UTF-16 units long: the workbench reads and shows it whole, but filling a pane with millions of units "
           L"takes seconds.";
}

std::wstring StoppedInTime(double afterStop)
{
    return L"note: Execute returned " + FormatMilliseconds(afterStop) +
           L" after StopQAVInterface, within the workbench's grace of " + FormatSeconds(StopQAVInterfaceGrace) +
           L": the workbench's Stop ends such a call cleanly, with the library's own answer.";
}

std::wstring StoppedAtTimeout(std::chrono::milliseconds timeout)
{
    return L"note: Execute was still running after " + FormatSeconds(timeout) +
           L", so it was asked to stop through StopQAVInterface, as a user presses Stop; if the program is only slow, "
           L"give it more time with --timeout SECONDS, or try the stop sooner with --stop-after MS.";
}

} // namespace note
