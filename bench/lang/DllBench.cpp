// QAV.dll as the workbench calls it: each benchmark program through Execute, timed by
// the clock on the wall, and the longest of them; then each program that never ends,
// stopped through StopQAVInterface from a second thread a second after it started, with
// the time from the request to Execute's return.
#include "bench/lang/Runaways.h"
#include "contract/QAVInterface.h"
#include "framework/Win.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kPrograms[] = {"fib",   "loop", "fields", "calls",     "sieve",  "list", "build",
                                     "strings", "words", "sort", "nbody", "recursion", "objects"};

std::u16string Widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

std::string Narrow(const QAV_CHAR* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

double Now()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Stopper {
    QAV_STOP_INTERFACE_FN stop;
    QAV_INTERFACE* iface;
    double asked;
};

DWORD WINAPI StopLater(void* param)
{
    auto* stopper = static_cast<Stopper*>(param);
    Sleep(1000);
    stopper->asked = Now();
    stopper->stop(&stopper->iface);
    return 0;
}

} // namespace

int main()
{
    HMODULE library = LoadLibraryW(QAV_LIBRARY_NAME);
    if (library == nullptr) {
        std::printf("cannot load QAV.dll\n");
        return 1;
    }
    const auto get = reinterpret_cast<QAV_GET_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(library, QAV_GET_INTERFACE_NAME)));
    const auto free = reinterpret_cast<QAV_FREE_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(library, QAV_FREE_INTERFACE_NAME)));
    const auto stop = reinterpret_cast<QAV_STOP_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(library, QAV_STOP_INTERFACE_NAME)));
    QAV_INTERFACE* iface = nullptr;
    if (get == nullptr || free == nullptr || stop == nullptr || get(&iface) == 0) {
        std::printf("QAV.dll lacks an entry point\n");
        return 1;
    }
    const auto execute = reinterpret_cast<QAV_EXECUTE_FN>(reinterpret_cast<void* const*>(iface->Table)[QAV_POS_EXECUTE]);
    const QAV_CHAR none[] = {0};
    const auto run = [&](const std::string& program) {
        const std::u16string text = Widen(program);
        return Narrow(execute(iface, reinterpret_cast<const QAV_CHAR*>(text.c_str()), none, 1));
    };

    std::printf("%-10s %24s %10s\n", "program", "result", "wall (s)");
    double longest = 0;
    std::string slowest;
    for (const char* name : kPrograms) {
        std::ifstream in(std::string(QAV_BENCH_DIR) + "/" + name + ".qav", std::ios::binary);
        std::stringstream source;
        source << in.rdbuf();
        const double start = Now();
        const std::string result = run(source.str());
        const double took = Now() - start;
        std::printf("%-10s %24s %10.3f\n", name, result.substr(0, 24).c_str(), took);
        if (took > longest) {
            longest = took;
            slowest = name;
        }
    }
    std::printf("longest: %.3f s (%s)\n", longest, slowest.c_str());

    std::printf("\n%-14s %14s  %s\n", "runaway", "stop (ms)", "result");
    double slowestStop = 0;
    for (const char* name : bench::kRunaways) {
        Stopper stopper{stop, iface, 0};
        HANDLE thread = CreateThread(nullptr, 0, &StopLater, &stopper, 0, nullptr);
        const std::string result = run(bench::Runaway(name));
        const double took = Now() - stopper.asked;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        std::printf("%-14s %14.1f  %s\n", name, took * 1000, result.substr(result.find(": ") + 2).c_str());
        slowestStop = took > slowestStop ? took : slowestStop;
    }
    std::printf("slowest stop: %.1f ms\n", slowestStop * 1000);
    free(&iface);
    FreeLibrary(library);
    return 0;
}
