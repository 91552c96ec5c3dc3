// The field names of one run, each kept once as a string value. The program's own last
// the whole run; those made while it runs, by o[name] = v, go as soon as no field has
// them, and count as memory while they are kept.
#pragma once

#include "interpreter/core/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

class Heap;

class FieldNames {
public:
    // What a name made at run time takes beside its string: its place in the tables.
    static constexpr std::size_t kNameBytes = 64;

    FieldNames() = default;
    FieldNames(const FieldNames&) = delete;
    FieldNames& operator=(const FieldNames&) = delete;

    // The program's names, numbered as the resolver numbered them.
    void Start(Heap& heap, const std::vector<std::string>& program);

    // The number of a name, or -1 when no field has it.
    int Find(std::string_view name) const;
    // Numbers a name that Find does not know; no field has it yet.
    int Add(Heap& heap, const Str* name);

    const Value& Name(int atom) const { return names_[static_cast<std::size_t>(atom)]; }
    std::string_view Text(int atom) const { return Name(atom).str()->text; }

    // A field with the name was added, or went.
    void Use(int atom)
    {
        if (atom >= fixed_)
            ++uses_[static_cast<std::size_t>(atom)];
    }
    void Drop(Heap& heap, int atom) noexcept
    {
        if (atom >= fixed_ && --uses_[static_cast<std::size_t>(atom)] == 0)
            Free(heap, atom);
    }

private:
    // A place of the open hash table from names to numbers: the name's hash, kept so
    // that a probe reads a name's text only when the hashes match.
    struct Slot {
        std::uint32_t hash;
        std::int32_t atom; // kEmpty, kGone, or a name's number
    };
    static constexpr std::int32_t kEmpty = -1;
    static constexpr std::int32_t kGone = -2; // a name was here: probes go on past it

    static std::uint32_t Hash(std::string_view name);
    void Insert(std::uint32_t hash, int atom);
    void Free(Heap& heap, int atom) noexcept;

    std::vector<Value> names_;
    std::vector<std::uint32_t> uses_; // fields that have each name made at run time
    std::vector<Slot> table_;         // a power of two in size, at most half in use
    std::size_t taken_ = 0;           // slots that are not empty, names gone included
    std::vector<int> free_;           // numbers of names that went, for reuse
    int fixed_ = 0;                   // the program's names come first
};

} // namespace qav
