// A library for qavcheck that misbehaves in one operation, as do.txt beside it
// says in one line "<operation> <what> [<number>]":
//   abort, assert, panic (Lua's: its message on stderr, then abort), throw (a
//   std::runtime_error), throw-pointer (a pointer to a class of its own),
//   exit N, _exit N, ExitProcess N, TerminateProcess N: ends the process so;
//   spin [N]: runs until StopQAVInterface asks it to stop, then N milliseconds
//   more (0 by default), then returns; deaf: runs for ever, whatever is asked;
//   long N: returns a text of N units; print N: writes N lines to stdout, "line 1"...
// Every other call answers at once. StopQAVInterface only sets a flag, which a
// call clears when it begins. Built with QAV_MISBEHAVING_IMPORTS_ABSENT, its
// version comes from a DLL of its own, qavtest_absent.dll.
#undef NDEBUG
#define QAV_BUILDING_LIBRARY
#include "contract/QAVInterface.h"

#include "framework/Win.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#ifdef QAV_MISBEHAVING_IMPORTS_ABSENT
extern "C" __declspec(dllimport) int qavtest_absent_answer(void);
#endif

// What "throw-pointer" throws: a pointer to a class of the library's own, as some interpreters do.
struct ScriptError {
    int line;
};

namespace {

QAV_INTERFACE g_interface{};
volatile LONG g_stopAsked = 0;
volatile bool g_interpreterReady = false;
volatile unsigned g_spins = 0;
std::wstring g_text;

struct Behaviour {
    std::string operation;
    std::string what;
    long long number = 0;
};

// do.txt beside this library; nothing when it is not there.
Behaviour Read()
{
    HMODULE self = nullptr; // borrowed: the reference count is unchanged
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Read), &self);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring file = path;
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"do.txt";
    Behaviour behaviour;
    if (FILE* in = _wfopen(file.c_str(), L"r")) {
        char operation[64] = {}, what[64] = {};
        if (std::fscanf(in, "%63s %63s %lld", operation, what, &behaviour.number) >= 2) {
            behaviour.operation = operation;
            behaviour.what = what;
        }
        std::fclose(in);
    }
    return behaviour;
}

const Behaviour g_behaviour = Read();

// Spins in this library's own code until a stop is asked, then as long again as asked.
const wchar_t* Spin(long long after)
{
    while (!g_stopAsked)
        g_spins = g_spins + 1;
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(after);
    while (GetTickCount64() < until)
        g_spins = g_spins + 1;
    return L"stopped by the library";
}

const wchar_t* Misbehave(const char* operation, const wchar_t* answer)
{
    g_stopAsked = 0;
    if (g_behaviour.operation != operation)
        return answer;
    const std::string& what = g_behaviour.what;
    const int code = static_cast<int>(g_behaviour.number);
    if (what == "abort") {
        std::abort();
    } else if (what == "assert") {
        assert(g_interpreterReady && "the interpreter is ready");
    } else if (what == "panic") {
        std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (attempt to call a nil value)\n");
        std::fflush(stderr);
        std::abort();
    } else if (what == "throw") {
        throw std::runtime_error("boom");
    } else if (what == "throw-pointer") {
        throw new ScriptError{7};
    } else if (what == "exit") {
        std::exit(code);
    } else if (what == "_exit") {
        _exit(code);
    } else if (what == "ExitProcess") {
        ExitProcess(static_cast<UINT>(code));
    } else if (what == "TerminateProcess") {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    } else if (what == "spin") {
        return Spin(g_behaviour.number);
    } else if (what == "deaf") {
        for (;;)
            g_spins = g_spins + 1;
    } else if (what == "print") {
        for (int line = 1; line <= code; ++line)
            std::printf("line %d\n", line);
        std::fflush(stdout);
    } else if (what == "long") {
        g_text.assign(static_cast<size_t>(g_behaviour.number), L'x');
        return g_text.c_str();
    }
    return answer;
}

const QAV_CHAR* QAV_CALL GetVersion(QAV_INTERFACE*)
{
#ifdef QAV_MISBEHAVING_IMPORTS_ABSENT
    if (qavtest_absent_answer() != 42)
        return L"";
#endif
    return Misbehave("GetVersion", L"misbehaving 1.0");
}
const QAV_CHAR* QAV_CALL GetVarStack(QAV_INTERFACE*) { return Misbehave("GetVarStack", L""); }
const QAV_CHAR* QAV_CALL GetObjectStack(QAV_INTERFACE*) { return Misbehave("GetObjectStack", L""); }
const QAV_CHAR* QAV_CALL GetLog(QAV_INTERFACE*) { return Misbehave("GetLog", L""); }
const QAV_CHAR* QAV_CALL GetFunctionStack(QAV_INTERFACE*) { return Misbehave("GetFunctionStack", L""); }
const QAV_CHAR* QAV_CALL GetParamStack(QAV_INTERFACE*) { return Misbehave("GetParamStack", L""); }

const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE*, const QAV_CHAR*, const QAV_CHAR*, int32_t)
{
    return Misbehave("Execute", L"3");
}

const QAV_VTABLE g_table = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            GetVersion, GetVarStack, GetObjectStack, nullptr, nullptr, GetLog, Execute, nullptr,
                            GetFunctionStack, GetParamStack};

} // namespace

int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    Misbehave("GetQAVInterface", nullptr);
    g_interface.Table = &g_table;
    *slot = &g_interface;
    return 1;
}

int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    Misbehave("FreeQAVInterface", nullptr);
    *slot = nullptr;
    return 1;
}

int32_t QAV_CALL StopQAVInterface(QAV_INTERFACE**)
{
    g_stopAsked = 1;
    return 1;
}
