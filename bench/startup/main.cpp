// Starts QAVDemo.exe repeatedly in a fresh folder and prints the time from
// process start until its window is shown with the binding's line in Log.
#include "tests/e2e/driver/AppDriver.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

using namespace e2e;
using Ms = std::chrono::duration<double, std::milli>;

namespace {

constexpr int kRepetitions = 9;

double StartOnce(const std::filesystem::path& library, int round)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("qavbench-startup-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(round));
    std::filesystem::create_directories(folder);
    double elapsed = 0;
    {
        LaunchOptions options;
        options.library = library;
        auto app = AppProcess::Start(folder, options);
        while (app.Lines(ControlId::Log).size() != 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        elapsed = Ms(std::chrono::steady_clock::now() - app.StartedAt()).count();
        std::printf("    %-7.1f %ls\n", elapsed, app.Text(ControlId::Log).c_str());
        app.Close();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return elapsed;
}

void Measure(const char* label, const std::filesystem::path& library)
{
    if (!std::filesystem::exists(library)) {
        std::printf("%s: %ls not built, skipped\n", label, library.c_str());
        return;
    }
    std::printf("%s (%d starts, ms):\n", label, kRepetitions);
    std::vector<double> times;
    for (int i = 0; i < kRepetitions; ++i)
        times.push_back(StartOnce(library, i));
    std::sort(times.begin(), times.end());
    std::printf("  min %.1f ms, median %.1f ms, max %.1f ms\n", times.front(), times[times.size() / 2], times.back());
}

} // namespace

int main()
{
    try {
        Measure("test library qavtest_bound", LibraryPath(L"qavtest_bound"));
        Measure("interpreter QAV.dll", BinDir() / L"QAV.dll");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_startup: %s\n", e.what());
        return 1;
    }
    return 0;
}
