#include "tools/qavcheck/LibraryCall.h"

#include "binding/FaultGuard.h"
#include "tools/qavcheck/StackProbe.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

CallResult LibraryCaller::Call(const void* function, std::vector<uintptr_t> args, Returns returns,
                               std::shared_ptr<const void> keep)
{
    auto result = std::make_shared<CallResult>();
    const bool finished = worker_.Run(
        [result, function, args = std::move(args), returns, keep] {
            const auto start = Clock::now();
            try {
                const ProbedCall call = CallGuarded([&] { return ProbeCall(function, args.data(), args.size()); });
                result->milliseconds = Since(start);
                result->value = call.result;
                result->removed = call.removed;
                if (returns == Returns::Text)
                    result->text = ReadForeignText(reinterpret_cast<const wchar_t*>(call.result),
                                                   reinterpret_cast<uintptr_t>(&start));
            } catch (const HardwareFault& fault) {
                result->milliseconds = Since(start);
                result->fault = fault;
            }
        },
        timeout_);
    if (!finished)
        return CallResult{};
    result->finished = true;
    return *result;
}

std::optional<CallResult> LibraryCaller::Run(std::function<void()> job)
{
    auto result = std::make_shared<CallResult>();
    const bool finished = worker_.Run(
        [result, job = std::move(job)] {
            const auto start = Clock::now();
            try {
                CallGuarded(job);
            } catch (const HardwareFault& fault) {
                result->fault = fault;
            }
            result->milliseconds = Since(start);
        },
        timeout_);
    if (!finished)
        return std::nullopt;
    result->finished = true;
    return *result;
}
