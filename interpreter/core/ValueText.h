// Texts of values: as printed, as shown in the stacks (strings quoted, objects and
// arrays by number), and the names of their kinds for messages.
#pragma once

#include "interpreter/core/FieldNames.h"
#include "interpreter/core/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace qav {

std::string FormatNumber(double d);

// The number that unsigned decimal text names, such as "12", "0.5" or "2e-3", rounded
// to the nearest; one too small to hold reads as 0. False for a text that is not all
// such a number, and for one too large to hold.
bool ReadDecimal(std::string_view text, double& out);

// As print shows it: strings as they are, objects and arrays with their contents.
std::string Display(const Value& v, const FieldNames& names);

// As a stack shows it inside a line: strings quoted and cut, objects and arrays as "#n".
std::string Repr(const Value& v);

// "a number", "an array" ...
const char* KindName(const Value& v);

// "number", "array" ...: what the built-in type() gives.
const char* TypeWord(const Value& v);

// Cuts a text to at most max bytes without splitting a UTF-8 sequence.
std::string_view Cut(std::string_view s, std::size_t max);

// A piece of program text or a name for a message: whole when short, else its start
// and its length, so that a huge literal or key does not fill the result and the log.
std::string Excerpt(std::string_view text);

// A field name as the panes show it: as written when it reads as a name, else quoted.
std::string FieldText(std::string_view name);

} // namespace qav
