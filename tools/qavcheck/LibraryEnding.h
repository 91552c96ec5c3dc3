// How the library ended the process the session ran in, told from what is left
// of it: its exit code, what it wrote to stderr, and the marks the C runtime
// let the session send (abort() raising SIGABRT, exit() running the exit
// handlers). A pure judgement, so that the texts of every runtime can be tried.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct LibraryEnding {
    enum class Way {
        Abort,        // abort(), with nothing more to tell
        FailedAssert, // detail: the assertion as the runtime printed it
        LuaPanic,     // detail: Lua's message
        CppTerminate, // std::terminate; detail: the exception's type and what(), when printed
        Exit,         // exit(), seen running the exit handlers
        ExitCode,     // an exit code, by a route that left no other trace
        FastFail,     // __fastfail or a failed security check: no code of the process ran
        Exception,    // an exception nothing handled ended it, its code the exit code
    };
    Way way;
    uint32_t exitCode;
    std::wstring detail;
    // The runtime told how (abort() raised SIGABRT, exit() ran the handlers);
    // false: only the exit code tells, and exit(3) reads as abort() does.
    bool seen = false;
};

// stderr: what the session's process wrote to its standard error, as text.
LibraryEnding JudgeLibraryEnding(uint32_t exitCode, std::wstring_view stderrText, bool abortRaised, bool exitCalled);

// The exit code as it reads best: decimal, or hexadecimal for a system status (0xC0000409).
std::wstring ExitCodeText(uint32_t exitCode);
