// The splitting steps exactly as the rules word them: search from the front,
// take the item, delete it and one more character from the front of the
// remaining text. Quadratic; the reference for tests and the benchmark's baseline.
#pragma once

#include "framework/UnicodeString.h"

template <class AddItem>
void LiteralSplit(UnicodeString text, UnicodeString delimiter, AddItem add)
{
    if (delimiter == L"0")
        delimiter = L"\r\n";
    while (!delimiter.empty() && text.find(delimiter) != UnicodeString::npos) {
        const size_t p = text.find(delimiter) + 1;
        const UnicodeString item = text.substr(0, p - 1);
        text.erase(0, p);
        if (item != L"0" && !item.empty())
            add(item);
    }
    if (text != L"" && text != L"\n" && text != L"\n\r")
        add(text);
}
