#include "interpreter/core/Builtins.h"

#include "interpreter/core/Costs.h"
#include "interpreter/core/Machine.h"
#include "interpreter/core/Utf.h"
#include "interpreter/core/ValueText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qav {

namespace {

std::string Needs(const char* function, const char* what, const Value& given)
{
    return std::string(function) + "() needs " + what + ", not " + KindName(given);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number written as in a program, with an optional sign and spaces around it.
bool ParseNumber(std::string_view text, double& out)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (i == text.size() || !IsDigit(text[i]))
            return false;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
    }
    if (i != text.size())
        return false;
    double value = 0;
    if (!ReadDecimal(text, value))
        return false;
    out = negative ? -value : value;
    return true;
}

} // namespace

std::span<const Builtin> Builtins()
{
    static constexpr Builtin kBuiltins[] = {
        {"len", 1, true, &Machine::Len},          {"push", 2, false, &Machine::Push},
        {"pop", 1, false, &Machine::Pop},         {"str", 1, true, &Machine::ToStr},
        {"num", 1, true, &Machine::ToNum},        {"substr", 3, true, &Machine::Substr},
        {"find", 2, true, &Machine::Find},        {"floor", 1, true, &Machine::Floor},
        {"sqrt", 1, true, &Machine::Sqrt},        {"abs", 1, true, &Machine::Abs},
        {"keys", 1, true, &Machine::Keys},        {"has", 2, true, &Machine::Has},
        {"type", 1, true, &Machine::TypeOf},
    };
    static_assert(std::ranges::all_of(kBuiltins, [](const Builtin& b) { return b.arity <= kMaxBuiltinArity; }));
    return kBuiltins;
}

int FindBuiltin(std::string_view name)
{
    const std::span<const Builtin> builtins = Builtins();
    for (std::size_t i = 0; i < builtins.size(); ++i)
        if (builtins[i].name == name)
            return static_cast<int>(i);
    return -1;
}

Value Machine::CallBuiltin(const Node* n)
{
    Value args[kMaxBuiltinArity];
    for (std::size_t i = 0; i < n->list.size(); ++i)
        args[i] = Eval(n->list[i]);
    Charge(n, cost::kBuiltin);
    return (this->*Builtins()[static_cast<std::size_t>(n->slot)].run)(n, args);
}

Value Machine::Len(const Node* n, Value* args)
{
    if (args[0].IsString())
        return Value(static_cast<double>(args[0].str()->length));
    if (args[0].IsArray())
        return Value(static_cast<double>(args[0].arr()->items.size()));
    Fail(n, Needs("len", "a string or an array", args[0]));
}

Value Machine::Push(const Node* n, Value* args)
{
    if (!args[0].IsArray())
        Fail(n, Needs("push", "an array", args[0]));
    Arr* a = args[0].arr();
    Charge(n, cost::kField);
    a->items.push_back(std::move(args[1]));
    heap_.Grew(Heap::kItemBytes);
    Allocated(n);
    return Value();
}

Value Machine::Pop(const Node* n, Value* args)
{
    if (!args[0].IsArray())
        Fail(n, Needs("pop", "an array", args[0]));
    Arr* a = args[0].arr();
    if (a->items.empty())
        Fail(n, "pop() needs an array with items, and this one is empty");
    Value last = std::move(a->items.back());
    a->items.pop_back();
    heap_.Shrank(Heap::kItemBytes);
    return last;
}

Value Machine::ToStr(const Node* n, Value* args)
{
    if (args[0].IsString())
        return args[0];
    return MakeString(n, Text(n, args[0]));
}

Value Machine::ToNum(const Node* n, Value* args)
{
    if (args[0].IsNumber())
        return args[0];
    if (!args[0].IsString())
        Fail(n, Needs("num", "a string or a number", args[0]));
    const std::string& text = args[0].str()->text;
    Charge(n, cost::Scanned(text.size()));
    double value = 0;
    return ParseNumber(text, value) ? Value(value) : Value();
}

Value Machine::Has(const Node* n, Value* args)
{
    if (!args[0].IsObject() || !args[1].IsString())
        Fail(n, std::string("has() needs an object and a string, not ") + KindName(args[0]) + " and " +
                    KindName(args[1]));
    const int atom = AtomOf(n, args[1].str(), false);
    return Value::Boolean(atom >= 0 && args[0].obj()->Find(atom, n->cache) >= 0);
}

Value Machine::TypeOf(const Node* n, Value* args)
{
    return MakeString(n, TypeWord(args[0]));
}

