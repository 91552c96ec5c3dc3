// Runs each classic program by our core and, in the same run, the equivalent Lua
// program by lua5.4; prints both CPU times (best of a few runs) and their ratio.
#include "interpreter/core/Interpreter.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kRepeats = 5;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The Lua program prints its result and the CPU seconds its work took.
bool RunLua(const std::string& path, std::string& result, double& seconds)
{
    const std::string command = "lua5.4 '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || status != 0)
        return false;
    std::istringstream fields(line);
    fields >> result >> seconds;
    return !fields.fail();
}

} // namespace

int main()
{
    const char* programs[] = {"fib", "loop", "string", "fields"};
    const std::string dir = QAV_BENCH_DIR;
    std::printf("%-8s %14s %12s %12s %8s\n", "program", "result", "ours (s)", "lua (s)", "ratio");
    int failures = 0;
    for (const char* name : programs) {
        const std::string source = ReadFile(dir + "/" + name + ".qav");
        double ours = 1e9;
        std::string ourResult;
        for (int i = 0; i < kRepeats; ++i) {
            const std::clock_t start = std::clock();
            const qav::RunReport report = qav::Run(std::string_view(source));
            const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
            ourResult = report.result;
            if (seconds < ours)
                ours = seconds;
        }
        double lua = 1e9;
        std::string luaResult;
        for (int i = 0; i < kRepeats; ++i) {
            double seconds = 0;
            if (!RunLua(dir + "/" + name + ".lua", luaResult, seconds)) {
                lua = 0;
                break;
            }
            if (seconds < lua)
                lua = seconds;
        }
        if (lua <= 0) {
            std::printf("%-8s %14s %12.4f %12s %8s\n", name, ourResult.c_str(), ours, "n/a", "n/a");
            ++failures;
            continue;
        }
        std::printf("%-8s %14s %12.4f %12.4f %8.2f%s\n", name, ourResult.c_str(), ours, lua, ours / lua,
                    ourResult == luaResult ? "" : "  (results differ from Lua's)");
    }
    return failures == 0 ? 0 : 1;
}
