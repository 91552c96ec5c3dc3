// libFuzzer target: any bytes run as a program, with small limits so each input is quick.
// Each input runs twice, with the in-place string append on and off, and both runs must
// report the same; an input whose time per step is far above the usual is reported too,
// since the step budget is meant to track time.
#include "interpreter/core/Interpreter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Times the median time per step. Runs shorter than the floor are not judged: under the
// sanitizers fresh memory alone can make a run of 200,000 steps take a tenth of a second.
constexpr double kSlowFactor = 25;
constexpr double kSlowFloorSeconds = 0.25;

bool HitALimit(const qav::RunReport& r)
{
    return r.result.find("limit reached") != std::string::npos || r.result.find("out of memory") != std::string::npos;
}

bool SameReport(const qav::RunReport& a, const qav::RunReport& b)
{
    return a.ok == b.ok && a.result == b.result && a.log == b.log && a.variables == b.variables &&
           a.parameters == b.parameters && a.objects == b.objects && a.functions == b.functions;
}

// Seconds per step of recent runs long enough to measure, for their median.
std::vector<double> g_perStep;

double Median()
{
    std::vector<double> sorted = g_perStep;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    return sorted[sorted.size() / 2];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qav::Limits limits;
    limits.steps = 200'000;
    limits.heapBytes = 32 * 1024 * 1024;
    limits.logBytes = 64 * 1024;
    const std::clock_t start = std::clock();
    const qav::RunReport report = qav::Run(text, limits);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;

    // A failed run always says so, in the result and as the log's last line.
    if (!report.ok && (report.result.rfind("Run failed", 0) != 0 || report.log.empty() ||
                       report.log.back().rfind("Error", 0) != 0))
        __builtin_trap();

    limits.appendInPlace = false;
    const qav::RunReport copied = qav::Run(text, limits);
    if (!HitALimit(report) && !HitALimit(copied) && !SameReport(report, copied)) {
        std::fprintf(stderr, "the in-place append changed the report:\n%s\n---\n%s\n", report.result.c_str(),
                     copied.result.c_str());
        __builtin_trap();
    }

    if (report.steps >= 1000) {
        const double perStep = seconds / static_cast<double>(report.steps);
        if (g_perStep.size() >= 100 && seconds > kSlowFloorSeconds && perStep > kSlowFactor * Median()) {
            std::fprintf(stderr, "slow steps: %.0f ns a step over %llu steps, the median is %.1f ns\n",
                         perStep * 1e9, static_cast<unsigned long long>(report.steps), Median() * 1e9);
            __builtin_trap();
        }
        if (g_perStep.size() < 1000)
            g_perStep.push_back(perStep);
        else
            g_perStep[static_cast<std::size_t>(report.steps) % g_perStep.size()] = perStep;
    }
    return 0;
}
