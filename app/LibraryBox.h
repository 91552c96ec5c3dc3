// A box the library shows from inside a call (a failed assert's, a MessageBox
// of its own), seen from another thread: a visible dialog window of the calling
// thread. While a library call runs, the workbench shows none of its own there.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

#include <optional>

// The caption of such a box of the thread, if one shows. Sends the thread no
// message, so it may be asked while that thread is busy.
std::optional<UnicodeString> LibraryBoxCaption(DWORD thread);
