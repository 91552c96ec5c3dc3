#include "util/Myfunc.h"

#include "framework/CaughtException.h"

namespace {

bool IsDroppedRest(const UnicodeString& rest)
{
    return rest.empty() || rest == L"\n" || rest == L"\n\r";
}

// Walks the text with an offset instead of deleting from its front: each step
// consumes the item and only the first character of the delimiter, so the search
// resumes one position after the match and the whole cut stays linear.
void Cut(TStrings& list, const UnicodeString& text, const UnicodeString& delimiter)
{
    size_t start = 0;
    if (!delimiter.empty()) {
        for (size_t at = text.find(delimiter, start); at != UnicodeString::npos;
             at = text.find(delimiter, start)) {
            const size_t length = at - start;
            if (length != 0 && text.compare(start, length, DefaultDelimiterMarker) != 0)
                list.Add(text.substr(start, length));
            start = at + 1;
        }
    }
    UnicodeString rest = text.substr(start);
    if (!IsDroppedRest(rest))
        list.Add(rest);
}

} // namespace

void StrToList(TStrings& list, UnicodeString text, UnicodeString delimiter)
{
    if (delimiter == DefaultDelimiterMarker)
        delimiter = L"\r\n";
    try {
        list.Clear();
        Cut(list, text, delimiter);
    } catch (...) {
        WriteLog(L"exceptions.log", L"StrToList(): " + CaughtFamilyOrRethrow().ToString());
    }
}
