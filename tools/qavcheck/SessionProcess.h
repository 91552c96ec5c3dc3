// qavcheck's own side of a check: it runs the session in a process of its own
// (Session.h) and reports what that process tells it as it comes. When the
// library ends that process, qavcheck outlives it, says in which call and how
// it ended, with what it wrote to stderr, and counts it as an error: the exit
// code is then 1, never the library's own.
#pragma once

#include "tools/qavcheck/Arguments.h"

#include <string>
#include <vector>

// args: the command line as given, passed on to the session's process.
// Returns qavcheck's exit code.
int CheckInSessionProcess(const Arguments& arguments, const std::vector<std::wstring>& args);
