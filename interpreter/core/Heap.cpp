#include "interpreter/core/Heap.h"

#include <limits>
#include <new>

namespace qav {

namespace {

constexpr std::uint32_t kReached = std::numeric_limits<std::uint32_t>::max();

} // namespace

void Heap::Empty(Container* c) noexcept
{
    if (c->kind == Type::Object) {
        auto* o = static_cast<Obj*>(c);
        if (!tearingDown_)
            for (const Field& f : o->fields)
                names_.Drop(*this, f.atom);
        o->fields.clear();
        o->index.clear();
    } else {
        static_cast<Arr*>(c)->items.clear();
    }
}

Heap::~Heap()
{
    // Containers still here are held only by cycles: empty them all first, then delete.
    tearingDown_ = true;
    for (Container* c = first_; c != nullptr; c = c->next)
        Empty(c);
    while (first_ != nullptr) {
        Container* c = first_;
        first_ = c->next;
        Delete(c);
    }
}

void Heap::Delete(Container* c) noexcept
{
    if (c->kind == Type::Object) {
        if (!tearingDown_)
            for (const Field& f : static_cast<Obj*>(c)->fields)
                names_.Drop(*this, f.atom);
        static_cast<Obj*>(c)->~Obj();
        objects_.Free(c);
    } else {
        static_cast<Arr*>(c)->~Arr();
        arrays_.Free(c);
    }
}

Str* Heap::NewString(std::string text)
{
    auto* s = new (strings_.Allocate()) Str(this, std::move(text));
    bytes_ += kStringBytes + s->text.size();
    return s;
}

Obj* Heap::NewObject()
{
    return Link(new (objects_.Allocate()) Obj(this, nextId_, &blocks_), kObjectBytes);
}

Arr* Heap::NewArray()
{
    return Link(new (arrays_.Allocate()) Arr(this, nextId_, &blocks_), kArrayBytes);
}

template <typename T>
T* Heap::Link(T* c, std::size_t bytes) noexcept
{
    ++nextId_;
    c->prev = last_;
    (last_ != nullptr ? last_->next : first_) = c;
    last_ = c;
    bytes_ += bytes;
    return c;
}

std::size_t Heap::Footprint(const Container* c) const noexcept
{
    if (c->kind == Type::Object)
        return kObjectBytes + static_cast<const Obj*>(c)->fields.size() * kFieldBytes;
    return kArrayBytes + static_cast<const Arr*>(c)->items.size() * kItemBytes;
}

void Heap::Unlink(Container* c) noexcept
{
    (c->prev != nullptr ? c->prev->next : first_) = c->next;
    (c->next != nullptr ? c->next->prev : last_) = c->prev;
    bytes_ -= Footprint(c);
}

void Heap::Free(Cell* cell) noexcept
{
    if (cell->kind == Type::String) {
        auto* s = static_cast<Str*>(cell);
        bytes_ -= kStringBytes + s->text.size();
        s->~Str();
        strings_.Free(s);
        return;
    }
    if (tearingDown_)
        return;
    auto* c = static_cast<Container*>(cell);
    try {
        pending_.push_back(c);
    } catch (...) {
        return; // no room to queue it: it stays in the list and goes with the heap
    }
    if (draining_)
        return;
    draining_ = true;
    while (!pending_.empty()) {
        Container* dead = pending_.back();
        pending_.pop_back();
        Unlink(dead);
        Delete(dead); // its fields or items release their values, which may queue more
    }
    draining_ = false;
}

std::size_t Heap::Collect()
{
    // Count for each container the references that come from other containers; what
    // is left over comes from outside: variables, the evaluator, the result.
    std::size_t work = 0;
    for (Container* c = first_; c != nullptr; c = c->next)
        c->gcRefs = c->refs;
    for (Container* c = first_; c != nullptr; c = c->next)
        work += 1 + ForEachChild(c, [](Container* child) { --child->gcRefs; });

    // Those held from outside live, and so does all they reach.
    std::vector<Container*> reached;
    for (Container* c = first_; c != nullptr; c = c->next) {
        if (c->gcRefs > 0) {
            c->gcRefs = kReached;
            reached.push_back(c);
        }
    }
    while (!reached.empty()) {
        Container* c = reached.back();
        reached.pop_back();
        work += ForEachChild(c, [&reached](Container* child) {
            if (child->gcRefs != kReached) {
                child->gcRefs = kReached;
                reached.push_back(child);
            }
        });
    }

    // The rest hold only each other. Each is kept by one extra reference while all are
    // emptied, so none is freed in the middle; then each is deleted.
    std::vector<Container*> dead;
    for (Container* c = first_; c != nullptr; c = c->next) {
        if (c->gcRefs != kReached) {
            ++c->refs;
            dead.push_back(c);
        }
    }
    for (Container* c : dead) {
        bytes_ -= Footprint(c) - (c->kind == Type::Object ? kObjectBytes : kArrayBytes);
        Empty(c);
    }
    for (Container* c : dead) {
        Unlink(c);
        Delete(c);
    }
    return work + dead.size();
}

} // namespace qav
