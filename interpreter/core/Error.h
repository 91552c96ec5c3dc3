// A failure of a program: its message and where in the text it happened.
#pragma once

#include <string>

namespace qav {

struct ScriptError {
    std::string message;
    int line = 0;
    int column = 0;
};

} // namespace qav
