// Times a Run whose interpreter returns a 200,000-line log and four 20,000-line
// stacks (BM_CLICK round trip, visible window), and in the same window the
// floor: the final texts of Result, Log and Stacks, pre-joined with CR LF,
// given to the same controls with one WM_SETTEXT each. Then a Run with
// one-line answers, where the six calls weigh most; and the time from a
// press of Stop, for an Execute that spins, to a window that answers again with
// the Run's outcome shown: stopped by force, and by the library itself through
// StopQAVInterface.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/libs/RecordFormat.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

using namespace e2e;
using Ms = std::chrono::duration<double, std::milli>;

namespace {

constexpr int kLogLines = 200000;
constexpr int kStackLines = 20000;
constexpr int kRepetitions = 3;
constexpr std::chrono::milliseconds kPatience = std::chrono::minutes(10);

struct Section {
    const char* operation;
    const wchar_t* header;
    const wchar_t* prefix;
};

constexpr Section kStacks[] = {
    {"GetVarStack", L"Var stack:", L"var line "},
    {"GetParamStack", L"Param stack:", L"param line "},
    {"GetObjectStack", L"Object stack:", L"object line "},
    {"GetFunctionStack", L"Function stack:", L"function line "},
};

template <typename Action>
double Time(Action action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return Ms(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The floor is measured inside QAVDemo's process by the test library
// ("Execute floor", see TestLibrary.cpp): under Wine a WM_SETTEXT of a few MB
// sent from another process does not come back.
double FloorInsideTheProcess(const std::filesystem::path& folder)
{
    const auto calls = RecordedCalls(folder);
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->rfind("Floor us=", 0) == 0)
            return std::stod(it->substr(9)) / 1000.0;
    throw std::runtime_error("the test library recorded no floor");
}

int Bench(const std::filesystem::path& folder)
{
    std::vector<std::string> answers = {"GetLog lines " + std::to_string(kLogLines) + " " + qavrec::Escape(L"log line ")};
    const std::wstring result = L"big run done";
    const std::wstring log = qavrec::NumberedLines(L"log line ", kLogLines);
    std::wstring stacks;
    for (const auto& s : kStacks) {
        answers.push_back(std::string(s.operation) + " lines " + std::to_string(kStackLines) + " " + qavrec::Escape(s.prefix));
        stacks += (stacks.empty() ? L"" : L"\r\n") + std::wstring(s.header) + L"\r\n" + qavrec::NumberedLines(s.prefix, kStackLines);
    }
    auto runScript = answers;
    runScript.push_back("Execute text " + qavrec::Escape(result));
    auto floorScript = answers;
    floorScript.push_back("Execute floor " + qavrec::Escape(result));

    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    options.showCommand = SW_SHOWNORMAL;
    auto app = AppProcess::Start(folder, options);
    app.SetText(ControlId::Text, L"big");

    std::vector<double> runs;
    std::vector<double> floors;
    for (int i = 0; i < kRepetitions; ++i) {
        WriteScript(folder, runScript);
        app.SetText(ControlId::Log, L"before");
        app.SetText(ControlId::Stacks, L"before");
        runs.push_back(Time([&] { app.PressRun(kPatience); }));
        if (app.Text(ControlId::Result) != result || app.Text(ControlId::Log) != log || app.Text(ControlId::Stacks) != stacks) {
            std::fprintf(stderr, "bench_bigrun: the panes do not hold what the interpreter returned\n");
            return 1;
        }
        WriteScript(folder, floorScript);
        app.SetText(ControlId::Log, L"before");
        app.SetText(ControlId::Stacks, L"before");
        app.PressRun(kPatience);
        floors.push_back(FloorInsideTheProcess(folder));
        std::printf("  round %d: Run %.0f ms, floor %.0f ms\n", i + 1, runs.back(), floors.back());
        std::fflush(stdout);
    }
    const double run = Median(runs);
    const double floor = Median(floors);
    std::printf("Run (BM_CLICK round trip), %d-line log, 4 x %d-line stacks: median %.0f ms\n", kLogLines, kStackLines, run);
    std::printf("Floor (one WM_SETTEXT each for Result, Log, Stacks, %zu + %zu characters): median %.0f ms\n",
                log.size(), stacks.size(), floor);
    std::printf("Ratio Run / floor: %.2f\n", run / floor);
    app.Close(std::chrono::minutes(2));
    return 0;
}

// A Run with one-line answers, where the calls and not the panes take the time:
// median of many BM_CLICK round trips, in microseconds.
double SmallRun(const std::filesystem::path& folder)
{
    WriteScript(folder, {"Execute text R", "GetLog text l", "GetVarStack text v", "GetParamStack text p",
                         "GetObjectStack text o", "GetFunctionStack text f"});
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    options.showCommand = SW_SHOWNORMAL;
    auto app = AppProcess::Start(folder, options);
    std::vector<double> times;
    for (int i = 0; i < 300; ++i)
        times.push_back(Time([&] { app.PressRun(); }) * 1000);
    app.Close(std::chrono::minutes(1));
    return Median(times);
}

// From the press of Stop to a window that answers with the stop shown, median of five.
double StopToWorkingWindow(const std::filesystem::path& folder, const wchar_t* library)
{
    WriteScript(folder, {"Execute spin"});
    LaunchOptions options;
    options.library = LibraryPath(library);
    options.showCommand = SW_SHOWNORMAL;
    auto app = AppProcess::Start(folder, options);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        app.SetText(ControlId::Log, L"before");
        app.PostRunClick();
        const auto stop = app.WaitForStopWindow();
        if (!stop)
            throw std::runtime_error("no stop window");
        const auto pressed = std::chrono::steady_clock::now();
        app.Click(stop->stop);
        // A window busy in the call does not answer; once it does, the Run has ended.
        while (app.Text(ControlId::Log) == L"before" && app.Text(ControlId::Result) == L"")
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        times.push_back(Ms(std::chrono::steady_clock::now() - pressed).count());
        app.SetText(ControlId::Result, L"");
    }
    app.Close(std::chrono::minutes(1));
    return Median(times);
}

int BenchStop(const std::filesystem::path& folder)
{
    std::printf("Run with one-line answers (six calls): median %.0f us\n", SmallRun(folder));
    const double forced = StopToWorkingWindow(folder, L"qavtest_bound");
    std::printf("Stop to a working window, spinning Execute stopped by force: median %.0f ms\n", forced);
    const double itself = StopToWorkingWindow(folder, L"qavtest_stoppable");
    std::printf("Stop to a working window, spinning Execute stopped by the library (StopQAVInterface): median %.0f ms\n",
                itself);
    return 0;
}

} // namespace

int main()
{
    const auto folder = std::filesystem::temp_directory_path() / ("qavbench-bigrun-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    int code = 1;
    try {
        code = Bench(folder);
        if (code == 0)
            code = BenchStop(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_bigrun: %s\n", e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return code;
}
