// String lists: the abstract TStrings (a pane's lines, a working list) and the
// plain in-memory TStringList.
#pragma once

#include "framework/UnicodeString.h"

#include <vector>

class TStrings {
public:
    TStrings() = default;
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual UnicodeString Get(int index) const = 0;
    // Appends one line at the end.
    virtual void Add(const UnicodeString& line) = 0;
    virtual void Clear() = 0;
    // Appends every line of another list, in its order, as one batch.
    virtual void AddStrings(const TStrings& lines);
};

// Raises "List index out of bounds (index)" unless 0 <= index < count.
void CheckListIndex(int index, int count);

class TStringList : public TStrings {
public:
    int Count() const override { return static_cast<int>(items_.size()); }
    UnicodeString Get(int index) const override;
    void Add(const UnicodeString& line) override { items_.push_back(line); }
    void Clear() override { items_.clear(); }

    const std::vector<UnicodeString>& Items() const noexcept { return items_; }

private:
    std::vector<UnicodeString> items_;
};
