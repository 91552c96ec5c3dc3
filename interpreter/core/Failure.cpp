#include "interpreter/core/Failure.h"

namespace qav {

void ReportFailure(RunReport& report, const ScriptError& error)
{
    const std::string where = error.line > 0 ? " at line " + std::to_string(error.line) + ", column " +
                                                   std::to_string(error.column)
                                             : std::string();
    report.ok = false;
    report.result = "Run failed" + where + ": " + error.message;
    report.log.push_back("Error" + where + ": " + error.message);
}

} // namespace qav
