#include "tools/qavcheck/Worker.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/SystemErrorText.h"
#include "framework/win32/UniqueHandle.h"

#include <exception>
#include <utility>

// Shared by the checker and the worker thread, which holds it until it ends.
struct Worker::State {
    UniqueKernelObject ready{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelObject done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelObject thread;
    std::function<void()> job;
    std::exception_ptr error;
    bool stop = false;
};

namespace {

DWORD WINAPI WorkerMain(void* parameter) noexcept
{
    const std::unique_ptr<std::shared_ptr<Worker::State>> owner(static_cast<std::shared_ptr<Worker::State>*>(parameter));
    Worker::State& state = **owner;
    for (;;) {
        WaitForSingleObject(state.ready.Get(), INFINITE);
        if (state.stop)
            return 0;
        try {
            state.job();
        } catch (...) {
            state.error = std::current_exception();
        }
        SetEvent(state.done.Get());
    }
}

[[noreturn]] void Fail(const wchar_t* what)
{
    const DWORD error = GetLastError();
    throw Exception(UnicodeString(what) + L": " + ErrorCodeText(error));
}

} // namespace

Worker::Worker() : state_(std::make_shared<State>())
{
    if (!state_->ready || !state_->done)
        Fail(L"cannot create the worker's events");
    auto owner = std::make_unique<std::shared_ptr<State>>(state_);
    // Stack size 0: the reserve the program's header sets, as the workbench's own thread has.
    const HANDLE thread = CreateThread(nullptr, 0, WorkerMain, owner.get(), 0, nullptr);
    if (!thread)
        Fail(L"cannot start the worker thread");
    owner.release();
    state_->thread.Reset(thread);
}

Worker::~Worker()
{
    if (hung_)
        return; // its thread still runs the job; the process ends without it
    state_->stop = true;
    SetEvent(state_->ready.Get());
    WaitForSingleObject(state_->thread.Get(), INFINITE);
}

bool Worker::Run(std::function<void()> job, std::chrono::milliseconds timeout)
{
    if (hung_)
        return false;
    Start(std::move(job));
    if (!Wait(timeout)) {
        Abandon();
        return false;
    }
    return true;
}

void Worker::Start(std::function<void()> job)
{
    state_->job = std::move(job);
    state_->error = nullptr;
    SetEvent(state_->ready.Get());
}

bool Worker::Wait(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(state_->done.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return false;
    state_->job = nullptr;
    if (state_->error)
        std::rethrow_exception(std::exchange(state_->error, nullptr));
    return true;
}
