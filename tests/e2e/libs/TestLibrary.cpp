// An interpreter library for end-to-end tests. Every call it receives is
// recorded beside it (Recorder.h); the table operations answer what script.txt
// says (a text, null, N generated lines, or a hardware fault of a given kind),
// or a defect: "unterminated" (a text without its NUL), "stack" (a text in a
// returned frame), "hang" (the call never returns). Calls that do not return,
// or not soon: "spin" (in the library's own code, for ever), "spin-ms N" (then
// the default answer), "sleep" (in Sleep, for ever), "wait" (in a wait that is
// never signalled); and "raise CODE" raises that exception (hex) flagged
// non-continuable, as a C++ throw of Microsoft's compiler does. Ends of the
// process: "abort", "assert" (a failed assert, with the runtime's box), "panic
// TEXT" (TEXT on stderr, then abort, as Lua's panic), "throw TEXT" (a
// std::runtime_error escapes), "throw-pointer" (a ScriptError* escapes), "exit
// N", "_exit N", "ExitProcess N", "TerminateProcess N", "exit-thread
// N" (exit(N) on a thread of the library's own while the call waits),
// "exit-unseen N" (ExitProcess(N) found with GetProcAddress) and "fastfail";
// "box TEXT" shows TEXT in a message box of the library's own and returns the
// default answer once it is answered. The entry points take the same lines,
// but not the answers.
// "Execute floor <text>" serves the big-run benchmark: see PutFinalTexts.
// "Execute swap <text>" puts a second interface object into the workbench's
// slot during the call, "Execute clear-slot <text>" empties the slot; both
// then answer the text.
// The binding behaviour is chosen at build time, by name (see the enums below;
// each defaults to its first value): QAV_TESTLIB_GET, QAV_TESTLIB_FREE,
// QAV_TESTLIB_VERSION, QAV_TESTLIB_STOP; and two switches, QAV_TESTLIB_CDECL
// (every entry point and operation is cdecl, the wrong convention on x86) and
// QAV_TESTLIB_SHARED_BUFFER (every operation answers in one buffer, which the
// next call overwrites). Which entry points exist, and under which names, is
// chosen by the library's .def file.
// A failed assert must end the call here, also in an optimised build.
#undef NDEBUG
#include <cassert>

#include "contract/QAVInterface.h"
#include "contract/RunCalls.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/e2e/libs/Recorder.h"

#include "framework/Win.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#ifdef QAV_TESTLIB_CDECL
#define TESTLIB_CALL __cdecl
#else
#define TESTLIB_CALL QAV_CALL
#endif

