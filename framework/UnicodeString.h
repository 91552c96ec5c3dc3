// Text as the whole program holds it: UTF-16 code units (wchar_t is 16 bits on Windows).
#pragma once

#include <string>

using UnicodeString = std::wstring;
