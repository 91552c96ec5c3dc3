// Builds the program tree from text, with names as written; throws ScriptError.
#pragma once

#include "interpreter/core/Ast.h"

#include <cstddef>
#include <string_view>

namespace qav {

// Deeper text would exhaust the parser's and the evaluator's machine stack; no
// program written by hand comes near it.
inline constexpr int kMaxNesting = 150;
// The tree of a 4 MB program stays well within the memory a run may take.
inline constexpr std::size_t kMaxNodes = 400'000;

// Parses valid UTF-8 program text into program's statements.
void Parse(std::string_view source, Program& program);

} // namespace qav
