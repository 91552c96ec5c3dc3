// Owns the objects and arrays of one run, frees cycles among them, and counts the
// memory that strings, objects, arrays, field names and variables hold. The count uses
// fixed sizes, the same in every build, so that a program meets the memory limit at
// the same point everywhere.
#pragma once

#include "interpreter/core/FieldNames.h"
#include "interpreter/core/Pool.h"
#include "interpreter/core/Value.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qav {

class Heap {
public:
    // What each takes in a 64-bit process, with the system heap's own overhead: a
    // 32-bit one takes less, so the limit holds there too.
    static constexpr std::size_t kStringBytes = 64; // plus one per byte of text
    static constexpr std::size_t kObjectBytes = 160; // with room for two fields it may gain
    static constexpr std::size_t kFieldBytes = 32;
    static constexpr std::size_t kArrayBytes = 96;
    static constexpr std::size_t kItemBytes = 16;
    static constexpr std::size_t kValueBytes = 16; // a variable's place on the value stack

    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    ~Heap();

    Str* NewString(std::string text);
    Obj* NewObject();
    Arr* NewArray();

    // Call when a string, object or array grows or shrinks in place.
    void Grew(std::size_t bytes) { bytes_ += bytes; }
    void Shrank(std::size_t bytes) { bytes_ -= bytes; }
    std::size_t bytes() const { return bytes_; }

    // Frees the objects and arrays that nothing outside them can reach: those that
    // only the references among themselves keep alive. Returns the work it took, in
    // objects, arrays, fields and items visited.
    std::size_t Collect();

    // The run's field names; a name made at run time goes with the last field that has it.
    FieldNames& names() { return names_; }
    const FieldNames& names() const { return names_; }

    // Objects and arrays alive, the oldest first.
    Container* oldest() const { return first_; }

    void Free(Cell* cell) noexcept;

    // The run is over and everything goes with the heap: objects and arrays let go
    // from now on are left for its destructor, which frees them all at once.
    void Close() noexcept { tearingDown_ = true; }

private:
    // Numbers a new object or array and adds it at the end of the list.
    template <typename T>
    T* Link(T* c, std::size_t bytes) noexcept;
    void Unlink(Container* c) noexcept;
    // Empties a container's fields or items; what they held is released.
    void Empty(Container* c) noexcept;
    void Delete(Container* c) noexcept;
    std::size_t Footprint(const Container* c) const noexcept;

    Blocks blocks_; // the fields and items of every object and array
    Pool strings_{sizeof(Str)};
    Pool objects_{sizeof(Obj)};
    Pool arrays_{sizeof(Arr)};

    std::size_t bytes_ = 0;
    std::uint32_t nextId_ = 1;
    Container* first_ = nullptr;
    Container* last_ = nullptr;
    std::vector<Container*> pending_;
    bool draining_ = false;
    bool tearingDown_ = false;
    FieldNames names_; // last: its strings go back to strings_ as it goes
};

// Calls visit for every object or array that a container's fields or items hold;
// returns how many fields or items it looked at.
template <typename Visit>
std::size_t ForEachChild(Container* c, Visit&& visit)
{
    if (c->kind == Type::Object) {
        auto& fields = static_cast<Obj*>(c)->fields;
        for (Field& f : fields)
            if (f.value.IsContainer())
                visit(f.value.container());
        return fields.size();
    }
    auto& items = static_cast<Arr*>(c)->items;
    for (Value& v : items)
        if (v.IsContainer())
            visit(v.container());
    return items.size();
}

} // namespace qav
