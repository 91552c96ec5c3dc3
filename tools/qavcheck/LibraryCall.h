// One call into the library: made on the worker thread, inside the fault guard,
// timed, with its effect on the stack measured and, for a text operation, its
// text read at once, as the workbench does. The report hears of each call
// before it is made, so that an end of the process names the call it came in.
#pragma once

#include "framework/HardwareFault.h"
#include "tools/qavcheck/ForeignText.h"
#include "tools/qavcheck/Report.h"
#include "tools/qavcheck/Worker.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CallResult {
    bool finished = false;              // false: still running when the time ran out
    std::optional<HardwareFault> fault; // the call faulted
    std::optional<std::wstring> escaped; // a C++ exception left it: its type and what()
    uintptr_t value = 0;                // the result, as EAX / RAX held it
    std::ptrdiff_t removed = 0;         // bytes of arguments the call took off the stack (x86)
    double milliseconds = 0;
    ForeignText text;                   // for text operations
    // With a stop asked while it ran (Interruption): whether it was asked, and
    // how long the call went on after the stop began (0 when it ended before).
    bool stopAsked = false;
    double afterStop = 0;
};

enum class Returns { Status, Text };

// What to do while a call runs, once it has run for `after`: ask it to stop.
struct Interruption {
    std::chrono::milliseconds after;
    // Runs on the checker's thread, while the call goes on; false: give the call
    // up at once, unwaited for (the stop itself hung).
    std::function<bool()> act;
};

class LibraryCaller {
public:
    LibraryCaller(Worker& worker, Report& report, std::chrono::milliseconds timeout)
        : worker_(worker), report_(report), timeout_(timeout)
    {
    }

    // keep: what the arguments point to (the slot, the program), kept alive as
    // long as the call runs, even past the timeout. interruption: acted on once
    // the call has run that long; the call then has the timeout again to return.
    CallResult Call(std::wstring_view operation, const void* function, std::vector<uintptr_t> args, Returns returns,
                    std::shared_ptr<const void> keep = {}, const Interruption* interruption = nullptr);

    // Any other job on the worker (loading and unloading the library), guarded
    // and timed; nullopt when it was still running at the timeout.
    std::optional<CallResult> Run(std::wstring_view operation, std::function<void()> job);

    std::chrono::milliseconds Timeout() const { return timeout_; }

private:
    Worker& worker_;
    Report& report_;
    std::chrono::milliseconds timeout_;
};
