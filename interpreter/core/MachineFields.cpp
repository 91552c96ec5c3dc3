#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"
#include "interpreter/core/ValueText.h"

#include <cmath>

namespace qav {

namespace {

std::string Plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Value Machine::GetField(const Node* n, const Value& target)
{
    if (!target.IsObject())
        Fail(n, "cannot read field '" + n->name + "' of " + KindName(target));
    const int i = target.obj()->Find(n->slot, n->cache);
    if (i < 0)
        Fail(n, "object #" + std::to_string(target.obj()->id) + " has no field '" + n->name + "'");
    return target.obj()->fields[static_cast<std::size_t>(i)].value;
}

Value Machine::SetField(const Node* n, const Value& target, Value value)
{
    if (!target.IsObject())
        Fail(n, "cannot set field '" + n->name + "' on " + KindName(target));
    return Put(n, target.obj(), n->slot, std::move(value));
}

std::size_t Machine::ItemIndex(const Node* n, const Arr* a, const Value& key)
{
    if (!key.IsNumber())
        Fail(n, std::string("an array index must be a number, not ") + KindName(key));
    const double k = key.number();
    if (k != std::floor(k))
        Fail(n, "an array index must be a whole number, not " + FormatNumber(k));
    if (k < 0 || k >= static_cast<double>(a->items.size()))
        Fail(n, "index " + FormatNumber(k) + " is out of range: the array has " +
                    Plural(a->items.size(), "item", "items"));
    return static_cast<std::size_t>(k);
}

int Machine::AtomOf(const Node* n, const Str* name, bool add)
{
    Charge(n, cost::Scanned(name->text.size()));
    const int atom = heap_.names().Find(name->text);
    if (atom >= 0 || !add)
        return atom;
    // A new field name is kept while a field has it, and counts as memory meanwhile.
    Charge(n, cost::kNewName);
    Reserve(n, name->text.size(), Heap::kStringBytes + name->text.size() + FieldNames::kNameBytes);
    return heap_.names().Add(heap_, name);
}

Value Machine::GetIndex(const Node* n, const Value& target, const Value& key)
{
    if (target.IsArray())
        return target.arr()->items[ItemIndex(n, target.arr(), key)];
    if (!target.IsObject())
        Fail(n, std::string("cannot index ") + KindName(target));
    if (!key.IsString())
        Fail(n, std::string("a field name must be a string, not ") + KindName(key));
    const int atom = AtomOf(n, key.str(), false);
    const int i = atom < 0 ? -1 : target.obj()->Find(atom, n->cache);
    if (i < 0)
        Fail(n, "object #" + std::to_string(target.obj()->id) + " has no field '" +
                    Excerpt(key.str()->text) + "'");
    return target.obj()->fields[static_cast<std::size_t>(i)].value;
}

Value Machine::SetIndex(const Node* n, const Value& target, const Value& key, Value value)
{
    if (target.IsArray()) {
        target.arr()->items[ItemIndex(n, target.arr(), key)] = value;
        return value;
    }
    if (!target.IsObject())
        Fail(n, std::string("cannot index ") + KindName(target));
    if (!key.IsString())
        Fail(n, std::string("a field name must be a string, not ") + KindName(key));
    return Put(n, target.obj(), AtomOf(n, key.str(), true), std::move(value));
}

// Sets a field, adding it when the object does not have it yet.
Value Machine::Put(const Node* n, Obj* o, int atom, Value value)
{
    const int i = o->Find(atom, n->cache);
    if (i >= 0) {
        o->fields[static_cast<std::size_t>(i)].value = value;
        return value;
    }
    o->Add(atom, value);
    heap_.names().Use(atom);
    heap_.Grew(Heap::kFieldBytes);
    Charge(n, cost::kField);
    Allocated(n);
    return value;
}

// An object or array literal: its values in order, each a field or an item.
Value Machine::MakeLiteral(const Node* n)
{
    Charge(n, cost::kAlloc + n->list.size() * cost::kField);
    const bool object = n->op == Op::ObjectLit;
    Value result = object ? Value(heap_.NewObject()) : Value(heap_.NewArray());
    // Room for a field or two more: objects often gain some after they are made.
    if (object)
        result.obj()->fields.reserve(n->list.size() + 2);
    else
        result.arr()->items.reserve(n->list.size());
    for (std::size_t i = 0; i < n->list.size(); ++i) {
        Value v = Eval(n->list[i]);
        if (object)
            result.obj()->Add(n->atoms[i], std::move(v));
        else
            result.arr()->items.push_back(std::move(v));
        heap_.Grew(object ? Heap::kFieldBytes : Heap::kItemBytes);
    }
    Allocated(n);
    return result;
}

} // namespace qav
