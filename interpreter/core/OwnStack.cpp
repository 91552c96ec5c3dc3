#include "interpreter/core/OwnStack.h"

#include <exception>

#ifdef _WIN32
#include "framework/Win.h"
#else
#include <pthread.h>
#endif

namespace qav {

namespace {

struct Job {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

void Perform(Job& job) noexcept
{
    try {
        (*job.work)();
    } catch (...) {
        job.failure = std::current_exception();
    }
}

#ifdef _WIN32
DWORD WINAPI Start(void* param)
{
    Perform(*static_cast<Job*>(param));
    return 0;
}
#else
void* Start(void* param)
{
    Perform(*static_cast<Job*>(param));
    return nullptr;
}
#endif

} // namespace

bool RunOnOwnStack(std::size_t stackBytes, const std::function<void()>& work)
{
    Job job{&work, nullptr};
#ifdef _WIN32
    // Reserved, not committed: the pages are taken only as the stack grows into them.
    HANDLE thread = CreateThread(nullptr, stackBytes, &Start, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr)
        return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(&thread, &attributes, &Start, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started)
        return false;
    pthread_join(thread, nullptr);
#endif
    if (job.failure)
        std::rethrow_exception(job.failure);
    return true;
}

} // namespace qav