namespace {

// What GetQAVInterface does.
enum class Get {
    Succeeds,
    Fails,               // leaving the slot zero
    FailsWithSlotSet,
    SucceedsWithoutSlot, // reports success but leaves the slot zero
};
// What FreeQAVInterface returns.
enum class Free { Succeeds, Fails };
// What GetVersion answers.
enum class Version {
    Text, // "1.2.3-test"
    Empty,
    Null,
};
// What StopQAVInterface does, where the .def file exports it.
enum class Stop {
    None,
    Honoured, // a spin returns "stopped by the library" at once
    Ignored,  // nothing
    Kept,     // as Honoured, but the flag is kept from call to call, so a stop
              // asked while nothing runs ends the next Execute
};

#ifndef QAV_TESTLIB_GET
#define QAV_TESTLIB_GET Succeeds
#endif
#ifndef QAV_TESTLIB_FREE
#define QAV_TESTLIB_FREE Succeeds
#endif
#ifndef QAV_TESTLIB_VERSION
#define QAV_TESTLIB_VERSION Text
#endif
#ifndef QAV_TESTLIB_STOP
#define QAV_TESTLIB_STOP None
#endif
constexpr Get kGet = Get::QAV_TESTLIB_GET;
constexpr Free kFree = Free::QAV_TESTLIB_FREE;
constexpr Version kVersion = Version::QAV_TESTLIB_VERSION;
constexpr Stop kStop = Stop::QAV_TESTLIB_STOP;
#ifdef QAV_TESTLIB_SHARED_BUFFER
constexpr bool kSharedBuffer = true;
#else
constexpr bool kSharedBuffer = false;
#endif

enum Operation { OpVersion, OpVarStack, OpObjectStack, OpLog, OpExecute, OpFunctionStack, OpParamStack, OpCount };

constexpr std::array<const char*, OpCount> kOperationNames = {
    "GetVersion", "GetVarStack", "GetObjectStack", "GetLog", "Execute", "GetFunctionStack", "GetParamStack"};

Operation OperationNamed(std::wstring_view name)
{
    for (int op = 0; op < OpCount; ++op)
        if (std::equal(name.begin(), name.end(), kOperationNames[op], kOperationNames[op] + std::strlen(kOperationNames[op])))
            return static_cast<Operation>(op);
    std::abort();
}

// Each operation's last answer lives here until that operation is called again.
std::array<std::wstring, OpCount> g_answers;

QAV_INTERFACE g_interface{};
// The object "Execute swap" puts into the slot; it shares the first one's table.
QAV_INTERFACE g_second{};
// The workbench's slot, as GetQAVInterface was given it.
QAV_INTERFACE** g_slot = nullptr;

// Volatile, so that the compiler can neither fold the faults below away nor turn them into other ones.
volatile int g_zero = 0;
volatile int g_dividend = 7;
int* volatile g_nowhere = nullptr;
volatile unsigned g_depthLimit = 0xFFFFFFFFu;

// Set by StopQAVInterface from the workbench's watcher thread.
volatile LONG g_stopAsked = 0;
volatile unsigned g_spins = 0;
constexpr const wchar_t* kStoppedText = L"stopped by the library";

// A new call forgets a stop asked before it, unless the build keeps it.
void ForgetStop()
{
    if (kStop != Stop::Kept)
        g_stopAsked = 0;
}

// True when a stop was asked and this build honours it.
bool StopHonoured()
{
    return (kStop == Stop::Honoured || kStop == Stop::Kept) && g_stopAsked != 0;
}

// Spins in this library's own code, without a call out, until it is stopped or
// the time is up (a negative time: for ever). True when it was stopped.
__attribute__((noinline)) bool Spin(long long milliseconds)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const long long ticks = milliseconds * frequency.QuadPart / 1000;
    for (;;) {
        for (unsigned i = 0; i < 1000000; ++i) {
            if (StopHonoured())
                return true;
            g_spins = g_spins + 1;
        }
        if (milliseconds < 0)
            continue;
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart >= ticks)
            return false;
    }
}

} // namespace

// An exception type of the library's own, thrown by pointer.
struct ScriptError {
    int line;
};

namespace {

DWORD WINAPI ExitOnThread(void* code)
{
    std::exit(static_cast<int>(reinterpret_cast<intptr_t>(code)));
}

// The number after a word: "exit 3" gives 3.
int Argument(const std::string& line)
{
    return std::atoi(line.substr(line.find(' ') + 1).c_str());
}

bool StartsWith(const std::string& line, const char* word)
{
    return line.rfind(word, 0) == 0;
}

// Ends the process, or tries to; true when the line named a way to.
bool EndProcess(const std::string& line)
{
    if (line == "abort") {
        std::abort();
    } else if (line == "assert") {
        assert(line == "a failing assertion");
    } else if (StartsWith(line, "panic ")) {
        std::fprintf(stderr, "PANIC: %s\n", line.substr(6).c_str());
        std::fflush(stderr);
        std::abort();
    } else if (StartsWith(line, "throw ")) {
        throw std::runtime_error(line.substr(6));
    } else if (line == "throw-pointer") {
        throw new ScriptError{7};
    } else if (StartsWith(line, "exit ")) {
        std::exit(Argument(line));
    } else if (StartsWith(line, "_exit ")) {
        _exit(Argument(line));
    } else if (StartsWith(line, "ExitProcess ")) {
        ExitProcess(static_cast<UINT>(Argument(line)));
    } else if (StartsWith(line, "TerminateProcess ")) {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(Argument(line)));
    } else if (StartsWith(line, "exit-thread ")) {
        CreateThread(nullptr, 0, ExitOnThread, reinterpret_cast<void*>(static_cast<intptr_t>(Argument(line))), 0,
                     nullptr);
        Sleep(INFINITE);
    } else if (StartsWith(line, "exit-unseen ")) {
        using ExitProcessFn = void(WINAPI*)(UINT);
        const auto exitProcess = reinterpret_cast<ExitProcessFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitProcess")));
        exitProcess(static_cast<UINT>(Argument(line)));
    } else if (line == "fastfail") {
        __asm__ volatile("int $0x29" ::"c"(7));
    } else {
        return false;
    }
    return true;
}

