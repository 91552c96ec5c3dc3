#include "interpreter/core/Value.h"

#include "interpreter/core/Heap.h"
#include "interpreter/core/Utf.h"

#include <bit>

namespace qav {

namespace {

// Objects with up to this many fields are searched in order; bigger ones keep an index.
constexpr std::size_t kLinearFields = 8;

std::size_t Slot(int atom, std::size_t size)
{
    // Fibonacci hashing: the top bits of the product, as many as the table needs.
    const auto bits = static_cast<unsigned>(std::countr_zero(size));
    return static_cast<std::size_t>((static_cast<std::uint32_t>(atom) * 2654435769u) >> (32 - bits));
}

} // namespace

Str::Str(Heap* h, std::string t) : Cell(Type::String, h), text(std::move(t)), length(CountChars(text)) {}

void Release(Cell* cell) noexcept
{
    if (--cell->refs != 0)
        return;
    if (cell->heap != nullptr)
        cell->heap->Free(cell);
    else
        delete static_cast<Str*>(cell);
}

int Obj::Find(int atom, int& cache) const
{
    const auto size = fields.size();
    const auto guess = static_cast<std::size_t>(cache);
    if (guess < size && fields[guess].atom == atom)
        return cache;
    if (index.empty()) {
        for (std::size_t i = 0; i < size; ++i) {
            if (fields[i].atom == atom) {
                cache = static_cast<int>(i);
                return cache;
            }
        }
        return -1;
    }
    const std::size_t mask = index.size() - 1;
    for (std::size_t s = Slot(atom, index.size());; s = (s + 1) & mask) {
        const std::int32_t i = index[s];
        if (i < 0)
            return -1;
        if (fields[static_cast<std::size_t>(i)].atom == atom) {
            cache = i;
            return i;
        }
    }
}

void Obj::Add(int atom, Value value)
{
    fields.push_back(Field{atom, std::move(value)});
    if (fields.size() <= kLinearFields)
        return;
    if (index.size() < 2 * fields.size()) {
        // At most half full: rebuild at four times the fields.
        index.assign(std::bit_ceil(4 * fields.size()), -1);
        for (std::size_t i = 0; i < fields.size(); ++i)
            Index(i);
    } else {
        Index(fields.size() - 1);
    }
}

void Obj::Index(std::size_t position)
{
    const std::size_t mask = index.size() - 1;
    std::size_t s = Slot(fields[position].atom, index.size());
    while (index[s] >= 0)
        s = (s + 1) & mask;
    index[s] = static_cast<std::int32_t>(position);
}

} // namespace qav
