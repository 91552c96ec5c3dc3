// The utility unit Myfunc (a name the program has always used for it): cutting
// a text into a string list, writing and appending UTF-8 text files, and the
// time-stamped exception log.
#pragma once

#include "framework/Strings.h"
#include "framework/UnicodeString.h"

// The delimiter that stands for CR LF: every caller passes it for the default.
inline const UnicodeString DefaultDelimiterMarker = L"0";

// Fills the list with the items of the text cut at the delimiter (the marker
// stands for CR LF). A failure of the Exception family is written to "exceptions.log" and
// not raised; only a failure to write that log leaves the call.
void StrToList(TStrings& list, UnicodeString text, UnicodeString delimiter);

// Replaces the file's content with the text as UTF-8 without a byte-order mark.
void StrToFile(UnicodeString fileName, UnicodeString text);

// Appends the text as UTF-8 to the file, creating it when it does not exist.
void AppendStrToFile(UnicodeString fileName, UnicodeString text);

// Appends "[date time] : message" and CR LF to the file, stamped with the local
// clock in the user's short date and long time formats.
void WriteLog(UnicodeString fileName, UnicodeString message);
