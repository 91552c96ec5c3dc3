// One thread of its own that makes every call into the library, so that a call
// that never returns cannot hold the checker: the checker waits for each job a
// limited time and may leave it running.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class Worker {
public:
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Runs job on the worker thread and waits for it up to timeout. Returns false
    // when it is still running then; the job must own (by value or shared
    // pointer) everything it touches, since it may outlive the wait. A C++
    // exception leaving the job is rethrown here. After a false, the worker takes
    // no more jobs.
    bool Run(std::function<void()> job, std::chrono::milliseconds timeout);

    // Run in two steps, for a caller that acts while the job runs: Start hands
    // the job over, each Wait waits up to timeout and returns whether it has
    // ended (rethrowing what left it). Abandon gives a job still running up.
    void Start(std::function<void()> job);
    bool Wait(std::chrono::milliseconds timeout);
    void Abandon() { hung_ = true; }

    struct State;

private:
    std::shared_ptr<State> state_;
    bool hung_ = false;
};
