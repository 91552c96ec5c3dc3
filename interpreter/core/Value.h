// Values of the language: nil, booleans, numbers, and reference-counted strings,
// objects and arrays. Objects and arrays live in a Heap (Heap.h).
#pragma once

#include "interpreter/core/Blocks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qav {

class Heap;

enum class Type : std::uint8_t { Nil, Bool, Number, String, Object, Array };

struct Cell {
    std::uint32_t refs = 0;
    Type kind;
    Heap* heap; // null for strings that belong to the program text

    Cell(Type k, Heap* h) : kind(k), heap(h) {}
};

struct Str;
struct Obj;
struct Arr;
struct Container;

void Release(Cell* cell) noexcept;

class Value {
public:
    Value() noexcept : type_(Type::Nil), bits_(0) {}
    explicit Value(double number) noexcept : type_(Type::Number), number_(number) {}
    explicit Value(Str* s) noexcept;
    explicit Value(Obj* o) noexcept;
    explicit Value(Arr* a) noexcept;
    static Value Boolean(bool b) noexcept
    {
        Value v;
        v.type_ = Type::Bool;
        v.boolean_ = b;
        return v;
    }

    Value(const Value& other) noexcept : type_(other.type_), bits_(other.bits_)
    {
        if (type_ >= Type::String)
            ++cell_->refs;
    }
    Value(Value&& other) noexcept : type_(other.type_), bits_(other.bits_) { other.type_ = Type::Nil; }
    Value& operator=(const Value& other) noexcept
    {
        if (other.type_ >= Type::String)
            ++other.cell_->refs;
        Drop();
        type_ = other.type_;
        bits_ = other.bits_;
        return *this;
    }
    Value& operator=(Value&& other) noexcept
    {
        if (this != &other) {
            Drop();
            type_ = other.type_;
            bits_ = other.bits_;
            other.type_ = Type::Nil;
        }
        return *this;
    }
    ~Value() { Drop(); }

    // Lets go of what it holds and becomes nil.
    void Reset() noexcept
    {
        Drop();
        type_ = Type::Nil;
    }

    Type type() const { return type_; }
    bool IsNumber() const { return type_ == Type::Number; }
    bool IsString() const { return type_ == Type::String; }
    bool IsObject() const { return type_ == Type::Object; }
    bool IsArray() const { return type_ == Type::Array; }
    bool IsContainer() const { return type_ >= Type::Object; }
    double number() const { return number_; }
    bool boolean() const { return boolean_; }
    Str* str() const { return str_; }
    Obj* obj() const { return obj_; }
    Arr* arr() const { return arr_; }
    Container* container() const { return container_; }
    bool Truthy() const { return !(type_ == Type::Nil || (type_ == Type::Bool && !boolean_)); }

private:
    void Drop() noexcept
    {
        if (type_ >= Type::String)
            Release(cell_);
    }

    Type type_;
    union {
        std::uint64_t bits_;
        double number_;
        bool boolean_;
        Cell* cell_;
        Str* str_;
        Obj* obj_;
        Arr* arr_;
        Container* container_;
    };
};

struct Str : Cell {
    std::string text;
    std::size_t length; // in characters (Unicode code points)
    // A character's index and the byte where it starts, kept from the last time a
    // position was looked up: walking on from there makes a scan along the string
    // cost its length once, not once per character.
    mutable std::size_t markChar = 0;
    mutable std::size_t markByte = 0;

    Str(Heap* h, std::string t);
};

// Objects and arrays: numbered in the order they are made, linked in their heap.
struct Container : Cell {
    std::uint32_t id;
    std::uint32_t mark = 0;   // reached from a root, while the stacks are listed
    std::uint32_t gcRefs = 0; // the collector's count of references from outside
    Container* prev = nullptr;
    Container* next = nullptr;

    Container(Type k, Heap* h, std::uint32_t i) : Cell(k, h), id(i) {}
};

struct Field {
    int atom;
    Value value;
};

struct Obj : Container {
    std::vector<Field, BlockAllocator<Field>> fields; // in the order they were added
    // An open hash of atoms to field positions, once there are many fields.
    std::vector<std::int32_t, BlockAllocator<std::int32_t>> index;

    Obj(Heap* h, std::uint32_t i, Blocks* blocks)
        : Container(Type::Object, h, i), fields(BlockAllocator<Field>(blocks)),
          index(BlockAllocator<std::int32_t>(blocks))
    {
    }

    // The field's value at the position a node found it last time, when the field
    // there still has that atom; else null. Every fast path checks its cache here.
    Value* Cached(int atom, int cache)
    {
        const auto c = static_cast<std::size_t>(cache);
        return c < fields.size() && fields[c].atom == atom ? &fields[c].value : nullptr;
    }

    // The position of a field, or -1; cache holds a guess and is updated.
    int Find(int atom, int& cache) const;
    // Adds a field the object does not have yet.
    void Add(int atom, Value value);

private:
    void Index(std::size_t position);
};

struct Arr : Container {
    std::vector<Value, BlockAllocator<Value>> items;

    Arr(Heap* h, std::uint32_t i, Blocks* blocks) : Container(Type::Array, h, i), items(BlockAllocator<Value>(blocks))
    {
    }

    // The item a number names: a whole number in range. Null for anything else (a
    // fraction, a negative, nan, past the end), which the general way then explains.
    Value* At(double k)
    {
        // In range first, so that the conversion is defined; and to a machine word, one
        // instruction each way (to 64 bits a 32-bit build would go through the x87 unit).
        const auto size = static_cast<std::ptrdiff_t>(items.size());
        if (!(k >= 0 && k < static_cast<double>(size)))
            return nullptr;
        const auto i = static_cast<std::ptrdiff_t>(k);
        if (static_cast<double>(i) != k)
            return nullptr;
        return &items[static_cast<std::size_t>(i)];
    }
};

// The item of an array at a number, or the field of an object where a node found it
// last time; null when the value is not such a container or the fast path misses.
inline Value* ItemOf(const Value& target, double k)
{
    return target.IsArray() ? target.arr()->At(k) : nullptr;
}

inline Value* ItemOf(const Value& target, const Value& key)
{
    return key.IsNumber() ? ItemOf(target, key.number()) : nullptr;
}

inline Value* CachedField(const Value& target, int atom, int cache)
{
    return target.IsObject() ? target.obj()->Cached(atom, cache) : nullptr;
}

inline Value::Value(Str* s) noexcept : type_(Type::String), str_(s) { ++s->refs; }
inline Value::Value(Obj* o) noexcept : type_(Type::Object), obj_(o) { ++o->refs; }
inline Value::Value(Arr* a) noexcept : type_(Type::Array), arr_(a) { ++a->refs; }

} // namespace qav
