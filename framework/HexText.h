// Numbers written in hexadecimal, upper case, as the program shows codes and addresses.
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>

// The value's digits, padded with zeros to at least digits: HexDigits(0xD800, 4) is "D800".
UnicodeString HexDigits(uint64_t value, int digits = 1);

// The same after "0x": HexText(0x1A, 8) is "0x0000001A".
UnicodeString HexText(uint64_t value, int digits = 1);

// An address as wide as a pointer: 8 digits in a 32-bit process, 16 in a 64-bit one.
UnicodeString AddressText(uintptr_t address);
