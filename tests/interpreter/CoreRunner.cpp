#include "tests/interpreter/Outcome.h"

#include "interpreter/core/Interpreter.h"

namespace {

std::string Join(const std::vector<std::string>& lines)
{
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += lines[i];
    }
    return out;
}

} // namespace

Outcome RunProgram(std::string_view program)
{
    // Without the clock, what the cases check does not depend on the machine's speed.
    qav::Limits untimed;
    untimed.time = std::chrono::hours(24);
    const qav::RunReport r = qav::Run(program, untimed);
    return Outcome{r.result, Join(r.log), Join(r.variables), Join(r.parameters), Join(r.objects),
                   Join(r.functions)};
}
