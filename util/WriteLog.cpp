#include "util/Myfunc.h"

#include "util/LogEntry.h"

void WriteLog(UnicodeString fileName, UnicodeString message)
{
    // One reading for both: a date and a time read apart can straddle midnight.
    SYSTEMTIME now{};
    GetLocalTime(&now);
    AppendStrToFile(fileName, LogEntry(now, UserLogFormats(), message));
}
