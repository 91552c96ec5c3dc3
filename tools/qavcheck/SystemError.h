// The system's text for an error code on one line, with the code after it.
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>

UnicodeString ErrorCodeText(uint32_t code);
