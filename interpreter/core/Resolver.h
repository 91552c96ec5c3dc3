// Turns a parsed program's names into slots, its calls into function indexes and its
// field names into atoms, and weighs each statement in steps; throws ScriptError.
#pragma once

#include "interpreter/core/Ast.h"

namespace qav {

void Resolve(Program& program);

} // namespace qav
