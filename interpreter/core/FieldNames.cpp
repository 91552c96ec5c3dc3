#include "interpreter/core/FieldNames.h"

#include "interpreter/core/Heap.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace qav {

std::uint32_t FieldNames::Hash(std::string_view name)
{
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}

void FieldNames::Start(Heap& heap, const std::vector<std::string>& program)
{
    names_.reserve(program.size());
    for (const std::string& name : program) {
        names_.emplace_back(heap.NewString(name));
        Insert(Hash(name), static_cast<int>(names_.size() - 1));
    }
    uses_.assign(names_.size(), 0);
    fixed_ = static_cast<int>(names_.size());
}

int FieldNames::Find(std::string_view name) const
{
    if (table_.empty())
        return -1;
    const std::uint32_t hash = Hash(name);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = table_[i];
        if (slot.atom == kEmpty)
            return -1;
        if (slot.atom >= 0 && slot.hash == hash && Text(slot.atom) == name)
            return slot.atom;
    }
}

int FieldNames::Add(Heap& heap, const Str* name)
{
    // A string the program holds may change in place later: the name gets its own.
    Value copy(heap.NewString(name->text));
    const int atom = free_.empty() ? static_cast<int>(names_.size()) : free_.back();
    if (atom == static_cast<int>(names_.size())) {
        names_.emplace_back();
        uses_.push_back(0);
    }
    Insert(Hash(name->text), atom);
    names_[static_cast<std::size_t>(atom)] = std::move(copy);
    if (!free_.empty())
        free_.pop_back();
    heap.Grew(kNameBytes);
    return atom;
}

void FieldNames::Insert(std::uint32_t hash, int atom)
{
    if (2 * (taken_ + 1) > table_.size()) {
        // Rebuilt at four times the names, which also drops the marks of names gone.
        std::vector<Slot> old = std::move(table_);
        table_.assign(std::max<std::size_t>(16, std::bit_ceil(4 * (names_.size() + 1))), Slot{0, kEmpty});
        taken_ = 0;
        for (const Slot& slot : old)
            if (slot.atom >= 0)
                Insert(slot.hash, slot.atom);
    }
    const std::size_t mask = table_.size() - 1;
    std::size_t i = hash & mask;
    while (table_[i].atom != kEmpty)
        i = (i + 1) & mask;
    table_[i] = Slot{hash, atom};
    ++taken_;
}

void FieldNames::Free(Heap& heap, int atom) noexcept
{
    Value& name = names_[static_cast<std::size_t>(atom)];
    const std::uint32_t hash = Hash(name.str()->text);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = hash & mask; table_[i].atom != kEmpty; i = (i + 1) & mask) {
        if (table_[i].atom == atom) {
            table_[i].atom = kGone;
            break;
        }
    }
    name.Reset();
    heap.Shrank(kNameBytes);
    try {
        free_.push_back(atom);
    } catch (...) {
        // Not reused then; its place stays empty.
    }
}

} // namespace qav
