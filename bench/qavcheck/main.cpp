// Runs qavcheck.exe on the sample QAV.dll (and on the template) repeatedly and
// prints how long a whole check takes, from process start to exit, and the
// part of it spent in the library's calls as qavcheck reports it.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/qavcheck/CheckerRun.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <vector>

namespace {

constexpr int kRepetitions = 15;

// The summary's "... calls in 1.234 ms", or -1 when it is not there.
double CallTime(const CheckerRun& run)
{
    if (run.out.empty())
        return -1;
    const std::wstring& summary = run.out.back();
    const auto at = summary.rfind(L" in ");
    return at == std::wstring::npos ? -1 : std::wcstod(summary.c_str() + at + 4, nullptr);
}

void Measure(const wchar_t* library)
{
    const auto path = e2e::BinDir() / library;
    std::vector<double> whole, calls;
    for (int i = 0; i < kRepetitions; ++i) {
        const CheckerRun run = RunChecker({path.wstring()});
        if (run.exitCode != 0) {
            std::printf("%ls: qavcheck exit code %lu, not clean:\n%s", library, run.exitCode, run.Transcript().c_str());
            return;
        }
        whole.push_back(static_cast<double>(run.took.count()));
        calls.push_back(CallTime(run));
    }
    std::sort(whole.begin(), whole.end());
    std::sort(calls.begin(), calls.end());
    std::printf("qavcheck %ls (%d runs): whole run min %.0f ms, median %.0f ms, max %.0f ms; "
                "in the library's calls (load and unload included) median %.2f ms\n",
                library, kRepetitions, whole.front(), whole[whole.size() / 2], whole.back(), calls[calls.size() / 2]);
}

} // namespace

int main()
{
    const auto folder = std::filesystem::temp_directory_path() / ("qavbench-qavcheck-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder); // RunChecker keeps qavcheck's output here
    try {
        Measure(L"QAV.dll");
        Measure(L"QAVMinimal.dll");
    } catch (const std::exception& e) {
        std::printf("bench_qavcheck: %s\n", e.what());
    }
    std::filesystem::current_path(folder.parent_path());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
