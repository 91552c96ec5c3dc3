// Builds the program tree from text and resolves its names; throws ScriptError.
#pragma once

#include "interpreter/core/Ast.h"

#include <string_view>

namespace qav {

inline constexpr int kMaxNesting = 150;       // nested blocks, parentheses and operators
inline constexpr std::size_t kMaxNodes = 400'000;

// Parses valid UTF-8 program text and resolves it, ready to run.
void Compile(std::string_view source, Program& program);

} // namespace qav
