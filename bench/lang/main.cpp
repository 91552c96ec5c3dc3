// Runs each classic program by our core and by lua5.4, every run in a fresh process as
// Lua's are, and prints both CPU times (best of a few runs), their ratio and our peak
// memory; both sides must give the known answer. Then prints the time a step takes in
// programs that each lean on one kind of work. Last, runs programs that never end, each
// in a fresh process, and prints how soon a stop request ends each, and how long each
// runs to the limit that ends it where nothing stops it.
#include "bench/lang/Runaways.h"
#include "interpreter/core/Interpreter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

constexpr int kRepeats = 5;

// A program's name and its text, or the answer it must give.
struct Named {
    const char* name;
    const char* text;
};

constexpr Named kPrograms[] = {
    {"fib", "196418"},
    {"loop", "49999995000000"},
    {"fields", "500000500000"},
    {"calls", "315"},
    {"sieve", "78498"},
    {"list", "24999500000"},
    {"build", "2288890:1370362"},
    {"strings", "3432707"},
    {"words", "8:25020:25030"},
    {"sort", "99999:5:999985"},
    {"mergesort", "99999:2:999982"},
    {"search", "20000:1402"},
    {"nbody", "-169075164:-169079860"},
    {"recursion", "7:262136:4050450000"},
    {"objects", "1000000"},
};

// Programs that each lean on one kind of work, for the time a step takes in each: the
// step budget bounds time only as far as these agree.
constexpr Named kCostProbes[] = {
    {"loop", "var i = 0; while (i < 20000000) { i = i + 1; }"},
    {"arith", "var x = 0; for (var i = 0; i < 5000000; i = i + 1) { x = (x * 3 + i) % 1000003 - i / 7; }"},
    {"calls", "function f(a, b) { return a + b; } var x = 0; for (var i = 0; i < 3000000; i = i + 1) x = f(x, i);"},
    {"array rw", "var a = []; for (var i = 0; i < 1000; i = i + 1) push(a, i);\n"
                 "for (var k = 0; k < 3000; k = k + 1) for (var i = 1; i < 1000; i = i + 1) a[i] = a[i - 1] + 1;"},
    {"fields", "var p = {x: 0, y: 0}; for (var i = 0; i < 5000000; i = i + 1) { p.x = p.x + p.y; p.y = i; }"},
    {"objects", "for (var i = 0; i < 2000000; i = i + 1) { var o = {x: i, y: i, z: i}; }"},
    {"cycles", "for (var i = 0; i < 1000000; i = i + 1) { var o = {n: i}; o.me = o; }"},
    {"concat", "for (var i = 0; i < 1000000; i = i + 1) { var s = \"item \" + i + \";\"; }"},
    {"append", "var s = \"\"; for (var i = 0; i < 3000000; i = i + 1) { s = s + \"ab\"; }"},
    {"new names", "var o = {}; for (var i = 0; i < 300000; i = i + 1) { o[\"k\" + i] = i; }"},
    {"long keys", "var pad = \"x\"; while (len(pad) < 1000) pad = pad + pad;\n"
                  "for (var i = 0; i < 100000; i = i + 1) { var o = {}; o[pad + i] = i; }"},
    {"substr end", "var s = \"\"; var t = \"\xC3\xA9\"; while (len(t) < 1000000) t = t + t;\n"
                   "var n = len(t); for (var i = 0; i < 100000; i = i + 1) { s = substr(t, n - 1 - i, 1); }"},
    {"substr seq", "var t = \"\xC3\xA9" "a\"; while (len(t) < 1000000) t = t + t;\n"
                   "var n = len(t); var c = 0; for (var i = 0; i < n; i = i + 1) { if (substr(t, i, 1) == \"a\") c = c + 1; }"},
    {"find", "var t = \"x\"; while (len(t) < 1000000) t = t + t;\n"
             "for (var i = 0; i < 100; i = i + 1) { var at = find(t, \"xy\"); }"},
    {"find far", "var t = \"\xC3\xA9\"; while (len(t) < 1000000) t = t + t; t = t + \"z\";\n"
                 "for (var i = 0; i < 300; i = i + 1) { var at = find(t, \"z\"); }"},
    {"compare", "var t = \"ab\"; while (len(t) < 1000000) t = t + t; var u = t + \"\";\n"
                "for (var i = 0; i < 300; i = i + 1) { var same = t == u; }"},
    {"str/num", "for (var i = 0; i < 1000000; i = i + 1) { var n = num(str(i + 0.5)); }"},
    {"keys", "var o = {}; for (var i = 0; i < 100; i = i + 1) o[\"k\" + i] = i;\n"
             "for (var i = 0; i < 30000; i = i + 1) { var k = keys(o); }"},
    {"show", "var a = []; for (var i = 0; i < 100; i = i + 1) push(a, {v: i});\n"
             "for (var i = 0; i < 10000; i = i + 1) { var s = str(a); }"},
    {"print", "for (var i = 0; i < 1000000; i = i + 1) { print \"line \" + i; }"},
};


