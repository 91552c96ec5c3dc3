// The system's own text for an error code, on one line.
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>

UnicodeString SystemErrorText(uint32_t code);
