// One call into the library: made on the worker thread, inside the fault guard,
// timed, with its effect on the stack measured and, for a text operation, its
// text read at once, as the workbench does.
#pragma once

#include "framework/HardwareFault.h"
#include "tools/qavcheck/ForeignText.h"
#include "tools/qavcheck/Worker.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct CallResult {
    bool finished = false;              // false: still running when the time ran out
    std::optional<HardwareFault> fault; // the call faulted
    uintptr_t value = 0;                // the result, as EAX / RAX held it
    std::ptrdiff_t removed = 0;         // bytes of arguments the call took off the stack (x86)
    double milliseconds = 0;
    ForeignText text;                   // for text operations
};

enum class Returns { Status, Text };

class LibraryCaller {
public:
    LibraryCaller(Worker& worker, std::chrono::milliseconds timeout) : worker_(worker), timeout_(timeout) {}

    // keep: what the arguments point to (the slot, the program), kept alive as
    // long as the call runs, even past the timeout.
    CallResult Call(const void* function, std::vector<uintptr_t> args, Returns returns,
                    std::shared_ptr<const void> keep = {});

    // Any other job on the worker (loading and unloading the library), guarded
    // and timed; nullopt when it was still running at the timeout.
    std::optional<CallResult> Run(std::function<void()> job);

    std::chrono::milliseconds Timeout() const { return timeout_; }

private:
    Worker& worker_;
    std::chrono::milliseconds timeout_;
};
