#include "tools/qavcheck/Findings.h"

#include "binding/BindingMessages.h"
#include "framework/HexText.h"
#include "framework/Win.h"
#include "framework/win32/SystemErrorText.h"
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

Finding Hung(std::chrono::milliseconds timeout)
{
    wchar_t seconds[32];
    std::swprintf(seconds, 32, L"%g s", static_cast<double>(timeout.count()) / 1000);
    return {Severity::Error,
            L"still running after " + std::wstring(seconds) +
                L": hung. The workbench would stop answering, its window frozen until the call returns.",
            L"make sure the call returns: look for an endless loop, a wait that is never signalled or a lock held "
            L"since an earlier call; a long run needs a limit of its own. If the call is only slow, give qavcheck "
            L"more time with --timeout SECONDS."};
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
            L"catch every exception inside each function the workbench calls (in C++, a try block with catch (...) "
            L"around the body) and report the failure in the texts it returns."};
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

Finding EndlessText(size_t limit)
{
    return {Severity::Error,
            L"no NUL within " + std::to_wstring(limit) +
                L" UTF-16 units (32 MB): the text has probably lost its terminating NUL.",
            KeepText + L"."};
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

} // namespace note
