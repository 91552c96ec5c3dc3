// The exception log's entry: "[", date, " ", time, "]", " : ", message, CR LF.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

// Format pictures as the regional settings give them (dd.MM.yyyy, H:mm:ss...).
struct LogFormats {
    UnicodeString shortDate;
    UnicodeString longTime;
};

// The user's short date and long time formats; ISO pictures where none is set.
LogFormats UserLogFormats();

// The entry for one clock reading, date and time both rendered from it.
UnicodeString LogEntry(const SYSTEMTIME& when, const LogFormats& formats, const UnicodeString& message);
