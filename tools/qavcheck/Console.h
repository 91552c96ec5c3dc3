// The checker's output: whole lines of UTF-16 text, written to a console as
// they are and to a file or pipe as UTF-8. Unbuffered, so that every line is out
// before the process ends, however it ends.
#pragma once

#include <string_view>

enum class Stream { Out, Error };

void WriteLine(Stream stream, std::wstring_view line) noexcept;
