// Saving the program text when the workbench must end during a library call it
// cannot stop: to "QAVDemo-program-<date>-<time>.txt" in the current directory,
// beside "exceptions.log", as UTF-8 without a byte-order mark, line breaks as
// the editor holds them.
#pragma once

#include "binding/ProcessEnd.h"
#include "framework/UnicodeString.h"

// The file name for a copy saved at the given local time, e.g.
// QAVDemo-program-20261209-193012.txt; number 2 and on adds "-2".
UnicodeString ProgramCopyName(int year, int month, int day, int hour, int minute, int second, int number = 1);

// Writes the text to a new file named for the local time now and returns its
// full path. A file error leaves as an Exception naming the path and the cause.
UnicodeString SaveProgramCopy(const UnicodeString& program);

// The last words before a library ends the process in a way that cannot be
// survived: saves the program as SaveProgramCopy does and appends one line to
// "exceptions.log" naming the operation, the way the process ended and the
// file (or why there is none). Never throws.
void KeepProgramAtProcessEnd(const wchar_t* operation, const ProcessEnd& end, bool otherThread,
                             const UnicodeString& program) noexcept;