// A count given to a built-in: a whole number, at least 0.
std::size_t Machine::Count(const Node* n, const Value& v, const char* what)
{
    if (!v.IsNumber() || !(v.number() >= 0) || v.number() != std::floor(v.number()))
        Fail(n, "substr() needs a whole number of at least 0 as its " + std::string(what) + ", not " +
                    (v.IsNumber() ? FormatNumber(v.number()) : std::string(KindName(v))));
    // Past any string's length anyway, and beyond what a 32-bit size could hold.
    return v.number() >= 1e9 ? std::size_t{1'000'000'000} : static_cast<std::size_t>(v.number());
}

// Characters from start, as many as count, both cut to the string's end.
Value Machine::Substr(const Node* n, Value* args)
{
    const Value& s = args[0];
    if (!s.IsString())
        Fail(n, Needs("substr", "a string", s));
    const std::size_t from = Count(n, args[1], "start");
    const std::size_t chars = Count(n, args[2], "count");
    const Str* str = s.str();
    const std::string& text = str->text;
    const std::size_t first = std::min(from, str->length);
    const std::size_t taken = std::min(chars, str->length - first);
    if (first == 0 && taken == str->length)
        return s;
    const std::size_t begin = ByteOf(n, str, first);
    const std::size_t end = ByteOf(n, str, first + taken);
    return MakeString(n, text.substr(begin, end - begin));
}

// The byte where the character at index starts (the end for the length), found from
// the nearest place known: the start, the end or the string's mark, which moves there.
std::size_t Machine::ByteOf(const Node* n, const Str* s, std::size_t index)
{
    const std::string_view text = s->text;
    if (s->length == text.size())
        return index;
    const auto distance = [index](std::size_t at) { return at > index ? at - index : index - at; };
    std::size_t fromChar = 0;
    std::size_t fromByte = 0;
    if (distance(s->markChar) < distance(fromChar)) {
        fromChar = s->markChar;
        fromByte = s->markByte;
    }
    if (distance(s->length) < distance(fromChar)) {
        fromChar = s->length;
        fromByte = text.size();
    }
    const std::size_t byte = index >= fromChar ? Forward(text, fromByte, index - fromChar)
                                               : Backward(text, fromByte, fromChar - index);
    Charge(n, cost::Walked(byte > fromByte ? byte - fromByte : fromByte - byte));
    s->markChar = index;
    s->markByte = byte;
    return byte;
}

// The index of the character that starts at a byte: ByteOf the other way round.
std::size_t Machine::CharOf(const Node* n, const Str* s, std::size_t byte)
{
    const std::string_view text = s->text;
    if (s->length == text.size())
        return byte;
    std::size_t index;
    if (byte >= s->markByte) {
        index = s->markChar + CountChars(text.substr(s->markByte, byte - s->markByte));
        Charge(n, cost::Counted(byte - s->markByte));
    } else if (byte >= s->markByte / 2) {
        index = s->markChar - CountChars(text.substr(byte, s->markByte - byte));
        Charge(n, cost::Counted(s->markByte - byte));
    } else {
        index = CountChars(text.substr(0, byte));
        Charge(n, cost::Counted(byte));
    }
    s->markChar = index;
    s->markByte = byte;
    return index;
}

// The position of t's first appearance in s, in characters, or -1. Each place where
// the first byte matches costs a comparison, charged as it goes, so that even a search
// with many near misses stops in time.
Value Machine::Find(const Node* n, Value* args)
{
    const Value& s = args[0];
    const Value& t = args[1];
    if (!s.IsString() || !t.IsString())
        Fail(n, std::string("find() needs two strings, not ") + KindName(s) + " and " + KindName(t));
    const std::string_view text = s.str()->text;
    const std::string_view part = t.str()->text;
    std::size_t at = part.empty() ? 0 : std::string_view::npos;
    if (!part.empty() && part.size() <= text.size()) {
        const std::size_t last = text.size() - part.size();
        for (std::size_t from = 0; from <= last;) {
            const std::size_t candidate = text.substr(0, last + 1).find(part.front(), from);
            if (candidate == std::string_view::npos) {
                Charge(n, cost::Compared(last + 1 - from));
                break;
            }
            Charge(n, cost::Compared(candidate - from) + cost::kCandidate + cost::Compared(part.size()));
            if (text.compare(candidate, part.size(), part) == 0) {
                at = candidate;
                break;
            }
            from = candidate + 1;
        }
    }
    if (at == std::string_view::npos)
        return Value(-1.0);
    return Value(static_cast<double>(CharOf(n, s.str(), at)));
}

Value Machine::Floor(const Node* n, Value* args)
{
    if (!args[0].IsNumber())
        Fail(n, Needs("floor", "a number", args[0]));
    const double x = args[0].number();
    // Within 32 bits by a conversion, one instruction: the library's floor changes the
    // x87 unit's rounding mode and back in a 32-bit build. -0 stays -0.
    if (x > -2147483648.0 && x < 2147483648.0) {
        const auto whole = static_cast<double>(static_cast<std::int32_t>(x));
        const double below = whole > x ? whole - 1 : whole;
        return Value(below == 0 ? std::copysign(below, x) : below);
    }
    return Value(std::floor(x));
}

Value Machine::Sqrt(const Node* n, Value* args)
{
    if (!args[0].IsNumber())
        Fail(n, Needs("sqrt", "a number", args[0]));
    const double v = args[0].number();
    if (v < 0)
        Fail(n, "sqrt() needs a number of at least 0, not " + FormatNumber(v));
    return Value(std::sqrt(v));
}

Value Machine::Abs(const Node* n, Value* args)
{
    if (!args[0].IsNumber())
        Fail(n, Needs("abs", "a number", args[0]));
    return Value(std::fabs(args[0].number()));
}

// The object's field names, in the order the fields were added.
Value Machine::Keys(const Node* n, Value* args)
{
    const Value& o = args[0];
    if (!o.IsObject())
        Fail(n, Needs("keys", "an object", o));
    const auto& fields = o.obj()->fields;
    Charge(n, cost::kAlloc + fields.size() * cost::kField);
    Value result(heap_.NewArray());
    Arr* a = result.arr();
    a->items.reserve(fields.size());
    for (const Field& f : fields) {
        a->items.push_back(heap_.names().Name(f.atom));
        heap_.Grew(Heap::kItemBytes);
    }
    Allocated(n);
    return result;
}

} // namespace qav
