#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"
#include "interpreter/core/Operators.h"
#include "interpreter/core/ValueText.h"

#include <algorithm>

namespace qav {

namespace {

bool Equal(const Value& a, const Value& b)
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case Type::Nil: return true;
    case Type::Bool: return a.boolean() == b.boolean();
    case Type::Number: return a.number() == b.number();
    case Type::String: return a.str() == b.str() || a.str()->text == b.str()->text;
    case Type::Object:
    case Type::Array: return a.container() == b.container();
    }
    return false;
}

} // namespace

void Machine::Both(const Node* left, const Node* right, Operands& o)
{
    if (IsLeaf(left) && IsLeaf(right)) {
        o.a = &Leaf(left);
        o.b = &Leaf(right);
        return;
    }
    if (IsLeaf(left) && right->pure) {
        o.a = &Leaf(left);
    } else {
        o.left = Eval(left);
        o.a = &o.left;
    }
    if (IsLeaf(right)) {
        o.b = &Leaf(right);
    } else {
        o.right = Eval(right);
        o.b = &o.right;
    }
}

// A number operator's fast path; anything else, and a zero divisor, goes the general way.
template <Op op>
Value Machine::Arithmetic(const Node* n)
{
    double x;
    double y;
    if (Number(n->left(), x) && Number(n->right(), y)) {
        if constexpr (op == Op::Div || op == Op::Mod) {
            if (y != 0) {
                Charge(n, cost::kDivide);
                return Value(qav::Arithmetic<op>(x, y));
            }
        } else {
            return Value(qav::Arithmetic<op>(x, y));
        }
    }
    return ArithmeticOf<op>(n);
}

template <Op op>
Value Machine::ArithmeticOf(const Node* n)
{
    Operands o;
    Both(n->left(), n->right(), o);
    if constexpr (op == Op::Div || op == Op::Mod) {
        Charge(n, cost::kDivide);
        if (o.a->IsNumber() && o.b->IsNumber() && o.b->number() != 0)
            return Value(qav::Arithmetic<op>(o.a->number(), o.b->number()));
    } else if (o.a->IsNumber() && o.b->IsNumber()) {
        return Value(qav::Arithmetic<op>(o.a->number(), o.b->number()));
    }
    return Apply(n, *o.a, *o.b);
}

template <Op op>
bool Machine::Order(const Node* n)
{
    double x;
    double y;
    if (Number(n->left(), x) && Number(n->right(), y))
        return Ordered<op>(x, y);
    return OrderOf<op>(n);
}

template <Op op>
bool Machine::OrderOf(const Node* n)
{
    Operands o;
    Both(n->left(), n->right(), o);
    if (o.a->IsNumber() && o.b->IsNumber())
        return Ordered<op>(o.a->number(), o.b->number());
    return Compare(n, *o.a, *o.b).boolean();
}

// Two strings cost their bytes compared; anything else nothing beyond the operator.
void Machine::ChargeCompare(const Node* n, const Value& a, const Value& b)
{
    if (a.IsString() && b.IsString())
        Charge(n, cost::Compared(std::min(a.str()->text.size(), b.str()->text.size())));
}

// Two numbers, or two strings by their bytes, which is the order of their code points.
Value Machine::Compare(const Node* n, const Value& a, const Value& b)
{
    if (a.IsNumber() && b.IsNumber())
        return Value::Boolean(Ordered(n->op, a.number(), b.number()));
    if (!a.IsString() || !b.IsString())
        Fail(n, std::string("cannot apply ") + OpText(n->op) + " to " + KindName(a) + " and " + KindName(b));
    ChargeCompare(n, a, b);
    return Value::Boolean(Ordered(n->op, a.str()->text.compare(b.str()->text), 0));
}

// One binary operator on two values, the general way: the fast paths' fallback and
// each link of a chain.
Value Machine::Apply(const Node* link, const Value& a, const Value& b)
{
    const Op op = link->op;
    if (op == Op::Add)
        return Add(link, a, b);
    if (IsArithmetic(op)) {
        if (!a.IsNumber() || !b.IsNumber())
            Fail(link, std::string("cannot apply ") + OpText(op) + " to " + KindName(a) + " and " + KindName(b));
        if ((op == Op::Div || op == Op::Mod) && b.number() == 0)
            Fail(link, "division by zero");
        return Value(qav::Arithmetic(op, a.number(), b.number()));
    }
    if (IsOrdering(op))
        return Compare(link, a, b);
    ChargeCompare(link, a, b);
    return Value::Boolean(Equal(a, b) == (op == Op::Eq));
}

