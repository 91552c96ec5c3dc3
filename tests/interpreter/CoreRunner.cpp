#include "tests/interpreter/Outcome.h"

#include "interpreter/core/Failure.h"
#include "interpreter/core/Interpreter.h"
#include "interpreter/core/Options.h"

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

Outcome RunProgram(std::string_view program, std::string_view options)
{
    qav::Limits limits;
    qav::RunReport r;
    if (const std::string error = qav::ApplyOptions(options, limits); !error.empty())
        qav::ReportFailure(r, qav::ScriptError{error, 0, 0});
    else
        r = qav::Run(program, limits);
    return Outcome{r.result, Join(r.log), Join(r.variables), Join(r.parameters), Join(r.objects),
                   Join(r.functions)};
}
