// libFuzzer target: any bytes run as a program, with small limits so each input is quick.
#include "interpreter/core/Interpreter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qav::Limits limits;
    limits.steps = 200'000;
    limits.heapBytes = 32 * 1024 * 1024;
    limits.logBytes = 64 * 1024;
    const qav::RunReport report = qav::Run(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    // A failed run always says so, in the result and as the log's last line.
    if (!report.ok && (report.result.rfind("Run failed", 0) != 0 || report.log.empty() ||
                       report.log.back().rfind("Error", 0) != 0))
        __builtin_trap();
    return 0;
}