// a op b op c ...: left to right in a loop, the way nested operators would have run.
Value Machine::Chain(const Node* n)
{
    Value acc = Eval(n->left());
    const std::size_t links = n->list.size();
    for (std::size_t i = 0; i < links; ++i) {
        const Node* link = n->list[i];
        switch (link->op) {
        case Op::And:
        case Op::Or:
            if (acc.Truthy() == (link->op == Op::And))
                acc = Optional(link->right());
            continue;
        case Op::Add:
            if (acc.IsString()) {
                i = Join(n, i, acc);
                continue;
            }
            break;
        default:
            break;
        }
        const Value right = Eval(link->right());
        if (link->op == Op::Div || link->op == Op::Mod)
            Charge(link, cost::kDivide);
        if (acc.IsNumber() && right.IsNumber() && (link->op == Op::Add || link->op == Op::Sub || link->op == Op::Mul)) {
            acc = Value(qav::Arithmetic(link->op, acc.number(), right.number()));
            continue;
        }
        acc = Apply(link, acc, right);
    }
    return acc;
}

bool Machine::NumberOf(const Node* n, double& out) const
{
    double x;
    double y;
    switch (n->op) {
    // The target is read through the inline Place and Member: a call of MemberAt here
    // costs sorts and sieves 5 to 10 per cent.
    case Op::Index:
    case Op::Field: {
        const Value* target = Place(n->object());
        const Value* v = target != nullptr ? Member(n, *target) : nullptr;
        if (v == nullptr || !v->IsNumber())
            return false;
        out = v->number();
        return true;
    }
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
        if (!Number(n->left(), x) || !Number(n->right(), y))
            return false;
        out = qav::Arithmetic(n->op, x, y);
        return true;
    case Op::Neg:
        if (!Number(n->operand(), x))
            return false;
        out = -x;
        return true;
    case Op::Chain:
        if (!Number(n->left(), x))
            return false;
        for (const Node* link : n->list) {
            if (link->op != Op::Add && link->op != Op::Sub && link->op != Op::Mul)
                return false;
            if (!Number(link->right(), y))
                return false;
            x = qav::Arithmetic(link->op, x, y);
        }
        out = x;
        return true;
    default:
        return false;
    }
}

const Value* Machine::StoreItem(const Node* n)
{
    double k;
    if (!IsLeaf(n->object()) || !n->value()->pure || !Number(n->key(), k))
        return nullptr;
    Value* item = ItemOf(Leaf(n->object()), k);
    if (item == nullptr)
        return nullptr;
    double v;
    if (IsLeaf(n->value())) {
        *item = Leaf(n->value());
    } else if (Number(n->value(), v)) {
        *item = Value(v);
    } else {
        // Pure, the value can neither resize the array nor free it: the item stays put.
        Value computed = Eval(n->value());
        *item = std::move(computed);
    }
    return item;
}

const Value* Machine::MemberAt(const Node* n) const
{
    const Value* target = Place(n->object());
    return target != nullptr ? Member(n, *target) : nullptr;
}

// The truth of a condition, without making a boolean value for comparisons.
bool Machine::Test(const Node* n)
{
    switch (n->op) {
    case Op::Lt: return Order<Op::Lt>(n);
    case Op::Le: return Order<Op::Le>(n);
    case Op::Gt: return Order<Op::Gt>(n);
    case Op::Ge: return Order<Op::Ge>(n);
    case Op::Eq:
    case Op::Ne: {
        // Both sides read in place where they can be.
        if (const Value* a = Place(n->left())) {
            if (const Value* b = Place(n->right())) {
                ChargeCompare(n, *a, *b);
                return Equal(*a, *b) == (n->op == Op::Eq);
            }
        }
        Operands o;
        Both(n->left(), n->right(), o);
        ChargeCompare(n, *o.a, *o.b);
        return Equal(*o.a, *o.b) == (n->op == Op::Eq);
    }
    case Op::Not:
        return !Test(n->operand());
    case Op::And:
    case Op::Or:
        if (Test(n->left()) != (n->op == Op::And))
            return n->op == Op::Or;
        Charge(n->right(), static_cast<std::uint64_t>(n->right()->weight));
        return Test(n->right());
    case Op::Const:
    case Op::Local:
    case Op::Global:
        return Leaf(n).Truthy();
    case Op::Index:
    case Op::Field:
        if (const Value* v = Place(n))
            return v->Truthy();
        return Eval(n).Truthy();
    default:
        return Eval(n).Truthy();
    }
}

