#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"
#include "interpreter/core/Utf.h"
#include "interpreter/core/ValueText.h"

#include <algorithm>

namespace qav {

namespace {

// As Display shows them: the rest is not turned into text.
constexpr std::size_t kMaxShownParts = 100;

} // namespace

Value Machine::MakeString(const Node* n, std::string text)
{
    Reserve(n, text.size());
    Charge(n, cost::kAlloc + cost::Copied(text.size()));
    Value v(heap_.NewString(std::move(text)));
    Allocated(n);
    return v;
}

std::string Machine::Text(const Node* n, const Value& v)
{
    if (v.IsNumber()) {
        Charge(n, cost::kFormat);
        return FormatNumber(v.number());
    }
    if (v.IsContainer()) {
        // Each field or item shown is turned into text on its own.
        const std::size_t parts = v.IsObject() ? v.obj()->fields.size() : v.arr()->items.size();
        Charge(n, std::min<std::size_t>(parts, kMaxShownParts) * cost::kShownPart);
    }
    std::string text = Display(v, heap_.names());
    Charge(n, cost::Copied(text.size()));
    return text;
}

void Machine::Print(const Node* n, const Value& v)
{
    if (logFull_)
        return;
    const std::string text = v.IsString() ? v.str()->text : Text(n, v);
    Charge(n, cost::Copied(text.size()));
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view line = std::string_view(text).substr(start, end == std::string::npos ? end : end - start);
        if (logBytes_ + line.size() > limits_.logBytes) {
            logFull_ = true;
            return;
        }
        logBytes_ += line.size() + 2;
        log_.emplace_back(line);
        if (end == std::string::npos)
            return;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
}

Value Machine::Concat(const Node* n, std::string_view left, std::string_view right)
{
    const std::size_t size = left.size() + right.size();
    Reserve(n, size);
    Charge(n, cost::kAlloc + cost::Copied(size));
    std::string text;
    text.reserve(size);
    text += left;
    text += right;
    Value v(heap_.NewString(std::move(text)));
    Allocated(n);
    return v;
}

Value Machine::Add(const Node* n, const Value& a, const Value& b)
{
    if (a.IsNumber() && b.IsNumber())
        return Value(qav::Arithmetic<Op::Add>(a.number(), b.number()));
    if (a.IsString() && b.IsString())
        return Concat(n, a.str()->text, b.str()->text);
    if (a.IsString())
        return Concat(n, a.str()->text, Text(n, b));
    if (b.IsString())
        return Concat(n, Text(n, a), b.str()->text);
    Fail(n, std::string("cannot apply '+' to ") + KindName(a) + " and " + KindName(b));
}

// x = x + a + b ...: when x holds a string that nothing else can see, the texts of
// a, b ... are appended to it in place; otherwise the '+'s run one by one.
Value Machine::Append(const Node* n, Value& target)
{
    if (!limits_.appendInPlace || !target.IsString() || target.str()->heap != &heap_) {
        Value acc = target;
        for (const Node* add : n->list) {
            Value v = Eval(add->right());
            acc = Add(add, acc, v);
        }
        target = acc;
        return target;
    }
    const Value old = target;
    Str* s = old.str();
    // One string to append is read in place; anything else is joined first.
    std::string joined;
    Value only;
    std::string_view tail;
    if (n->list.size() == 1 && (only = Eval(n->list[0]->right())).IsString()) {
        tail = only.str()->text;
    } else {
        for (const Node* add : n->list) {
            Value v = add == n->list[0] && n->list.size() == 1 ? std::move(only) : Eval(add->right());
            if (v.IsString())
                joined += v.str()->text;
            else
                joined += Text(add, v);
            if (joined.size() > limits_.heapBytes)
                FailMemory(add, s->text.size() + joined.size());
        }
        tail = joined;
    }
    // Only the variable and this function hold it: nobody else can see it change.
    if (!target.IsString() || target.str() != s || s->refs != 2) {
        target = Concat(n, s->text, tail);
        return target;
    }
    Reserve(n, s->text.size() + tail.size(), tail.size());
    Charge(n, cost::kAppend + cost::Copied(2 * tail.size())); // twice: the string moves as it grows
    s->text += tail;
    s->length += CountChars(tail);
    heap_.Grew(tail.size());
    Allocated(n);
    return target;
}

// acc is a string and the chain's link i is a '+': that and every '+' right after it
// join into one new string. Returns the last link joined.
std::size_t Machine::Join(const Node* chain, std::size_t i, Value& acc)
{
    std::string text = acc.str()->text;
    const Node* link = chain->list[i];
    for (; i < chain->list.size() && chain->list[i]->op == Op::Add; ++i) {
        link = chain->list[i];
        const Value v = Eval(link->right());
        if (v.IsString())
            text += v.str()->text;
        else
            text += Text(link, v);
        if (text.size() > limits_.heapBytes)
            FailMemory(link, text.size());
    }
    Reserve(link, text.size());
    Charge(link, cost::kAlloc + cost::Copied(text.size()));
    acc = Value(heap_.NewString(std::move(text)));
    Allocated(link);
    return i - 1;
}

} // namespace qav
