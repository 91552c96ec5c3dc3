// A whole file's bytes, read at once.
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>
#include <string>

// Opens the file for reading (others may read it meanwhile) and reads it whole.
// what names the file in the errors, all of the Exception family: "cannot open
// <what>: <system text> (error N)", "cannot read <what>: ...", "<what> is
// larger than <N> MB" when it holds more than maxBytes.
std::string ReadFileBytes(const UnicodeString& path, const UnicodeString& what, uint64_t maxBytes);
