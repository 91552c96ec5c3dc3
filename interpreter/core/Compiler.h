// From program text to a program ready to run; throws ScriptError.
#pragma once

#include "interpreter/core/Parser.h"
#include "interpreter/core/Resolver.h"

namespace qav {

inline void Compile(std::string_view source, Program& program)
{
    Parse(source, program);
    Resolve(program);
}

} // namespace qav
