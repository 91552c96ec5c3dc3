#include "tools/qavcheck/ContractCheck.h"

#include "binding/BindingMessages.h"
#include "binding/FaultGuard.h"
#include "binding/QAVInterface.h"
#include "framework/AsciiText.h"
#include "framework/Exception.h"
#include "framework/HexText.h"
#include "framework/Surrogates.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"
#include "framework/win32/SystemErrorText.h"
#include "framework/win32/UniqueHandle.h"
#include "tools/qavcheck/CodeAddress.h"
#include "tools/qavcheck/LibraryCall.h"
#include "tools/qavcheck/LineBreaks.h"
#include "tools/qavcheck/PeFile.h"
#include "tools/qavcheck/StackProbe.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <optional>

namespace {

struct Operation {
    const wchar_t* name;
    int position;
    size_t arguments;
    // What the workbench does when this operation faults.
    const wchar_t* onFault;
};

constexpr const wchar_t* FaultEndsRun = L"The workbench shows it in an error box and the Run ends there.";

constexpr Operation GetVersionOp{L"GetVersion", QAV_POS_GET_VERSION, 1,
                                 L"The workbench writes it in its log in place of the version."};
// A Run, in the workbench's order.
constexpr Operation RunOps[] = {
    {L"Execute", QAV_POS_EXECUTE, 4, FaultEndsRun},
    {L"GetLog", QAV_POS_GET_LOG, 1, FaultEndsRun},
    {L"GetVarStack", QAV_POS_GET_VAR_STACK, 1, FaultEndsRun},
    {L"GetParamStack", QAV_POS_GET_PARAM_STACK, 1, FaultEndsRun},
    {L"GetObjectStack", QAV_POS_GET_OBJECT_STACK, 1, FaultEndsRun},
    {L"GetFunctionStack", QAV_POS_GET_FUNCTION_STACK, 1, FaultEndsRun},
};

const wchar_t* const GetName = L"GetQAVInterface";
const wchar_t* const FreeName = L"FreeQAVInterface";
const wchar_t* const StopName = L"StopQAVInterface";

// Exceptions a language raises to throw its own: they are not faults of the
// processor, and their address is the system's raising routine.
bool IsLanguageException(uint32_t code)
{
    constexpr uint32_t MsvcCpp = 0xE06D7363u;
    constexpr uint32_t Pascal = 0x0EEDFADEu;
    constexpr uint32_t CustomerBit = 0x20000000u;
    return code == MsvcCpp || code == Pascal || (code & CustomerBit) != 0;
}

std::wstring Quoted(const wchar_t* text)
{
    return L"\"" + std::wstring(text) + L"\"";
}

// The name without a leading underscore and a trailing @N, in lower case: how
// decorated and miscased exports are matched with the plain names.
std::string Undecorated(std::string name)
{
    if (!name.empty() && name[0] == '_')
        name.erase(0, 1);
    const auto at = name.rfind('@');
    if (at != std::string::npos && at + 1 < name.size() &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(at) + 1, name.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
        name.erase(at);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return name;
}

class Checker {
public:
    Checker(const CheckRequest& request, Report& report)
        : request_(request), report_(report), caller_(worker_, request.timeout),
          program_(std::make_shared<std::wstring>(request.program)),
          slot_(std::make_shared<QAV_INTERFACE*>(nullptr))
    {
    }

    CheckResult Run()
    {
        if (!CheckFile())
            return {CheckOutcome::NotLoaded, false};
        if (!Load())
            return {hung_ ? CheckOutcome::Found : CheckOutcome::NotLoaded, hung_};
        if (ResolveEntryPoints() && Acquire()) {
            if (ReadTable()) {
                CallOperation(GetVersionOp);
                for (const Operation& op : RunOps)
                    if (!hung_)
                        CallOperation(op);
                NoteUnmanagedTexts();
                if (!hung_)
                    StopWhileNothingRuns();
            }
        }
        Release();
        Unload();
        // A call still runs inside the library: it must stay loaded until the process ends.
        if (hung_)
            static_cast<void>(library_.Release());
        const bool found = hung_ || report_.Errors() > 0 || report_.Warnings() > 0;
        return {found ? CheckOutcome::Found : CheckOutcome::Clean, hung_};
    }

private:
    void Error(std::wstring_view operation, const std::wstring& problem, const std::wstring& fix)
    {
        report_.Finding(Severity::Error, operation, problem, fix);
    }

    void Hung(const wchar_t* operation)
    {
        hung_ = true;
        report_.GaveUp(request_.timeout);
        wchar_t seconds[32];
        swprintf(seconds, 32, L"%g s", static_cast<double>(request_.timeout.count()) / 1000);
        Error(operation,
              L"still running after " + std::wstring(seconds) + L": hung. The workbench would stop answering, its window frozen until the call returns.",
              L"make sure the call returns: look for an endless loop, a wait that is never signalled or a "
              L"lock held since an earlier call; a long run needs a limit of its own. If the call is only slow, "
              L"give qavcheck more time with --timeout SECONDS.");
    }

    // The file: a DLL of this checker's architecture, read before it is loaded.
    bool CheckFile()
    {
        fullPath_ = FullPath(request_.library);
        fileName_ = FileNameOf(fullPath_);
        report_.Heading(L"qavcheck " QAVCHECK_VERSION L", " + MachineName(OwnMachine()) + L": checking " + fullPath_);
        if (CompareStringOrdinal(fileName_.c_str(), -1, L"QAV.dll", -1, TRUE) != CSTR_EQUAL)
            report_.Heading(L"note: the workbench loads only a library named QAV.dll, from its own folder.");
        try {
            file_ = ReadPeFile(fullPath_);
        } catch (const Exception& e) {
            Error(L"file", e.Message() + L". The workbench reports " + Quoted(NoLibraryMessage) + L".",
                  L"give the path of the interpreter's DLL.");
            return false;
        }
        if (!file_.isDll) {
            Error(L"file", L"is a program, not a DLL. The workbench reports " + Quoted(NoLibraryMessage) + L".",
                  L"build the interpreter as a shared library (gcc -shared, cl /LD).");
            return false;
        }
        if (file_.machine != OwnMachine()) {
            const bool other64 = file_.machine == IMAGE_FILE_MACHINE_AMD64;
            const bool other32 = file_.machine == IMAGE_FILE_MACHINE_I386;
            std::wstring fix = other64 ? L"use the win64 build of QAVDemo.exe and qavcheck.exe with it, or build the library for x86."
                               : other32 ? L"use the win32 build of QAVDemo.exe and qavcheck.exe with it, or build the library for x64."
                                         : L"build the library for " + MachineName(OwnMachine()) + L".";
            Error(L"file",
                  L"is a library for " + MachineName(file_.machine) + L"; this qavcheck, like the workbench beside "
                  L"it, is " + MachineName(OwnMachine()) + L" and cannot load it. The workbench reports " +
                      Quoted(NoLibraryMessage) + L".",
                  fix);
            return false;
        }
        return true;
    }

    bool Load()
    {
        auto loaded = std::make_shared<HMODULE>(nullptr);
        auto error = std::make_shared<DWORD>(0);
        auto path = std::make_shared<std::wstring>(fullPath_);
        // As the workbench loads QAV.dll from its own folder, the DLLs it imports
        // are looked for beside it first.
        const auto result = caller_.Run([loaded, error, path] {
            *loaded = LoadLibraryExW(path->c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            *error = GetLastError();
        });
        if (!result) {
            Hung(L"LoadLibrary");
            return false;
        }
        report_.Call(L"LoadLibrary", result->milliseconds, *loaded ? L"loaded" : L"failed");
        if (result->fault) {
            Error(L"LoadLibrary", L"the library faulted while loading: " + result->fault->Message(),
                  L"look at DllMain and the constructors of the library's globals.");
            return false;
        }
        if (!*loaded) {
            std::wstring fix = L"make sure Windows can load it: every DLL it imports must be beside it or on the PATH.";
            if (*error == ERROR_DLL_INIT_FAILED)
                fix = L"DllMain returned FALSE for DLL_PROCESS_ATTACH, or a global's constructor failed: see why.";
            Error(L"LoadLibrary",
                  L"Windows cannot load it: " + ErrorCodeText(*error) + L". The workbench reports " +
                      Quoted(NoLibraryMessage) + L".",
                  fix);
            return false;
        }
        library_.Reset(*loaded);
        return true;
    }

    // Both entry points by their plain names. A decorated or miscased one is
    // reported and used in the plain one's place, so the checks can go on.
    // missing: what the workbench does without it.
    const void* EntryPoint(const wchar_t* name, const std::wstring& missing)
    {
        const std::string plain = NarrowAscii(name);
        if (const auto found = GetProcAddress(library_.Get(), plain.c_str()))
            return reinterpret_cast<const void*>(found);
        std::vector<std::string> similar;
        for (const auto& exported : file_.exports)
            if (Undecorated(exported) == Undecorated(plain))
                similar.push_back(exported);
        const std::wstring problem =
            L"not exported by this name: the workbench looks it up by exactly this name and " + missing + L".";
        if (similar.empty()) {
            std::wstring exports;
            for (size_t i = 0; i < file_.exports.size() && i < 8; ++i)
                exports += (i ? L", " : L"") + WidenAscii(file_.exports[i]);
            if (file_.exports.size() > 8)
                exports += L", ...";
            Error(name,
                  problem + (file_.exports.empty() ? L" The library exports nothing."
                                                   : L" The library exports " + exports + L"."),
                  L"define it extern \"C\" and export it: list it in the library's .def file under EXPORTS, "
                  L"or mark it __declspec(dllexport).");
            return nullptr;
        }
        std::wstring names;
        for (const auto& s : similar)
            names += (names.empty() ? L"" : L", ") + WidenAscii(s);
        const bool decorated = similar.front().find('@') != std::string::npos || similar.front()[0] == '_';
        if (decorated)
            Error(name,
                  problem + L" It is exported only as " + names +
                      L", a decorated name (what compilers call a stdcall function on x86). Checked under that name below.",
                  L"export the plain name: in a .def file, EXPORTS " + std::wstring(name) + L" (with MinGW, " +
                      name + L" = " + name + L"@4), or with MinGW link with -Wl,--kill-at.");
        else
            Error(name, problem + L" It is exported as " + names + L": export names are case-sensitive. Checked under that name below.",
                  L"export it as " + std::wstring(name) + L".");
        return reinterpret_cast<const void*>(GetProcAddress(library_.Get(), similar.front().c_str()));
    }

    bool ResolveEntryPoints()
    {
        get_ = EntryPoint(GetName, L"reports " + Quoted(NoGetInterfaceMessage));
        free_ = EntryPoint(FreeName, L"reports " + Quoted(NoFreeInterfaceMessage));
        ResolveStopEntry();
        return get_ != nullptr;
    }

    // The optional StopQAVInterface: said whether it is there; a decorated or
    // miscased one is an error, since the workbench would not find it.
    void ResolveStopEntry()
    {
        if (const auto found = GetProcAddress(library_.Get(), QAV_STOP_INTERFACE_NAME)) {
            stop_ = reinterpret_cast<const void*>(found);
            report_.Heading(L"note: StopQAVInterface is exported: when the user stops a slow call, the workbench "
                            L"asks the library to end it through it.");
            return;
        }
        for (const auto& exported : file_.exports)
            if (Undecorated(exported) == Undecorated(QAV_STOP_INTERFACE_NAME)) {
                stop_ = EntryPoint(StopName, L"stops a slow call by force instead");
                return;
            }
        report_.Heading(L"note: StopQAVInterface is not exported (it is optional): the workbench stops a slow call "
                        L"by force, which may leave the library's state unreliable.");
    }

    // An entry point called with the slot, as the workbench calls it; what it
    // returned, unless it hung or faulted, after the checks of every call.
    std::optional<CallResult> CallWithSlot(const void* entry, const wchar_t* operation, const wchar_t* onFault)
    {
        const CallResult call =
            caller_.Call(entry, {reinterpret_cast<uintptr_t>(slot_.get())}, Returns::Status, slot_);
        if (!call.finished) {
            Hung(operation);
            return std::nullopt;
        }
        report_.Call(operation, call.milliseconds, StatusOutcome(call));
        if (call.fault) {
            CheckFault(operation, call, onFault);
            return std::nullopt;
        }
        CheckStack(operation, call, 1);
        return call;
    }

    // StopQAVInterface called while no call runs must return at once and change
    // nothing: the next Execute gives what the first one gave.
    void StopWhileNothingRuns()
    {
        if (!stop_ || !*slot_)
            return;
        if (!CallWithSlot(stop_, L"StopQAVInterface (while nothing runs)",
                          L"The workbench calls it when the user presses Stop."))
            return;
        const auto execute = operations_.find(QAV_POS_EXECUTE);
        if (execute == operations_.end() || !firstResult_)
            return;
        static const QAV_CHAR empty[1] = {0};
        const CallResult again = caller_.Call(
            execute->second,
            {reinterpret_cast<uintptr_t>(*slot_), reinterpret_cast<uintptr_t>(program_->c_str()),
             reinterpret_cast<uintptr_t>(empty), 1},
            Returns::Text, program_);
        if (!again.finished) {
            Hung(L"Execute (after StopQAVInterface)");
            return;
        }
        report_.Call(L"Execute (after StopQAVInterface)", again.milliseconds, TextOutcome(again));
        if (again.fault) {
            CheckFault(L"Execute", again, FaultEndsRun);
            return;
        }
        if (again.text.state == ForeignText::State::Read && again.text.text != *firstResult_)
            report_.Finding(Severity::Warning, StopName,
                            L"called while nothing ran, it changed the next Execute's result from " +
                                Preview(*firstResult_) + L" to " + Preview(again.text.text) +
                                L". The workbench may call it just as a call returns by itself.",
                            L"clear the stop flag when a call begins, so a stop asked between calls does nothing.");
    }

    // On x86: each call takes its own arguments off the stack, as stdcall does.
    void CheckStack(const wchar_t* operation, const CallResult& call, size_t arguments)
    {
        const std::ptrdiff_t expected = StdcallRemoves(arguments);
        if (!MeasuresStack() || call.fault || call.removed == expected)
            return;
        std::wstring problem = L"took " + std::to_wstring(call.removed) + L" bytes of arguments off the stack; stdcall takes " +
                               std::to_wstring(expected) + L" (" + std::to_wstring(arguments) +
                               (arguments == 1 ? L" argument" : L" arguments") + L" of 4 bytes). ";
        problem += call.removed == 0 ? L"It is compiled as cdecl: the caller's stack is left " + std::to_wstring(expected) +
                                           L" bytes off after every call."
                                     : L"It is declared with other arguments than the contract's.";
        Error(operation, problem,
              L"declare the function QAV_CALL (__stdcall) with the contract's arguments, exactly as the types in "
              L"QAVInterface.h; a cast into the table hides the mismatch from the compiler.");
    }

    void CheckFault(const wchar_t* operation, const CallResult& call, const wchar_t* onFault)
    {
        const HardwareFault& fault = *call.fault;
        if (IsLanguageException(fault.Code())) {
            Error(operation, fault.Message() + L" It was thrown inside the library and nothing there caught it. " + onFault,
                  L"catch every exception inside each function the workbench calls (in C++, a try block with "
                  L"catch (...) around the body) and report the failure in the texts it returns.");
            return;
        }
        std::wstring fix = L"make the operation not fault";
        HMODULE at = nullptr; // borrowed
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(fault.Address()), &at) &&
            at == library_.Get()) {
            const uint64_t offset = fault.Address() - reinterpret_cast<uintptr_t>(library_.Get());
            const std::wstring linked = HexText(file_.imageBase + offset);
            fix += L": the faulting instruction is at " + fileName_ + L"+" + HexText(offset) + L", address " + linked +
                   L" as linked (addr2line -e " + fileName_ + L" " + linked + L" names the source line of a "
                   L"library built with -g; or look it up in the linker's map file).";
        } else {
            fix += L": the fault is outside the library's code, in code it called; check the pointers and sizes it passes.";
        }
        Error(operation, fault.Message() + L" " + onFault, fix);
    }

    // The freed-text check sees only the system's heaps: say where it was blind.
    void NoteUnmanagedTexts()
    {
        if (unmanaged_.empty())
            return;
        std::wstring names;
        for (size_t i = 0; i < unmanaged_.size(); ++i)
            names += std::wstring(i == 0 ? L"" : i + 1 == unmanaged_.size() ? L" and " : L", ") + unmanaged_[i];
        const bool one = unmanaged_.size() == 1;
        report_.Heading(std::wstring(one ? L"note: the text of " : L"note: the texts of ") + names +
                        (one ? L" lies" : L" lie") + L" in memory that no heap of the process manages, "
                        L"an allocator of the library's own perhaps: whether such a text is freed before the "
                        L"workbench copies it cannot be seen here.");
    }

    // A text: present, readable, ended, well-formed.
    void CheckText(const wchar_t* operation, const ForeignText& text)
    {
        const std::wstring keep = L"return a NUL-terminated text that the library keeps until the operation is "
                                  L"called again, for example in a buffer of the interface object";
        switch (text.state) {
        case ForeignText::State::Null:
            Error(operation,
                  L"returned null instead of a text. The workbench reads it as an empty text, so a lost answer "
                  L"looks like an empty one. Either the function returns null itself, or it returns a local "
                  L"array, whose address GCC replaces by null (it warns: \"function returns address of local "
                  L"variable\").",
                  L"return L\"\" when there is nothing to say; a text built in a local array must be "
                  L"built where it outlives the call instead, for example in a buffer of the interface object.");
            return;
        case ForeignText::State::Dangling:
            Error(operation,
                  L"returned a pointer into the stack of the call that has just returned (a local array, or the text "
                  L"of a temporary string): by the time the workbench copies it, other calls have written over it.",
                  keep + L".");
            return;
        case ForeignText::State::Freed:
            Error(operation,
                  L"returned a pointer into a heap block that is already freed (the text of a string destroyed "
                  L"on return, such as std::wstring(...).c_str(), or a buffer freed or reallocated since): the "
                  L"workbench copies whatever the heap has written there since, and shows garbage.",
                  keep + L".");
            return;
        case ForeignText::State::Unreadable:
            Error(operation,
                  L"the text at " + HexText(text.address) + L" runs into memory that cannot be read before its NUL. "
                  L"The workbench faults the same way when it copies it.",
                  keep + L"; a freed buffer or a missing NUL reads like this.");
            return;
        case ForeignText::State::TooLong:
            Error(operation,
                  L"no NUL within " + std::to_wstring(TextLimit) + L" UTF-16 units (32 MB): the text has probably "
                  L"lost its terminating NUL.",
                  keep + L".");
            return;
        case ForeignText::State::Read:
            break;
        }
        const size_t bad = FirstUnpairedSurrogate(text.text);
        if (bad != std::wstring::npos)
            report_.Finding(Severity::Warning, operation,
                            L"the text is not well-formed UTF-16: a lone surrogate " +
                                HexText(static_cast<unsigned>(text.text[bad])) + L" at unit " + std::to_wstring(bad) +
                                L" of " + std::to_wstring(text.text.size()) + L". The workbench shows it as a box.",
                            L"pair every surrogate; convert from UTF-8 with MultiByteToWideChar(CP_UTF8, "
                            L"MB_ERR_INVALID_CHARS, ...) and never cut a text between the two units of a pair.");
    }

    std::wstring TextOutcome(const CallResult& call)
    {
        if (call.fault)
            return L"faulted";
        switch (call.text.state) {
        case ForeignText::State::Read:
            return std::to_wstring(call.text.text.size()) + (call.text.text.size() == 1 ? L" unit: " : L" units: ") +
                   report_.Shown(call.text.text);
        case ForeignText::State::Null: return L"null";
        case ForeignText::State::Dangling: return L"a text on the stack";
        case ForeignText::State::Freed: return L"a freed text";
        case ForeignText::State::Unreadable: return L"an unreadable text";
        case ForeignText::State::TooLong: return L"a text without an end";
        }
        return {};
    }

    static std::wstring StatusOutcome(const CallResult& call)
    {
        return call.fault ? L"faulted" : L"returned " + std::to_wstring(static_cast<int32_t>(call.value));
    }

    // GetQAVInterface returns nonzero with the slot filled.
    bool Acquire()
    {
        const CallResult call = caller_.Call(get_, {reinterpret_cast<uintptr_t>(slot_.get())}, Returns::Status, slot_);
        if (!call.finished) {
            Hung(GetName);
            return false;
        }
        report_.Call(GetName, call.milliseconds, StatusOutcome(call));
        if (call.fault) {
            CheckFault(GetName, call, L"The workbench writes it in its log and binds nothing.");
            return false;
        }
        CheckStack(GetName, call, 1);
        const int32_t status = static_cast<int32_t>(call.value);
        if (status == 0)
            Error(GetName,
                  L"returned 0, failure. The workbench reports " + Quoted(NoInterfaceMessage) +
                      (*slot_ ? L" and still calls FreeQAVInterface at close, since the slot is set." : L"."),
                  L"return nonzero once *slot holds the interface; return 0 only when there is none, with the slot left 0.");
        else if (!*slot_)
            Error(GetName,
                  L"returned nonzero but left the slot 0. The workbench reports " + Quoted(NoInterfaceMessage) + L".",
                  L"store the interface's address in *slot before returning.");
        return status != 0 && *slot_;
    }

    // Every position of the table that the workbench calls holds code of the library.
    bool ReadTable()
    {
        const uintptr_t object = reinterpret_cast<uintptr_t>(*slot_);
        uintptr_t table = 0;
        try {
            table = CallGuarded([object] { return *reinterpret_cast<const volatile uintptr_t*>(object); });
        } catch (const HardwareFault& fault) {
            Error(GetName, L"the interface " + HexText(object) + L" cannot be read: " + fault.Message(),
                  L"store the address of the interface object itself in *slot.");
            return false;
        }
        if (table == 0) {
            Error(GetName, L"the interface's first word, the address of its table of operations, is null.",
                  L"set the interface's Table to the QAV_VTABLE before returning it.");
            return false;
        }
        std::vector<Operation> ops(std::begin(RunOps), std::end(RunOps));
        ops.insert(ops.begin(), GetVersionOp);
        for (const Operation& op : ops) {
            const uintptr_t at = table + static_cast<uintptr_t>(op.position) * sizeof(void*);
            uintptr_t function = 0;
            try {
                function = CallGuarded([at] { return *reinterpret_cast<const volatile uintptr_t*>(at); });
            } catch (const HardwareFault& fault) {
                Error(op.name, L"position " + std::to_wstring(op.position) + L" of the table cannot be read: " +
                                   fault.Message(),
                      L"make the table a whole QAV_VTABLE, 19 positions, alive as long as the interface.");
                continue;
            }
            const std::wstring where = L"position " + std::to_wstring(op.position) + L" of the table";
            const std::wstring fill = L"fill " + where + L" (QAV_VTABLE's " + op.name + L") with the operation.";
            if (function == 0) {
                Error(op.name, where + L" is null. The workbench faults when it calls it.", fill);
                continue;
            }
            const CodeAddress place = LocateCode(library_.Get(), function);
            if (place.place == CodePlace::OtherModule) {
                report_.Finding(Severity::Warning, op.name,
                                where + L" points into " + place.module + L", not into " + fileName_ + L".",
                                L"make sure this is meant: the workbench calls it as the library's " +
                                    std::wstring(op.name) + L".");
            } else if (place.place != CodePlace::LibraryCode) {
                Error(op.name,
                      where + L" holds " + HexText(function) +
                          (place.place == CodePlace::LibraryData ? L", which is the library's data, not its code."
                                                                 : L", which is not code of any module.") +
                          L" The workbench faults when it calls it. Not called here.",
                      fill + L" The table may be missing positions: count them against QAV_VTABLE.");
                continue;
            }
            operations_[op.position] = reinterpret_cast<const void*>(function);
        }
        return true;
    }

    // One table operation, as the workbench calls it.
    void CallOperation(const Operation& op)
    {
        const auto found = operations_.find(op.position);
        if (found == operations_.end())
            return;
        static const QAV_CHAR empty[1] = {0};
        std::vector<uintptr_t> args{reinterpret_cast<uintptr_t>(*slot_)};
        if (op.position == QAV_POS_EXECUTE)
            args.insert(args.end(), {reinterpret_cast<uintptr_t>(program_->c_str()), reinterpret_cast<uintptr_t>(empty), 1});
        const CallResult call = caller_.Call(found->second, std::move(args), Returns::Text, program_);
        if (!call.finished) {
            Hung(op.name);
            return;
        }
        report_.Call(op.name, call.milliseconds, TextOutcome(call));
        if (call.fault) {
            CheckFault(op.name, call, op.onFault);
            return;
        }
        CheckStack(op.name, call, op.arguments);
        CheckText(op.name, call.text);
        if (call.text.state == ForeignText::State::Read && op.position != QAV_POS_EXECUTE)
            CheckLineBreaks(report_, op.name, call.text.text);
        if (call.text.place == HeapPlace::Unmanaged)
            unmanaged_.push_back(op.name);
        if (op.position == QAV_POS_EXECUTE && call.text.state == ForeignText::State::Read)
            firstResult_ = call.text.text;
    }

    // FreeQAVInterface, called as the workbench does at close: when the slot is set.
    void Release()
    {
        if (hung_ || !free_ || !*slot_)
            return;
        const auto call = CallWithSlot(free_, FreeName, L"The workbench writes it in its log at close.");
        if (call && static_cast<int32_t>(call->value) == 0)
            Error(FreeName, L"returned 0, failure. The workbench reports " + Quoted(FreeFailedMessage) + L" at close.",
                  L"return nonzero when the interface is given back.");
    }

    void Unload()
    {
        if (hung_ || !library_)
            return;
        auto library = std::make_shared<UniqueModule>(std::move(library_));
        const auto result = caller_.Run([library] { library->Reset(); });
        if (!result) {
            Hung(L"FreeLibrary");
            return;
        }
        report_.Call(L"FreeLibrary", result->milliseconds, result->fault ? L"faulted" : L"unloaded");
        if (result->fault)
            Error(L"FreeLibrary", L"the library faulted while unloading: " + result->fault->Message(),
                  L"look at DllMain's DLL_PROCESS_DETACH and the destructors of the library's globals.");
    }

    const CheckRequest& request_;
    Report& report_;
    Worker worker_;
    LibraryCaller caller_;
    std::shared_ptr<std::wstring> program_;
    std::shared_ptr<QAV_INTERFACE*> slot_;
    std::wstring fullPath_;
    std::wstring fileName_;
    PeFile file_;
    UniqueModule library_;
    const void* get_ = nullptr;
    const void* free_ = nullptr;
    const void* stop_ = nullptr;
    std::optional<std::wstring> firstResult_; // what the Run's Execute returned
    std::map<int, const void*> operations_;
    std::vector<const wchar_t*> unmanaged_; // operations whose texts no heap reports
    bool hung_ = false;
};

} // namespace

CheckResult CheckLibrary(const CheckRequest& request, Report& report)
{
    Checker checker(request, report);
    return checker.Run();
}
