// Runs each classic program by our core and by lua5.4, every run in a fresh process as
// Lua's are, and prints both CPU times (best of a few runs) and their ratio; both sides
// must give the known answer. Then runs programs that never end, each in a fresh
// process, and prints how long each took to stop and at which limit.
#include "interpreter/core/Interpreter.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kRepeats = 5;

struct Program {
    const char* name;
    const char* answer;
};

constexpr Program kPrograms[] = {
    {"fib", "196418"},
    {"loop", "49999995000000"},
    {"fields", "500000500000"},
    {"calls", "315"},
    {"sieve", "78498"},
    {"list", "24999500000"},
    {"build", "2288890:1370362"},
    {"strings", "3432707"},
    {"words", "8:25020:25030"},
};

std::string Repeated(const char* part, int times, const char* separator)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += (i > 0 ? separator : "") + std::string(part) + std::to_string(i);
    return s;
}

// Programs that never end: the mistakes the step budget was measured on, then work the
// steps may misjudge, which the clock stops.
std::string Runaway(const std::string& name)
{
    if (name == "counter")
        return "var i = 0; while (true) { i = i + 1; }";
    if (name == "object3")
        return "var i = 0; while (i < 10) { var o = { a: i, b: i, c: i }; }";
    if (name == "string4")
        return "var i = 0; while (i < 10) { var s = \"a\" + i + \"b\" + i; }";
    if (name == "object16")
        return "while (true) { var o = { " + Repeated("f", 16, ": 1, ") + ": 1 }; }";
    if (name == "args10k")
        return "function f(" + Repeated("a", 10000, ", ") + ") { }\nwhile (true) { f(" +
               Repeated("", 10000, ", ") + "); }";
    if (name == "cycles")
        return "var i = 0; while (true) { var a = { n: i }; a.me = a; i = i + 1; }";
    if (name == "cycles-big")
        return "var a = []; var i = 0; while (i < 100000) { push(a, { v: i }); i = i + 1; }\n"
               "while (true) { var x = { p: a }; x.q = x; }";
    if (name == "new-names")
        return "var o = {}; var i = 0; while (true) { o[\"k\" + i] = i; i = i + 1; }";
    if (name == "near-misses")
        return "var s = \"x\"; var i = 0; while (i < 20) { s = s + s; i = i + 1; }\n"
               "while (true) { var at = find(s, \"xy\"); }";
    if (name == "fill-objects")
        return "var a = []; while (true) { push(a, {}); }";
    if (name == "fill-string")
        return "var s = \"\"; var i = 0; while (true) { s = s + \"item \" + i + \";\"; i = i + 1; }";
    if (name == "print")
        return "var i = 0; while (true) { print \"line \" + i; i = i + 1; }";
    return "";
}

constexpr const char* kRunaways[] = {"counter", "object3", "string4", "object16", "args10k",
                                     "cycles", "cycles-big", "new-names", "near-misses", "fill-objects",
                                     "fill-string", "print"};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Reads "result seconds" from the first line a command prints.
bool RunCommand(const std::string& command, std::string& result, double& seconds)
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
    return !fields.fail();
}

// Child: one program by our core, timed as Lua times itself (CPU time of the work).
int RunOurs(const char* path)
{
    const std::string source = ReadFile(path);
    const std::clock_t start = std::clock();
    const qav::RunReport report = qav::Run(std::string_view(source));
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("%s %.6f\n", report.ok ? report.result.c_str() : "failed", seconds);
    return 0;
}

// Child: one runaway program, timed by the clock on the wall as the workbench waits.
int RunRunaway(const char* name)
{
    const std::string source = Runaway(name);
    const auto start = std::chrono::steady_clock::now();
    const qav::RunReport report = qav::Run(std::string_view(source));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::size_t colon = report.result.find(": ");
    std::string limit = colon == std::string::npos ? report.result : report.result.substr(colon + 2);
    limit = limit.substr(0, limit.find(':'));
    for (char& c : limit)
        if (c == ' ')
            c = '_';
    std::printf("%s %.6f\n", limit.c_str(), took.count());
    return 0;
}

double Best(const std::string& command, std::string& result)
{
    double best = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        double seconds = 0;
        if (!RunCommand(command, result, seconds))
            return 0;
        if (seconds < best)
            best = seconds;
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--run") == 0)
        return RunOurs(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--runaway") == 0)
        return RunRunaway(argv[2]);

    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string dir = QAV_BENCH_DIR;
    std::printf("%-8s %16s %10s %10s %7s\n", "program", "result", "ours (s)", "lua (s)", "ratio");
    int failures = 0;
    for (const Program& p : kPrograms) {
        std::string ours;
        std::string lua;
        const double oursSeconds = Best("'" + self + "' --run '" + dir + "/" + p.name + ".qav'", ours);
        const double luaSeconds = Best("lua5.4 '" + dir + "/" + p.name + ".lua'", lua);
        const bool right = ours == p.answer && lua == p.answer;
        if (!right || oursSeconds <= 0 || luaSeconds <= 0) {
            std::printf("%-8s %16s %10.4f %10.4f %7s  (ours gave %s, lua gave %s, the answer is %s)\n", p.name,
                        ours.c_str(), oursSeconds, luaSeconds, "n/a", ours.c_str(), lua.c_str(), p.answer);
            ++failures;
            continue;
        }
        std::printf("%-8s %16s %10.4f %10.4f %7.2f\n", p.name, ours.c_str(), oursSeconds, luaSeconds,
                    oursSeconds / luaSeconds);
    }

    std::printf("\n%-14s %10s  %s\n", "runaway", "stopped (s)", "at");
    double longest = 0;
    std::string slowest;
    for (const char* name : kRunaways) {
        std::string limit;
        double seconds = 0;
        if (!RunCommand("'" + self + "' --runaway " + name, limit, seconds)) {
            std::printf("%-14s %10s  %s\n", name, "n/a", "(did not report)");
            ++failures;
            continue;
        }
        for (char& c : limit)
            if (c == '_')
                c = ' ';
        std::printf("%-14s %10.3f  %s\n", name, seconds, limit.c_str());
        if (seconds > longest) {
            longest = seconds;
            slowest = name;
        }
    }
    std::printf("longest: %.3f s (%s)\n", longest, slowest.c_str());
    return failures == 0 ? 0 : 1;
}
