// Texts of values: as printed, as shown in the stacks (strings quoted, objects and
// arrays by number), and the names of their kinds for messages.
#pragma once

#include "interpreter/core/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace qav {

std::string FormatNumber(double d);

// As print shows it: strings as they are, objects and arrays with their contents.
std::string Display(const Value& v, const std::vector<std::string>& atoms);

// As a stack shows it inside a line: strings quoted and cut, objects and arrays as "#n".
std::string Repr(const Value& v);

// "a number", "an array" ...
const char* KindName(const Value& v);

// "number", "array" ...: what the built-in type() gives.
const char* TypeWord(const Value& v);

// Cuts a text to at most max bytes without splitting a UTF-8 sequence.
std::string_view Cut(std::string_view s, std::size_t max);

} // namespace qav
