#include "interpreter/core/Value.h"

namespace qav {

std::size_t Footprint(const Str& s)
{
    return sizeof(Str) + s.text.capacity();
}

std::size_t FieldFootprint()
{
    return sizeof(Field);
}

void Release(Cell* cell) noexcept
{
    if (--cell->refs != 0)
        return;
    if (cell->heap != nullptr)
        cell->heap->Free(cell);
    else
        delete static_cast<Str*>(cell);
}

Heap::~Heap()
{
    // Objects still here are held only by cycles: empty them all first, then delete.
    tearingDown_ = true;
    for (Obj* o = first_; o != nullptr; o = o->next)
        o->fields.clear();
    while (first_ != nullptr) {
        Obj* o = first_;
        first_ = o->next;
        delete o;
    }
}

Str* Heap::NewString(std::string text)
{
    auto* s = new Str(this, std::move(text));
    bytes_ += Footprint(*s);
    return s;
}

Obj* Heap::NewObject()
{
    auto* o = new Obj(this, nextId_++);
    o->next = first_;
    if (first_ != nullptr)
        first_->prev = o;
    first_ = o;
    bytes_ += sizeof(Obj);
    return o;
}

void Heap::Free(Cell* cell) noexcept
{
    if (cell->kind == Type::String) {
        auto* s = static_cast<Str*>(cell);
        bytes_ -= Footprint(*s);
        delete s;
        return;
    }
    if (tearingDown_)
        return;
    auto* o = static_cast<Obj*>(cell);
    try {
        pending_.push_back(o);
    } catch (...) {
        return; // no room to queue it: it stays in the list and goes with the heap
    }
    if (draining_)
        return;
    draining_ = true;
    while (!pending_.empty()) {
        Obj* dead = pending_.back();
        pending_.pop_back();
        if (dead->prev != nullptr)
            dead->prev->next = dead->next;
        else
            first_ = dead->next;
        if (dead->next != nullptr)
            dead->next->prev = dead->prev;
        bytes_ -= sizeof(Obj) + dead->fields.capacity() * FieldFootprint();
        delete dead; // its fields release their values, which may queue more objects
    }
    draining_ = false;
}

} // namespace qav