// A call that never returns or not soon, an exception raised, an end of the
// process or a box of the library's own; true when the line named one of them
// and it returned. *stopped: it ended by the library's stop.
bool Misbehave(const std::string& line, bool* stopped)
{
    *stopped = false;
    if (EndProcess(line))
        return true;
    if (StartsWith(line, "box ")) {
        const std::wstring text = qavrec::Unescape(line.substr(4));
        MessageBoxW(nullptr, text.c_str(), L"qavtest box", MB_OK);
    } else if (line == "spin") {
        *stopped = Spin(-1);
    } else if (line.rfind("spin-ms ", 0) == 0) {
        *stopped = Spin(std::atoll(line.substr(8).c_str()));
    } else if (line == "sleep") {
        Sleep(INFINITE);
    } else if (line == "wait") {
        const HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        WaitForSingleObject(never, INFINITE);
    } else if (line.rfind("raise ", 0) == 0) {
        RaiseException(static_cast<DWORD>(std::strtoul(line.substr(6).c_str(), nullptr, 16)),
                       EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else {
        return false;
    }
    return true;
}

__attribute__((noinline)) unsigned Recurse(unsigned depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth >= g_depthLimit)
        return frame[0];
    return Recurse(depth + 1) + static_cast<unsigned char>(frame[0]);
}

void RaiseFault(const std::string& kind)
{
    if (kind == "access-violation") {
        *g_nowhere = 1;
    } else if (kind == "illegal-instruction") {
        __builtin_trap();
    } else if (kind == "divide-by-zero") {
        volatile int quotient = g_dividend / g_zero;
        (void)quotient;
    } else if (kind == "stack-overflow") {
        volatile unsigned sink = Recurse(0);
        (void)sink;
    }
}

// A text whose NUL is missing: it ends where readable memory ends.
const wchar_t* UnterminatedText()
{
    static wchar_t* text = [] {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const size_t page = system.dwPageSize;
        auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE, PAGE_NOACCESS));
        if (pages == nullptr || !VirtualAlloc(pages, page, MEM_COMMIT, PAGE_READWRITE))
            return static_cast<wchar_t*>(nullptr);
        auto* units = reinterpret_cast<wchar_t*>(pages);
        for (size_t i = 0; i < page / sizeof(wchar_t); ++i)
            units[i] = L'x';
        return units + page / sizeof(wchar_t) - 8;
    }();
    return text;
}

// Hidden from the compiler, which would otherwise return null for a local's address.
const wchar_t* volatile g_escaped = nullptr;

// The text of a local array, returned after its frame is gone.
__attribute__((noinline)) const wchar_t* StackText()
{
    wchar_t local[16] = L"on the stack";
    g_escaped = local;
    return g_escaped;
}

const wchar_t* DefaultAnswer(Operation op)
{
    if (op != OpVersion)
        return L"";
    switch (kVersion) {
    case Version::Empty:
        return L"";
    case Version::Null:
        return nullptr;
    case Version::Text:
        break;
    }
    return L"1.2.3-test";
}

