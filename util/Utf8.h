// UTF-16 to UTF-8 at the file edge.
#pragma once

#include "framework/UnicodeString.h"

#include <string>

// The whole text as UTF-8 bytes, without a byte-order mark. An unpaired surrogate
// becomes U+FFFD (EF BF BD), so the bytes are always valid UTF-8.
std::string ToUtf8(const UnicodeString& text);
