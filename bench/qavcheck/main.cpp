// Runs qavcheck.exe on the sample QAV.dll (and on the template) repeatedly and
// prints how long a whole check takes, from process start to exit, and the
// part of it spent in the library's calls as qavcheck reports it. Each check is
// run two ways, in turns, so that a spell of load on the machine falls on both:
// as its users run it, where qavcheck runs the session in a process of its own,
// and the session alone in one process (qavcheck --session, reporting into the
// NUL device), as qavcheck ran before it had a second process.
#include "framework/win32/UniqueHandle.h"
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

struct Times {
    std::vector<double> whole;
    std::vector<double> calls;

    double Median(std::vector<double> values) const
    {
        std::sort(values.begin(), values.end());
        return values.empty() ? -1 : values[values.size() / 2];
    }
};

void Measure(const wchar_t* library)
{
    const auto path = e2e::BinDir() / library;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const UniqueFile nowhere(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    const std::wstring handle = std::to_wstring(reinterpret_cast<uintptr_t>(nowhere.Get()));
    Times two, one;
    for (int i = 0; i < kRepetitions; ++i) {
        const CheckerRun whole = RunChecker({path.wstring()});
        if (whole.exitCode != 0) {
            std::printf("%ls: qavcheck exit code %lu, not clean:\n%s", library, whole.exitCode,
                        whole.Transcript().c_str());
            return;
        }
        two.whole.push_back(static_cast<double>(whole.took.count()));
        two.calls.push_back(CallTime(whole));
        const CheckerRun alone = RunChecker({L"--session", handle, path.wstring()});
        if (alone.exitCode != 0) {
            std::printf("%ls: qavcheck --session exit code %lu\n", library, alone.exitCode);
            return;
        }
        one.whole.push_back(static_cast<double>(alone.took.count()));
    }
    const double twoWhole = two.Median(two.whole), oneWhole = one.Median(one.whole);
    std::printf("qavcheck %ls (%d runs each, in turns): whole check median %.0f ms (min %.0f, max %.0f) with the "
                "session in a process of its own, %.0f ms (min %.0f, max %.0f) for the session alone in one process: "
                "%.2f times, %.0f ms more; in the library's calls (load and unload included) median %.2f ms\n",
                library, kRepetitions, twoWhole, *std::min_element(two.whole.begin(), two.whole.end()),
                *std::max_element(two.whole.begin(), two.whole.end()), oneWhole,
                *std::min_element(one.whole.begin(), one.whole.end()),
                *std::max_element(one.whole.begin(), one.whole.end()), twoWhole / oneWhole, twoWhole - oneWhole,
                two.Median(two.calls));
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
