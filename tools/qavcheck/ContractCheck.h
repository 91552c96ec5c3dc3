// The checks, step by step, in the order the workbench meets the library: the
// file, loading it, its entry points, the interface and its table, GetVersion,
// a Run, the release. Each finding goes to the report as it is found.
#pragma once

#include "tools/qavcheck/Report.h"

#include <chrono>
#include <optional>
#include <string>

struct CheckRequest {
    std::wstring library;  // the path given
    std::wstring program;  // the text Execute gets
    std::chrono::milliseconds timeout;
    // When Execute is asked through StopQAVInterface to stop; unset: after the timeout.
    std::optional<std::chrono::milliseconds> stopAfter;
};

enum class CheckOutcome {
    Clean = 0,     // nothing found
    Found = 1,     // a finding, a hung call, or the library ending the process
    NotLoaded = 2, // the library could not be loaded at all
};

struct CheckResult {
    CheckOutcome outcome;
    // A call still runs on the worker: the caller must end the process without
    // unloading the library or waiting for that thread.
    bool hung;
};

CheckResult CheckLibrary(const CheckRequest& request, Report& report);
