#include "tools/qavcheck/LibraryCall.h"

#include "binding/FaultGuard.h"
#include "tools/qavcheck/EscapedException.h"
#include "tools/qavcheck/StackProbe.h"

namespace {

using Clock = std::chrono::steady_clock;

double Between(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// What the worker's job leaves for the checker.
struct Shared {
    CallResult result;
    Clock::time_point ended;
};

} // namespace

CallResult LibraryCaller::Call(std::wstring_view operation, const void* function, std::vector<uintptr_t> args,
                               Returns returns, std::shared_ptr<const void> keep, const Interruption* interruption)
{
    auto shared = std::make_shared<Shared>();
    report_.Calling(operation);
    worker_.Start([shared, function, args = std::move(args), returns, keep] {
        CallResult& result = shared->result;
        const auto start = Clock::now();
        try {
            const ProbedCall call = CallGuarded([&] { return ProbeCall(function, args.data(), args.size()); });
            shared->ended = Clock::now();
            result.value = call.result;
            result.removed = call.removed;
            if (returns == Returns::Text)
                result.text = ReadForeignText(reinterpret_cast<const wchar_t*>(call.result),
                                              reinterpret_cast<uintptr_t>(&start));
        } catch (const HardwareFault& fault) {
            shared->ended = Clock::now();
            result.fault = fault;
        } catch (...) {
            shared->ended = Clock::now();
            result.escaped = DescribeEscapedException();
        }
        result.milliseconds = Between(start, shared->ended);
    });
    std::optional<Clock::time_point> stopped;
    bool ended = false, wait = true;
    if (interruption) {
        ended = worker_.Wait(interruption->after);
        if (!ended) {
            stopped = Clock::now();
            wait = interruption->act();
        }
    }
    if (!ended && (!wait || !worker_.Wait(timeout_))) {
        worker_.Abandon();
        CallResult hung;
        hung.stopAsked = stopped.has_value();
        return hung;
    }
    CallResult result = std::move(shared->result);
    result.finished = true;
    if (stopped) {
        result.stopAsked = true;
        result.afterStop = shared->ended > *stopped ? Between(*stopped, shared->ended) : 0;
    }
    return result;
}

std::optional<CallResult> LibraryCaller::Run(std::wstring_view operation, std::function<void()> job)
{
    auto result = std::make_shared<CallResult>();
    report_.Calling(operation);
    const bool finished = worker_.Run(
        [result, job = std::move(job)] {
            const auto start = Clock::now();
            try {
                CallGuarded(job);
            } catch (const HardwareFault& fault) {
                result->fault = fault;
            } catch (...) {
                result->escaped = DescribeEscapedException();
            }
            result->milliseconds = Between(start, Clock::now());
        },
        timeout_);
    if (!finished)
        return std::nullopt;
    result->finished = true;
    return *result;
}
