// The operating system's own words for an error code.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

// The system's text for the code, without its trailing line end and full stop;
// "System error N" when the system has none.
UnicodeString SystemErrorText(DWORD code);

// The same on one line, with the code after it: "Access is denied (error 5)".
UnicodeString ErrorCodeText(DWORD code);
