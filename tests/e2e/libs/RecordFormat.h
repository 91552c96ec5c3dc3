// The text forms shared by the test libraries and the tests that read them:
// escaped texts in the call record and in the script, and generated line texts.
#pragma once

#include <string>
#include <string_view>

namespace qavrec {

// Printable ASCII stays, a backslash doubles, CR and LF become \r and \n, every
// other UTF-16 unit becomes \uXXXX: one record line per call, ASCII only.
std::string Escape(std::wstring_view text);

// The inverse of Escape; an unknown or cut escape is kept as written.
std::wstring Unescape(std::string_view text);

// "<prefix>1" CR LF "<prefix>2" ... "<prefix>count", no line end after the last.
std::wstring NumberedLines(std::wstring_view prefix, int count);

} // namespace qavrec