// The scripted answer of an operation; a fault is raised here, inside the call.
const wchar_t* Answer(Operation op)
{
    std::string line;
    try {
        line = ScriptLine(kOperationNames[op]);
    } catch (...) {
        return DefaultAnswer(op);
    }
    std::wstring& slot = g_answers[kSharedBuffer ? 0 : op];
    if (line.empty())
        return DefaultAnswer(op);
    if (line == "null")
        return nullptr;
    if (line == "unterminated")
        return UnterminatedText();
    if (line == "stack")
        return StackText();
    if (line == "hang")
        for (;;)
            Sleep(1000);
    if (line.rfind("fault ", 0) == 0) {
        RaiseFault(line.substr(6));
        return DefaultAnswer(op);
    }
    bool stopped = false;
    if (Misbehave(line, &stopped))
        return stopped ? kStoppedText : DefaultAnswer(op);
    try {
        if (line == "text") {
            slot.clear();
        } else if (line.rfind("text ", 0) == 0) {
            slot = qavrec::Unescape(line.substr(5));
        } else if (line.rfind("lines ", 0) == 0) {
            const size_t space = line.find(' ', 6);
            const int count = std::atoi(line.substr(6, space - 6).c_str());
            const std::wstring prefix = space == std::string::npos ? L"" : qavrec::Unescape(line.substr(space + 1));
            slot = qavrec::NumberedLines(prefix, count);
        } else {
            return DefaultAnswer(op);
        }
    } catch (...) {
        return DefaultAnswer(op);
    }
    return slot.c_str();
}

BOOL CALLBACK FindForm(HWND window, LPARAM found) noexcept
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"TIDEForm") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The floor a Run is measured against: the final texts of Result, Log and
// Stacks for the scripted answers, already joined with CR LF, given to the
// window's controls from inside its process with one WM_SETTEXT each.
// Records "Floor us=<microseconds>".
void PutFinalTexts(const std::wstring& result)
{
    HWND form = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindForm, reinterpret_cast<LPARAM>(&form));
    if (form == nullptr)
        return;
    const wchar_t* logAnswer = Answer(OpLog);
    const std::wstring log = logAnswer ? logAnswer : L"";
    std::wstring stacks;
    for (const RunCall& call : RunCalls) {
        if (!call.header)
            continue;
        const wchar_t* lines = Answer(OperationNamed(call.operation));
        stacks += (stacks.empty() ? L"" : L"\r\n") + std::wstring(call.header);
        if (lines && *lines)
            stacks += L"\r\n" + std::wstring(lines);
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SendMessageW(GetDlgItem(form, 1003), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(result.c_str()));
    SendMessageW(GetDlgItem(form, 1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(log.c_str()));
    SendMessageW(GetDlgItem(form, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(stacks.c_str()));
    QueryPerformanceCounter(&end);
    RecordCall("Floor us=" + std::to_string((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart));
}

const char* Self(QAV_INTERFACE* self)
{
    return self == &g_interface ? "self=ok" : self == &g_second ? "self=second" : "self=foreign";
}

const QAV_CHAR* TextOperation(Operation op, QAV_INTERFACE* self)
{
    ForgetStop();
    RecordCall(std::string(kOperationNames[op]) + " " + Self(self));
    return Answer(op);
}

const QAV_CHAR* TESTLIB_CALL GetVersion(QAV_INTERFACE* self) { return TextOperation(OpVersion, self); }
const QAV_CHAR* TESTLIB_CALL GetVarStack(QAV_INTERFACE* self) { return TextOperation(OpVarStack, self); }
const QAV_CHAR* TESTLIB_CALL GetObjectStack(QAV_INTERFACE* self) { return TextOperation(OpObjectStack, self); }
const QAV_CHAR* TESTLIB_CALL GetLog(QAV_INTERFACE* self) { return TextOperation(OpLog, self); }
const QAV_CHAR* TESTLIB_CALL GetFunctionStack(QAV_INTERFACE* self) { return TextOperation(OpFunctionStack, self); }
const QAV_CHAR* TESTLIB_CALL GetParamStack(QAV_INTERFACE* self) { return TextOperation(OpParamStack, self); }

const QAV_CHAR* TESTLIB_CALL Execute(QAV_INTERFACE* self, const QAV_CHAR* program, const QAV_CHAR* options, int32_t mode)
{
    std::string line;
    try {
        line = std::string("Execute ") + Self(self);
        line += options == nullptr ? " options=null" : *options == 0 ? " options=empty" : " options=" + qavrec::Escape(options);
        line += " mode=" + std::to_string(mode);
        line += program == nullptr ? " program=null" : " program=" + qavrec::Escape(program);
    } catch (...) {
        line = "Execute unrecorded";
    }
    if (kStop == Stop::Kept && g_stopAsked != 0)
        return kStoppedText;
    ForgetStop();
    RecordCall(line);
    try {
        const std::string line = ScriptLine("Execute");
        if (line.rfind("swap ", 0) == 0 || line.rfind("clear-slot ", 0) == 0) {
            const bool swap = line[0] == 's';
            if (g_slot != nullptr)
                *g_slot = swap ? &g_second : nullptr;
            g_answers[OpExecute] = qavrec::Unescape(line.substr(line.find(' ') + 1));
            return g_answers[OpExecute].c_str();
        }
        if (line.rfind("floor ", 0) == 0) {
            g_answers[OpExecute] = qavrec::Unescape(line.substr(6));
            PutFinalTexts(g_answers[OpExecute]);
            return g_answers[OpExecute].c_str();
        }
    } catch (...) {
        return L"";
    }
    return Answer(OpExecute);
}

// The identity, except in a cdecl build, where it puts cdecl functions in stdcall positions.
template <class Position, class Function>
Position As(Function function)
{
    return reinterpret_cast<Position>(function);
}

const QAV_VTABLE kTable = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    As<QAV_TEXT_FN>(GetVersion), As<QAV_TEXT_FN>(GetVarStack), As<QAV_TEXT_FN>(GetObjectStack), nullptr, nullptr,
    As<QAV_TEXT_FN>(GetLog), As<QAV_EXECUTE_FN>(Execute), nullptr,
    As<QAV_TEXT_FN>(GetFunctionStack), As<QAV_TEXT_FN>(GetParamStack)};

// An entry point misbehaves as script.txt says for it, e.g. "FreeQAVInterface fault stack-overflow".
void ScriptedFault(const char* entryPoint)
{
    std::string line;
    try {
        line = ScriptLine(entryPoint);
    } catch (...) {
        return;
    }
    bool stopped = false;
    if (line.rfind("fault ", 0) == 0)
        RaiseFault(line.substr(6));
    else
        Misbehave(line, &stopped);
}

const char* SlotState(QAV_INTERFACE** slot)
{
    if (slot == nullptr)
        return "slot=null";
    if (*slot == nullptr)
        return "slot=zero";
    return *slot == &g_interface ? "slot=ours" : *slot == &g_second ? "slot=second" : "slot=other";
}

} // namespace

extern "C" int32_t TESTLIB_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    RecordCall(std::string("GetQAVInterface ") + (slot == nullptr ? "slot=null" : *slot == nullptr ? "slot=zero" : "slot=nonzero"));
    ScriptedFault("GetQAVInterface");
    g_interface.Table = &kTable;
    g_second.Table = &kTable;
    g_slot = slot;
    if (slot == nullptr)
        return 0;
    if (kGet == Get::Succeeds || kGet == Get::FailsWithSlotSet)
        *slot = &g_interface;
    return kGet == Get::Succeeds || kGet == Get::SucceedsWithoutSlot ? 1 : 0;
}

