// The ways a library can end the process from inside a call, and how each is
// named in a report: "abort()", "exit(3)", "ExitProcess(5)"...
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>

enum class ProcessEndWay : uint32_t {
    None,
    Abort,            // abort(), or the C runtime's SIGABRT
    Exit,             // exit(n)
    QuickExit,        // quick_exit(n)
    ExitAtOnce,       // _exit(n)
    ExitAtOnceC99,    // _Exit(n)
    ExitProcess,      // ExitProcess(n)
    TerminateProcess, // TerminateProcess on its own process
    Unseen,           // a way that was not turned aside: seen only as the process ended
};

struct ProcessEnd {
    ProcessEndWay way = ProcessEndWay::None;
    uint32_t exitCode = 0;
};

// The call as a reader would write it: "abort()", "exit(3)", "_exit(-1)",
// "ExitProcess(5)", "TerminateProcess(its own process, 7)".
UnicodeString ProcessEndCall(const ProcessEnd& end);
