// Names characters for messages so that the reader can tell which one is meant, even
// when it is invisible or looks like another: "'#'", "U+00A0 no-break space",
// "'“' (U+201C left double quotation mark)".
#pragma once

#include <string>
#include <string_view>

namespace qav {

// Describes the character that starts at pos in valid UTF-8 text.
std::string DescribeChar(std::string_view text, std::size_t pos);

} // namespace qav
