// How a failed run reads: the one place that writes "Run failed ..." and its log line.
#pragma once

#include "interpreter/core/Error.h"
#include "interpreter/core/Limits.h"

namespace qav {

// Marks the report failed, sets its result and adds the error as the log's last line.
void ReportFailure(RunReport& report, const ScriptError& error);

} // namespace qav