Value Machine::Compute(const Node* n)
{
    switch (n->op) {
    case Op::SetLocal: {
        Value v = Eval(n->value());
        fp_[n->slot] = v;
        return v;
    }
    case Op::SetGlobal: {
        Value v = Eval(n->value());
        globals_[static_cast<std::size_t>(n->slot)] = v;
        return v;
    }
    case Op::AppendLocal:
    case Op::AppendGlobal:
        if (const Value* sum = AddNumber(n))
            return *sum;
        return Append(n, n->op == Op::AppendLocal ? fp_[n->slot] : globals_[static_cast<std::size_t>(n->slot)]);
    case Op::Field: {
        if (const Value* v = MemberAt(n))
            return *v;
        if (IsLeaf(n->object()))
            return FieldOf(n, Leaf(n->object()));
        const Value target = Eval(n->object());
        return FieldOf(n, target);
    }
    case Op::SetField: {
        if (IsLeaf(n->object()) && n->value()->pure) {
            double y;
            if (Number(n->value(), y))
                return StoreField(n, Leaf(n->object()), Value(y));
            Value v = Eval(n->value());
            return StoreField(n, Leaf(n->object()), std::move(v));
        }
        const Value target = Eval(n->object());
        Value v = Eval(n->value());
        return StoreField(n, target, std::move(v));
    }
    case Op::Index: {
        if (const Value* v = MemberAt(n))
            return *v;
        if (IsLeaf(n->object()) && IsLeaf(n->key()))
            return IndexOf(n, Leaf(n->object()), Leaf(n->key()));
        Operands o;
        Both(n->object(), n->key(), o);
        return IndexOf(n, *o.a, *o.b);
    }
    case Op::SetIndex: {
        if (const Value* stored = StoreItem(n))
            return *stored;
        // Target, index, value: each read in place only when what runs after it cannot change it.
        Value target;
        Value key;
        const Value* t = &target;
        const Value* k = &key;
        if (IsLeaf(n->object()) && n->key()->pure && n->value()->pure)
            t = &Leaf(n->object());
        else
            target = Eval(n->object());
        if (IsLeaf(n->key()) && n->value()->pure)
            k = &Leaf(n->key());
        else
            key = Eval(n->key());
        Value v = Eval(n->value());
        return StoreIndex(n, *t, *k, std::move(v));
    }
    case Op::Call:
        return Call(n);
    case Op::Builtin:
        return CallBuiltin(n);
    case Op::ObjectLit:
    case Op::ArrayLit:
        return MakeLiteral(n);
    case Op::Chain: {
        double x;
        if (Number(n, x))
            return Value(x);
        return Chain(n);
    }
    case Op::Neg: {
        const Value v = Eval(n->operand());
        if (!v.IsNumber())
            FailNegate(n, v);
        return Value(-v.number());
    }
    case Op::Not:
        return Value::Boolean(!Test(n->operand()));
    case Op::And:
    case Op::Or: {
        Value v = Eval(n->left());
        return v.Truthy() == (n->op == Op::And) ? Optional(n->right()) : v;
    }
    case Op::Add: return Arithmetic<Op::Add>(n);
    case Op::Sub: return Arithmetic<Op::Sub>(n);
    case Op::Mul: return Arithmetic<Op::Mul>(n);
    case Op::Div: return Arithmetic<Op::Div>(n);
    case Op::Mod: return Arithmetic<Op::Mod>(n);
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge:
        return Value::Boolean(Test(n));
    default:
        Fail(n, "internal error: not an expression");
    }
}

} // namespace qav