std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Reads "result seconds" from the first line a command prints, and the peak memory in
// kilobytes after them where there is one.
bool RunCommand(const std::string& command, std::string& result, double& seconds, long* peak = nullptr)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || status != 0)
        return false;
    std::istringstream fields(line);
    fields >> result >> seconds;
    if (fields.fail())
        return false;
    if (peak != nullptr && !(fields >> *peak))
        *peak = 0;
    return true;
}

// Child: one program by our core, timed as Lua times itself (CPU time of the work).
int RunOurs(const char* path)
{
    const std::string source = ReadFile(path);
    const std::clock_t start = std::clock();
    const qav::RunReport report = qav::Run(std::string_view(source));
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %.6f %ld\n", report.ok ? report.result.c_str() : "failed", seconds, usage.ru_maxrss);
    return 0;
}

// Child: one runaway program, timed by the clock on the wall as a host waits: to the
// limit that ends it, or, with stop, from the request a second later to the return.
// Prints what ended it ("stopped_on_request", "step_limit_reached"...) and the time;
// a run that a limit ended before the request was made has no stop time, and gives 0.
int RunRunaway(const char* name, bool stop)
{
    const std::string source = bench::Runaway(name);
    std::atomic<bool> flag{false};
    std::atomic<bool> ended{false};
    qav::Limits limits;
    limits.stop = &flag;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point asked{};
    std::thread stopper;
    if (stop) {
        stopper = std::thread([&] {
            for (int i = 0; i < 100 && !ended.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (ended.load())
                return;
            asked = std::chrono::steady_clock::now();
            flag.store(true);
        });
    }
    const qav::RunReport report = qav::Run(std::string_view(source), limits);
    const auto end = std::chrono::steady_clock::now();
    ended.store(true);
    if (stopper.joinable())
        stopper.join();
    const std::string ending = bench::Ending(report.result);
    const std::chrono::duration<double> took = end - (stop ? asked : start);
    std::printf("%s %.6f\n", ending.c_str(), stop && ending != bench::kStopped ? 0.0 : took.count());
    return 0;
}

// The time a step takes in each probe, in nanoseconds, and the spread from fastest to slowest.
void PrintStepCosts()
{
    std::printf("\n%-12s %14s %10s %8s\n", "step cost", "steps", "time (s)", "ns/step");
    double fastest = 1e9;
    double slowest = 0;
    for (const Named& probe : kCostProbes) {
        double best = 1e9;
        std::uint64_t steps = 0;
        for (int i = 0; i < 3; ++i) {
            const std::clock_t start = std::clock();
            const qav::RunReport report = qav::Run(std::string_view(probe.text));
            const double took = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
            if (!report.ok)
                std::printf("%-12s failed: %s\n", probe.name, report.result.c_str());
            steps = report.steps;
            best = std::min(best, took);
        }
        const double ns = best * 1e9 / static_cast<double>(steps);
        fastest = std::min(fastest, ns);
        slowest = std::max(slowest, ns);
        std::printf("%-12s %14llu %10.4f %8.2f\n", probe.name, static_cast<unsigned long long>(steps), best, ns);
    }
    std::printf("slowest step / fastest: %.2f\n", slowest / fastest);
}

// Best of kRepeats for ours and for Lua, run in turns, so that a spell of load on a
// shared machine falls on both sides rather than on one. Zero when a run failed.
void BestOfBoth(const std::string& oursCommand, const std::string& luaCommand, std::string& ours,
                std::string& lua, long& peak, double& oursBest, double& luaBest)
{
    oursBest = 1e9;
    luaBest = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        double seconds = 0;
        if (!RunCommand(oursCommand, ours, seconds, &peak)) {
            oursBest = 0;
            return;
        }
        oursBest = std::min(oursBest, seconds);
        if (!RunCommand(luaCommand, lua, seconds, nullptr)) {
            luaBest = 0;
            return;
        }
        luaBest = std::min(luaBest, seconds);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--run") == 0)
        return RunOurs(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--runaway") == 0)
        return RunRunaway(argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "--stop") == 0)
        return RunRunaway(argv[2], true);
    if (argc == 2 && std::strcmp(argv[1], "--costs") == 0) {
        PrintStepCosts();
        return 0;
    }

    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string dir = QAV_BENCH_DIR;
    std::printf("%-10s %22s %10s %10s %7s %9s\n", "program", "result", "ours (s)", "lua (s)", "ratio", "ours MB");
    int failures = 0;
    for (const Named& p : kPrograms) {
        std::string ours;
        std::string lua;
        long peak = 0;
        double oursSeconds = 0;
        double luaSeconds = 0;
        BestOfBoth("'" + self + "' --run '" + dir + "/" + p.name + ".qav'", "lua5.4 '" + dir + "/" + p.name + ".lua'",
                   ours, lua, peak, oursSeconds, luaSeconds);
        const bool right = ours == p.text && lua == p.text;
        if (!right || oursSeconds <= 0 || luaSeconds <= 0) {
            std::printf("%-10s %22s %10.4f %10.4f %7s  (ours gave %s, lua gave %s, the answer is %s)\n", p.name,
                        ours.c_str(), oursSeconds, luaSeconds, "n/a", ours.c_str(), lua.c_str(), p.text);
            ++failures;
            continue;
        }
        std::printf("%-10s %22s %10.4f %10.4f %7.2f %9.1f\n", p.name, ours.c_str(), oursSeconds, luaSeconds,
                    oursSeconds / luaSeconds, static_cast<double>(peak) / 1024);
    }

    PrintStepCosts();

    std::printf("\n%-14s %12s %12s  %s\n", "runaway", "stop (ms)", "to limit (s)", "ended by");
    double slowestStop = 0;
    double longest = 0;
    for (const char* name : bench::kRunaways) {
        std::string stopped;
        std::string limit;
        double stopSeconds = 0;
        double seconds = 0;
        if (!RunCommand("'" + self + "' --stop " + name, stopped, stopSeconds) ||
            !RunCommand("'" + self + "' --runaway " + name, limit, seconds)) {
            std::printf("%-14s %12s %12s  %s\n", name, "n/a", "n/a", "(did not report)");
            ++failures;
            continue;
        }
        const std::string stop = bench::StopFigure(stopped, stopSeconds);
        std::printf("%-14s %12s %12.3f  %s%s\n", name, stop.c_str(), seconds, bench::Words(limit).c_str(),
                    bench::StopNote(stopped).c_str());
        if (stopped == bench::kStopped)
            slowestStop = std::max(slowestStop, stopSeconds);
        longest = std::max(longest, seconds);
    }
    std::printf("slowest stop: %.1f ms; longest run to a limit: %.3f s\n", slowestStop * 1000, longest);
    return failures == 0 ? 0 : 1;
}