extern "C" int32_t TESTLIB_CALL StopQAVInterface(QAV_INTERFACE** slot)
{
    if (kStop != Stop::Ignored)
        g_stopAsked = 1;
    RecordCall(std::string("StopQAVInterface ") + SlotState(slot));
    ScriptedFault("StopQAVInterface");
    return kStop != Stop::Ignored;
}

extern "C" int32_t TESTLIB_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    RecordCall(std::string("FreeQAVInterface ") + SlotState(slot));
    ScriptedFault("FreeQAVInterface");
    return kFree == Free::Succeeds ? 1 : 0;
}

namespace {

// A library whose FreeQAVInterface fails records what the Log pane holds when
// it is unloaded, after the release has reported the failure there.
void RecordLogAtUnload() noexcept
{
    HWND form = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindForm, reinterpret_cast<LPARAM>(&form));
    HWND log = form ? GetDlgItem(form, 1004) : nullptr;
    if (log == nullptr) {
        RecordCall("Log at unload: none");
        return;
    }
    try {
        std::wstring text(static_cast<size_t>(SendMessageW(log, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(SendMessageW(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
        RecordCall("Log at unload: " + qavrec::Escape(text));
    } catch (...) {
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        RecordCall("Attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        if (kFree == Free::Fails && reserved == nullptr)
            RecordLogAtUnload();
        RecordCall(reserved == nullptr ? "Detach unload" : "Detach exit");
    }
    return TRUE;
}
