#include "tools/qavcheck/ContractCheck.h"

#include "binding/FaultGuard.h"
#include "contract/QAVInterface.h"
#include "contract/RunCalls.h"
#include "contract/StopGrace.h"
#include "framework/AsciiText.h"
#include "framework/Exception.h"
#include "framework/Surrogates.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"
#include "framework/win32/UniqueHandle.h"
#include "tools/qavcheck/CodeAddress.h"
#include "tools/qavcheck/Findings.h"
#include "tools/qavcheck/LibraryCall.h"
#include "tools/qavcheck/LineBreaks.h"
#include "tools/qavcheck/MissingImports.h"
#include "tools/qavcheck/PeFile.h"
#include "tools/qavcheck/StackProbe.h"

#include <algorithm>
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

Operation FromRunCall(const RunCall& call)
{
    return {call.operation, call.position, ArgumentCount(call), finding::FaultInRun(call.faultEndsRun)};
}

// Every operation of the table the workbench calls: GetVersion at binding, then a Run's.
std::vector<Operation> TableOperations()
{
    std::vector<Operation> ops{{L"GetVersion", QAV_POS_GET_VERSION, 1, finding::FaultInGetVersion()}};
    for (const RunCall& call : RunCalls)
        ops.push_back(FromRunCall(call));
    return ops;
}

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
        : request_(request), report_(report), caller_(worker_, report, request.timeout),
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
                const std::vector<Operation> ops = TableOperations();
                for (const Operation& op : ops)
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
    void Found(std::wstring_view operation, const Finding& finding)
    {
        report_.Add(operation, finding);
    }

    void Hung(const wchar_t* operation)
    {
        hung_ = true;
        report_.GaveUp(request_.timeout);
        Found(operation, finding::Hung(request_.timeout, stop_ != nullptr));
    }

    // The file: a DLL of this checker's architecture, read before it is loaded.
    bool CheckFile()
    {
        fullPath_ = FullPath(request_.library);
        fileName_ = FileNameOf(fullPath_);
        report_.Heading(L"qavcheck " QAVCHECK_VERSION L", " + MachineName(OwnMachine()) + L": checking " + fullPath_);
        if (CompareStringOrdinal(fileName_.c_str(), -1, L"QAV.dll", -1, TRUE) != CSTR_EQUAL)
            report_.Heading(note::NotNamedQavDll());
        try {
            file_ = ReadPeFile(fullPath_);
        } catch (const Exception& e) {
            Found(L"file", finding::UnreadableFile(e.Message()));
            return false;
        }
        if (!file_.isDll) {
            Found(L"file", finding::NotADll());
            return false;
        }
        if (file_.machine != OwnMachine()) {
            Found(L"file", finding::WrongArchitecture(file_.machine, OwnMachine()));
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
        const auto result = caller_.Run(L"LoadLibrary", [loaded, error, path] {
            *loaded = LoadLibraryExW(path->c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            *error = GetLastError();
        });
        if (!result) {
            Hung(L"LoadLibrary");
            return false;
        }
        report_.Call(L"LoadLibrary", result->milliseconds, *loaded ? L"loaded" : L"failed");
        if (result->fault) {
            Found(L"LoadLibrary", finding::LoadFaulted(*result->fault));
            return false;
        }
        if (result->escaped) {
            Found(L"LoadLibrary", finding::EscapedCppException(*result->escaped, nullptr));
            return false;
        }
        if (!*loaded) {
            const std::vector<MissingImport> missing =
                *error == ERROR_MOD_NOT_FOUND ? FindMissingImports(fullPath_, file_.imports) : std::vector<MissingImport>{};
            Found(L"LoadLibrary", missing.empty() ? finding::CannotLoad(*error)
                                                  : finding::MissingDependency(missing, fileName_));
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
        if (similar.empty()) {
            std::vector<std::wstring> exports;
            for (const auto& exported : file_.exports)
                exports.push_back(WidenAscii(exported));
            Found(name, finding::NotExported(missing, exports));
            return nullptr;
        }
        std::wstring names;
        for (const auto& s : similar)
            names += (names.empty() ? L"" : L", ") + WidenAscii(s);
        const bool decorated = similar.front().find('@') != std::string::npos || similar.front()[0] == '_';
        Found(name, decorated ? finding::ExportedDecorated(name, missing, names)
                              : finding::ExportedMiscased(name, missing, names));
        return reinterpret_cast<const void*>(GetProcAddress(library_.Get(), similar.front().c_str()));
    }

    bool ResolveEntryPoints()
    {
        get_ = EntryPoint(GetName, finding::WithoutGetQAVInterface());
        free_ = EntryPoint(FreeName, finding::WithoutFreeQAVInterface());
        ResolveStopEntry();
        return get_ != nullptr;
    }

    // The optional StopQAVInterface: said whether it is there; a decorated or
    // miscased one is an error, since the workbench would not find it.
    void ResolveStopEntry()
    {
        if (const auto found = GetProcAddress(library_.Get(), QAV_STOP_INTERFACE_NAME)) {
            stop_ = reinterpret_cast<const void*>(found);
            report_.Heading(note::StopExported());
            return;
        }
        for (const auto& exported : file_.exports)
            if (Undecorated(exported) == Undecorated(QAV_STOP_INTERFACE_NAME)) {
                stop_ = EntryPoint(StopName, finding::WithoutStopQAVInterface());
                return;
            }
        report_.Heading(note::StopNotExported());
    }

    // An entry point called with the slot, as the workbench calls it; what it
    // returned, unless it hung or faulted, after the checks of every call.
    std::optional<CallResult> CallWithSlot(const void* entry, const wchar_t* operation, const wchar_t* onFault)
    {
        const CallResult call =
            caller_.Call(operation, entry, {reinterpret_cast<uintptr_t>(slot_.get())}, Returns::Status, slot_);
        if (!call.finished) {
            Hung(operation);
            return std::nullopt;
        }
        report_.Call(operation, call.milliseconds, StatusOutcome(call));
        if (Failed(operation, call, onFault))
            return std::nullopt;
        CheckStack(operation, call, 1);
        return call;
    }

    // StopQAVInterface called while no call runs must return at once and change
    // nothing: the next Execute gives what the first one gave.
    void StopWhileNothingRuns()
    {
        if (!stop_ || !*slot_)
            return;
        if (!CallWithSlot(stop_, L"StopQAVInterface (while nothing runs)", finding::FaultInStopQAVInterface()))
            return;
        const auto execute = operations_.find(QAV_POS_EXECUTE);
        if (execute == operations_.end() || !firstResult_)
            return;
        const wchar_t* const operation = L"Execute (after StopQAVInterface)";
        const std::optional<CallResult> again = CallExecute(operation, execute->second, false);
        if (!again)
            return;
        // A stop kept from before ends the run at once: the program that ran until stopped ends by itself now.
        if (firstStopped_ && !again->stopAsked)
            Found(StopName, finding::StopEndedNextRun(again->milliseconds));
        else if (again->text.state == ForeignText::State::Read && again->text.text != *firstResult_)
            Found(StopName, finding::StopChangedResult(*firstResult_, again->text.text));
    }

    // Execute, as the workbench calls it: asked to stop through StopQAVInterface,
    // from another thread, once it has run for --stop-after or the timeout; what
    // it returned, unless it hung, faulted or threw. first: the Run's, whose stop
    // is judged; the one after the stop while nothing ran only needs to end.
    std::optional<CallResult> CallExecute(const wchar_t* operation, const void* function, bool first)
    {
        static const QAV_CHAR empty[1] = {0};
        const std::vector<uintptr_t> args{reinterpret_cast<uintptr_t>(*slot_),
                                          reinterpret_cast<uintptr_t>(program_->c_str()),
                                          reinterpret_cast<uintptr_t>(empty), 1};
        const Interruption interruption{request_.stopAfter.value_or(request_.timeout), [this] { return AskToStop(); }};
        const CallResult call =
            caller_.Call(operation, function, args, Returns::Text, program_, stop_ ? &interruption : nullptr);
        if (!call.finished) {
            if (!hung_)
                HungAfterStop(operation, call.stopAsked);
            return std::nullopt;
        }
        report_.Call(operation, call.milliseconds, TextOutcome(call));
        if (Failed(L"Execute", call, FromRunCall(RunCalls[0]).onFault))
            return std::nullopt;
        if (first && call.stopAsked)
            JudgeStop(call);
        else if (first && request_.stopAfter && stop_)
            Found(operation, finding::StopNotTried(*request_.stopAfter, call.milliseconds));
        return call;
    }

    // Called while Execute runs: StopQAVInterface on a thread of its own, as the
    // workbench's watcher calls it. False when it hung, so that Execute is not waited for.
    bool AskToStop()
    {
        if (!stopWorker_) {
            stopWorker_.emplace();
            stopCaller_.emplace(*stopWorker_, report_, request_.timeout);
        }
        const wchar_t* const operation = L"StopQAVInterface (while Execute runs)";
        const CallResult call =
            stopCaller_->Call(operation, stop_, {reinterpret_cast<uintptr_t>(slot_.get())}, Returns::Status, slot_);
        if (!call.finished) {
            Hung(operation);
            return false;
        }
        report_.Call(operation, call.milliseconds, StatusOutcome(call));
        Failed(operation, call, finding::FaultInStopQAVInterface());
        return true;
    }

    void HungAfterStop(const wchar_t* operation, bool stopAsked)
    {
        if (!stopAsked) {
            Hung(operation);
            return;
        }
        hung_ = true;
        report_.GaveUp(request_.stopAfter.value_or(request_.timeout) + request_.timeout);
        Found(operation, finding::HungAfterStop(request_.timeout));
    }

    // How long Execute took to return after the stop, against the workbench's grace.
    void JudgeStop(const CallResult& call)
    {
        if (!request_.stopAfter)
            report_.Heading(note::StoppedAtTimeout(request_.timeout));
        if (call.afterStop > std::chrono::duration<double, std::milli>(StopQAVInterfaceGrace).count())
            Found(L"Execute", finding::SlowStop(call.afterStop));
        else
            report_.Heading(note::StoppedInTime(call.afterStop));
    }

    // A fault or an escaped C++ exception, reported; true when the call had one.
    bool Failed(std::wstring_view operation, const CallResult& call, const wchar_t* onFault)
    {
        if (call.fault) {
            CheckFault(operation, call, onFault);
            return true;
        }
        if (call.escaped) {
            Found(operation, finding::EscapedCppException(*call.escaped, onFault));
            return true;
        }
        return false;
    }

    // On x86: each call takes its own arguments off the stack, as stdcall does.
    void CheckStack(const wchar_t* operation, const CallResult& call, size_t arguments)
    {
        const std::ptrdiff_t expected = StdcallRemoves(arguments);
        if (!MeasuresStack() || call.fault || call.removed == expected)
            return;
        Found(operation, finding::WrongConvention(call.removed, expected, arguments));
    }

    void CheckFault(std::wstring_view operation, const CallResult& call, const wchar_t* onFault)
    {
        const HardwareFault& fault = *call.fault;
        if (IsLanguageException(fault.Code())) {
            Found(operation, finding::LanguageException(fault, onFault));
            return;
        }
        const CodeAddress place = LocateCode(library_.Get(), fault.Address());
        if (place.place != CodePlace::LibraryCode && place.place != CodePlace::LibraryData) {
            Found(operation, finding::FaultElsewhere(fault, onFault));
            return;
        }
        const uint64_t offset = fault.Address() - reinterpret_cast<uintptr_t>(library_.Get());
        Found(operation, finding::FaultInLibrary(fault, onFault, fileName_, offset, file_.imageBase + offset));
    }

    // The freed-text check sees only the system's heaps: say where it was blind.
    void NoteUnmanagedTexts()
    {
        if (!unmanaged_.empty())
            report_.Heading(note::UnmanagedTexts(unmanaged_));
    }

    // A text: present, readable, ended, well-formed.
    void CheckText(const wchar_t* operation, const ForeignText& text)
    {
        switch (text.state) {
        case ForeignText::State::Null: Found(operation, finding::NullText()); return;
        case ForeignText::State::Dangling: Found(operation, finding::DanglingText()); return;
        case ForeignText::State::Freed: Found(operation, finding::FreedText()); return;
        case ForeignText::State::Unreadable: Found(operation, finding::UnreadableText(text.address)); return;
        case ForeignText::State::TooLong: Found(operation, finding::TextTooLongToCopy(text.length)); return;
        case ForeignText::State::Read: break;
        }
        if (text.length > LongTextUnits)
            report_.Heading(note::LongText(operation, text.length));
        const size_t bad = FirstUnpairedSurrogate(text.text);
        if (bad != std::wstring::npos)
            Found(operation, finding::IllFormedText(text.text[bad], bad, text.text.size()));
    }

    std::wstring TextOutcome(const CallResult& call)
    {
        if (call.fault)
            return L"faulted";
        if (call.escaped)
            return L"threw";
        switch (call.text.state) {
        case ForeignText::State::Read:
            return std::to_wstring(call.text.text.size()) + (call.text.text.size() == 1 ? L" unit: " : L" units: ") +
                   report_.Shown(call.text.text);
        case ForeignText::State::Null: return L"null";
        case ForeignText::State::Dangling: return L"a text on the stack";
        case ForeignText::State::Freed: return L"a freed text";
        case ForeignText::State::Unreadable: return L"an unreadable text";
        case ForeignText::State::TooLong: return L"a text too long to copy";
        }
        return {};
    }

    static std::wstring StatusOutcome(const CallResult& call)
    {
        return call.fault     ? L"faulted"
               : call.escaped ? L"threw"
                              : L"returned " + std::to_wstring(static_cast<int32_t>(call.value));
    }

    // GetQAVInterface returns nonzero with the slot filled.
    bool Acquire()
    {
        const CallResult call =
            caller_.Call(GetName, get_, {reinterpret_cast<uintptr_t>(slot_.get())}, Returns::Status, slot_);
        if (!call.finished) {
            Hung(GetName);
            return false;
        }
        report_.Call(GetName, call.milliseconds, StatusOutcome(call));
        if (Failed(GetName, call, finding::FaultInGetQAVInterface()))
            return false;
        CheckStack(GetName, call, 1);
        const int32_t status = static_cast<int32_t>(call.value);
        if (status == 0)
            Found(GetName, finding::GetQAVInterfaceFailed(*slot_ != nullptr));
        else if (!*slot_)
            Found(GetName, finding::GetQAVInterfaceLeftSlotEmpty());
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
            Found(GetName, finding::InterfaceUnreadable(object, fault));
            return false;
        }
        if (table == 0) {
            Found(GetName, finding::TableNull());
            return false;
        }
        for (const Operation& op : TableOperations()) {
            const uintptr_t at = table + static_cast<uintptr_t>(op.position) * sizeof(void*);
            uintptr_t function = 0;
            try {
                function = CallGuarded([at] { return *reinterpret_cast<const volatile uintptr_t*>(at); });
            } catch (const HardwareFault& fault) {
                Found(op.name, finding::PositionUnreadable(op.position, fault));
                continue;
            }
            if (function == 0) {
                Found(op.name, finding::PositionNull(op.name, op.position));
                continue;
            }
            const CodeAddress place = LocateCode(library_.Get(), function);
            if (place.place == CodePlace::OtherModule) {
                Found(op.name, finding::PositionInOtherModule(op.name, op.position, place.module, fileName_));
            } else if (place.place != CodePlace::LibraryCode) {
                Found(op.name,
                      finding::PositionNotCode(op.name, op.position, function, place.place == CodePlace::LibraryData));
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
        std::optional<CallResult> executed;
        if (op.position == QAV_POS_EXECUTE) {
            if (request_.stopAfter && !stop_)
                Found(op.name, finding::StopNotExported());
            executed = CallExecute(op.name, found->second, true);
            if (!executed)
                return;
            firstStopped_ = executed->stopAsked;
        }
        const CallResult call = executed ? std::move(*executed) : CallText(op.name, found->second, op.onFault);
        if (!call.finished)
            return;
        CheckStack(op.name, call, op.arguments);
        CheckText(op.name, call.text);
        if (call.text.state == ForeignText::State::Read && op.position != QAV_POS_EXECUTE)
            CheckLineBreaks(report_, op.name, call.text.text);
        if (call.text.place == HeapPlace::Unmanaged)
            unmanaged_.push_back(op.name);
        if (op.position == QAV_POS_EXECUTE && call.text.state == ForeignText::State::Read)
            firstResult_ = call.text.text;
    }

    // A text operation of the table; unfinished when it hung, after reporting it.
    CallResult CallText(const wchar_t* operation, const void* function, const wchar_t* onFault)
    {
        const CallResult call =
            caller_.Call(operation, function, {reinterpret_cast<uintptr_t>(*slot_)}, Returns::Text, program_);
        if (!call.finished) {
            Hung(operation);
            return call;
        }
        report_.Call(operation, call.milliseconds, TextOutcome(call));
        if (Failed(operation, call, onFault))
            return CallResult{};
        return call;
    }

    // FreeQAVInterface, called as the workbench does at close: when the slot is set.
    void Release()
    {
        if (hung_ || !free_ || !*slot_)
            return;
        const auto call = CallWithSlot(free_, FreeName, finding::FaultInFreeQAVInterface());
        if (call && static_cast<int32_t>(call->value) == 0)
            Found(FreeName, finding::FreeQAVInterfaceFailed());
    }

    void Unload()
    {
        if (hung_ || !library_)
            return;
        auto library = std::make_shared<UniqueModule>(std::move(library_));
        const auto result = caller_.Run(L"FreeLibrary", [library] { library->Reset(); });
        if (!result) {
            Hung(L"FreeLibrary");
            return;
        }
        report_.Call(L"FreeLibrary", result->milliseconds, result->fault ? L"faulted" : L"unloaded");
        if (result->fault)
            Found(L"FreeLibrary", finding::UnloadFaulted(*result->fault));
        else if (result->escaped)
            Found(L"FreeLibrary", finding::EscapedCppException(*result->escaped, nullptr));
    }

    const CheckRequest& request_;
    Report& report_;
    Worker worker_;
    LibraryCaller caller_;
    // StopQAVInterface's own thread, made when Execute is first asked to stop.
    std::optional<Worker> stopWorker_;
    std::optional<LibraryCaller> stopCaller_;
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
    bool firstStopped_ = false;               // and whether it was asked to stop first
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
