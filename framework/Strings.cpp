#include "framework/Strings.h"

#include "framework/Exception.h"

void TStrings::AddStrings(const TStrings& lines)
{
    const int count = lines.Count();
    for (int i = 0; i < count; ++i)
        Add(lines.Get(i));
}

void CheckListIndex(int index, int count)
{
    if (index < 0 || index >= count)
        throw Exception(L"List index out of bounds (" + std::to_wstring(index) + L")");
}

UnicodeString TStringList::Get(int index) const
{
    CheckListIndex(index, Count());
    return items_[static_cast<size_t>(index)];
}
