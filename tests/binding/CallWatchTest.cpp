// The watch from the watching thread's side: what it sees of a running call,
// and when it may stop one by force.
#include "binding/CallWatch.h"
#include "binding/InterpreterFault.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace {

volatile int keepSpinning = 1;

__attribute__((noinline)) int Spin()
{
    while (keepSpinning) {
    }
    return 1;
}

// A thread of its own makes one watched call that spins until it is stopped,
// or until the test lets it end.
class SpinningCall {
public:
    explicit SpinningCall(std::shared_ptr<const UnicodeString> program)
    {
        keepSpinning = 1;
        thread_ = std::thread([this, program] {
            CallWatch watch;
            RegisteredCallWatch registered(watch);
            WatchProgram(program);
            watch_ = &watch;
            try {
                CallInterpreter(L"Execute", Spin);
                outcome_ = L"returned";
            } catch (const InterpreterStopped& stopped) {
                outcome_ = stopped.Message();
            }
            while (!released_)
                Sleep(1);
        });
        while (!watch_.load() || watch_.load()->RunningId() == 0)
            Sleep(1);
    }
    ~SpinningCall()
    {
        keepSpinning = 0;
        released_ = true;
        thread_.join();
    }
    SpinningCall(const SpinningCall&) = delete;
    SpinningCall& operator=(const SpinningCall&) = delete;

    CallWatch& Watch() { return *watch_.load(); }
    // How the call ended, once it has.
    std::wstring Outcome()
    {
        while (Watch().RunningId() != 0)
            Sleep(1);
        while (outcome_.empty())
            Sleep(1);
        return outcome_;
    }

private:
    std::atomic<CallWatch*> watch_{nullptr};
    std::wstring outcome_;
    std::atomic<bool> released_{false};
    std::thread thread_;
};

TEST(CallWatch, ShowsTheRunningCallWithItsProgram)
{
    auto program = std::make_shared<const UnicodeString>(L"x = 1\r\n\U0001F600");
    SpinningCall call(program);
    const WatchedCallView view = call.Watch().Current();
    EXPECT_NE(view.id, 0u);
    EXPECT_EQ(view.id, call.Watch().RunningId());
    EXPECT_STREQ(view.operation, L"Execute");
    EXPECT_EQ(*view.program, *program);
    EXPECT_LE(view.began, std::chrono::steady_clock::now());
    keepSpinning = 0;
    EXPECT_EQ(call.Outcome(), L"returned");
    EXPECT_EQ(call.Watch().Current().id, 0u);
}

// Outside the library's image the thread may hold a lock of the system: no stop.
TEST(CallWatch, DoesNotStopByForceOutsideTheLibrarysCode)
{
    SpinningCall call(nullptr);
    call.Watch().SetLibrary(GetModuleHandleW(L"kernel32.dll"), nullptr, nullptr);
    const uint32_t id = call.Watch().RunningId();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(call.Watch().StopByForce(id));
    EXPECT_EQ(call.Watch().RunningId(), id) << "the call goes on";
    keepSpinning = 0;
    EXPECT_EQ(call.Outcome(), L"returned");
}

TEST(CallWatch, StopsByForceInTheLibrarysCode)
{
    SpinningCall call(nullptr);
    // The spinning code is this program's: here it stands for the library.
    call.Watch().SetLibrary(GetModuleHandleW(nullptr), nullptr, nullptr);
    const uint32_t id = call.Watch().RunningId();
    EXPECT_FALSE(call.Watch().StopByForce(id + 1)) << "another call than the one running";
    EXPECT_TRUE(call.Watch().StopByForce(id));
    const std::wstring outcome = call.Outcome();
    EXPECT_EQ(outcome.rfind(L"Execute stopped after ", 0), 0u);
    EXPECT_TRUE(outcome.ends_with(L" s. The library has no StopQAVInterface, so it was stopped by force."))
        << std::string(outcome.begin(), outcome.end());
}

std::atomic<QAV_INTERFACE**> stopSlot{nullptr};

int32_t QAV_CALL RecordingStop(QAV_INTERFACE** slot)
{
    stopSlot = slot;
    return 1;
}

TEST(CallWatch, AsksTheLibraryThroughItsStopEntryOnlyWhileTheCallRuns)
{
    QAV_INTERFACE* slot = nullptr;
    SpinningCall call(nullptr);
    CallWatch& watch = call.Watch();
    EXPECT_FALSE(watch.HasStopEntry());
    EXPECT_FALSE(watch.AskLibraryToStop(watch.RunningId())) << "no stop entry";
    watch.SetLibrary(GetModuleHandleW(nullptr), RecordingStop, &slot);
    EXPECT_TRUE(watch.HasStopEntry());
    EXPECT_FALSE(watch.AskLibraryToStop(watch.RunningId() + 1));
    EXPECT_EQ(stopSlot.load(), nullptr);
    EXPECT_TRUE(watch.AskLibraryToStop(watch.RunningId()));
    EXPECT_EQ(stopSlot.load(), &slot);
    watch.ForgetLibrary();
    EXPECT_FALSE(watch.HasStopEntry());
    keepSpinning = 0;
    EXPECT_EQ(call.Outcome(), L"returned");
}

// A watcher waiting for a call is woken by the next one that begins, and by quit.
TEST(CallWatch, WakesAWaitingWatcherWhenACallBegins)
{
    const UniqueKernelObject quit(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<CallWatch*> watch{nullptr};
    std::atomic<bool> go{false};
    std::atomic<bool> stay{true};
    std::thread caller([&] {
        CallWatch own;
        RegisteredCallWatch registered(own);
        watch = &own;
        while (!go)
            Sleep(1);
        CallInterpreter(L"GetLog", [] { return 1; });
        while (stay)
            Sleep(1);
    });
    while (!watch)
        Sleep(1);
    std::atomic<int> woke{-1};
    std::thread watcher([&] { woke = watch.load()->WaitForCall(quit.Get()) ? 1 : 0; });
    Sleep(100);
    EXPECT_EQ(woke.load(), -1) << "woke with no call";
    go = true;
    watcher.join();
    EXPECT_EQ(woke.load(), 1);

    std::thread quitting([&] { woke = watch.load()->WaitForCall(quit.Get()) ? 1 : 0; });
    SetEvent(quit.Get());
    quitting.join();
    EXPECT_EQ(woke.load(), 0);
    stay = false;
    caller.join();
}

} // namespace
