#include "interpreter/core/OwnStack.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#ifdef _WIN32
#include "framework/Win.h"
#else
#include <pthread.h>
#endif

namespace qav {

namespace {

using Work = std::function<void(const std::function<void()>& done)>;

// Shared by the caller and the thread: whichever lets go last frees it.
struct Job {
    Work work;
    std::mutex lock;
    std::condition_variable signal;
    bool done = false;
};

void Perform(const std::shared_ptr<Job>& job) noexcept
{
    const auto done = [&job] {
        std::lock_guard guard(job->lock);
        job->done = true;
        job->signal.notify_all();
    };
    job->work(done);
    done();
}

// The thread of the last run, which may still be freeing what it made.
std::mutex g_lock;

#ifdef _WIN32
HANDLE g_last = nullptr;

DWORD WINAPI Start(void* param)
{
    // The thread keeps the library loaded while it frees, even if the host unloads it.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Start), &self);
    {
        const std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(param));
        Perform(*job);
    }
    if (self != nullptr)
        FreeLibraryAndExitThread(self, 0);
    return 0;
}

void WaitForLast()
{
    if (g_last != nullptr) {
        WaitForSingleObject(g_last, INFINITE);
        CloseHandle(g_last);
        g_last = nullptr;
    }
}

bool Launch(std::size_t stackBytes, std::shared_ptr<Job>* job)
{
    // Reserved, not committed: the pages are taken only as the stack grows into them.
    HANDLE thread = CreateThread(nullptr, stackBytes, &Start, job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr)
        return false;
    g_last = thread;
    return true;
}
#else
bool g_running = false;
pthread_t g_last;

void* Start(void* param)
{
    const std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(param));
    Perform(*job);
    return nullptr;
}

void WaitForLast()
{
    if (g_running) {
        pthread_join(g_last, nullptr);
        g_running = false;
    }
}

bool Launch(std::size_t stackBytes, std::shared_ptr<Job>* job)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(&g_last, &attributes, &Start, job) == 0;
    pthread_attr_destroy(&attributes);
    g_running = started;
    return started;
}
#endif

} // namespace

bool RunOnOwnStack(std::size_t stackBytes, const Work& work)
{
    std::lock_guard guard(g_lock);
    WaitForLast();
    auto job = std::make_shared<Job>();
    job->work = work;
    auto owned = std::make_unique<std::shared_ptr<Job>>(job);
    if (!Launch(stackBytes, owned.get()))
        return false;
    owned.release();
    std::unique_lock wait(job->lock);
    job->signal.wait(wait, [&job] { return job->done; });
    return true;
}

} // namespace qav
