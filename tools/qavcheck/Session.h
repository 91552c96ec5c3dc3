// The session's process: qavcheck run again by itself with --session, so that
// a library that ends the process (abort, exit, ExitProcess...) ends this one
// and not the qavcheck its user started. It makes every call into the library
// and tells that qavcheck all it finds, through the pipe it inherited.
#pragma once

#include "tools/qavcheck/Arguments.h"

// Returns the exit code; ends the process itself after a hung call, whose
// thread may hold the loader's lock or never return.
int RunSession(const Arguments& arguments);
