#include "framework/Strings.h"

#include "framework/Exception.h"

void TStrings::AddStrings(const TStrings& lines)
{
    const int count = lines.Count();
    for (int i = 0; i < count; ++i)
        Add(lines.Get(i));
}

UnicodeString TStringList::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(L"List index out of bounds (" + std::to_wstring(index) + L")");
    return items_[static_cast<size_t>(index)];
}
