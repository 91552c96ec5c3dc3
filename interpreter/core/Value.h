// Values of the language: nil, booleans, numbers, and reference-counted strings
// and objects. Objects live in a Heap, which also counts the bytes in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qav {

class Heap;

enum class Type : std::uint8_t { Nil, Bool, Number, String, Object };

struct Cell {
    std::uint32_t refs = 0;
    Type kind;
    Heap* heap; // null for strings that belong to the program text

    Cell(Type k, Heap* h) : kind(k), heap(h) {}
};

struct Str;
struct Obj;

void Release(Cell* cell) noexcept;

class Value {
public:
    Value() noexcept : type_(Type::Nil), bits_(0) {}
    explicit Value(double number) noexcept : type_(Type::Number), number_(number) {}
    explicit Value(Str* s) noexcept;
    explicit Value(Obj* o) noexcept;
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

    Type type() const { return type_; }
    bool IsNumber() const { return type_ == Type::Number; }
    bool IsString() const { return type_ == Type::String; }
    bool IsObject() const { return type_ == Type::Object; }
    double number() const { return number_; }
    bool boolean() const { return boolean_; }
    Str* str() const { return str_; }
    Obj* obj() const { return obj_; }
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
    };
};

struct Str : Cell {
    std::string text;

    Str(Heap* h, std::string t) : Cell(Type::String, h), text(std::move(t)) {}
};

struct Field {
    int atom;
    Value value;
};

struct Obj : Cell {
    std::uint32_t id;
    std::uint32_t mark = 0;
    Obj* prev = nullptr;
    Obj* next = nullptr;
    std::vector<Field> fields;

    Obj(Heap* h, std::uint32_t i) : Cell(Type::Object, h), id(i) {}
};

inline Value::Value(Str* s) noexcept : type_(Type::String), str_(s) { ++s->refs; }
inline Value::Value(Obj* o) noexcept : type_(Type::Object), obj_(o) { ++o->refs; }

// Owns the objects of one run and counts the bytes held by strings and objects.
// Freeing is iterative, so long chains of objects never recurse.
class Heap {
public:
    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    ~Heap();

    Str* NewString(std::string text);
    Obj* NewObject();

    // Call after a string grew in place or an object gained a field.
    void Grew(std::size_t bytes) { bytes_ += bytes; }
    std::size_t bytes() const { return bytes_; }
    std::uint32_t objectsMade() const { return nextId_ - 1; }

    void Free(Cell* cell) noexcept;

private:
    std::size_t bytes_ = 0;
    std::uint32_t nextId_ = 1;
    Obj* first_ = nullptr;
    std::vector<Obj*> pending_;
    bool draining_ = false;
    bool tearingDown_ = false;
};

// Cost in bytes that a string or object holds, for the heap's count.
std::size_t Footprint(const Str& s);
std::size_t FieldFootprint();

} // namespace qav
