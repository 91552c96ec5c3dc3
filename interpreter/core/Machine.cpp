#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"
#include "interpreter/core/Utf.h"
#include "interpreter/core/ValueText.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace qav {

namespace {

constexpr std::size_t kMaxStackValues = 1 << 20;
constexpr std::size_t kMaxDumpLines = 1000;
constexpr std::size_t kMaxDumpBytes = 256 * 1024;
constexpr std::size_t kMaxShownName = 100;
constexpr std::size_t kMaxShownParts = 100; // as Display shows them

constexpr std::uint64_t kStepsPerClockCheck = 1 << 15;
constexpr std::size_t kMinCollectBytes = 4 * 1024 * 1024;

const char* OpText(Op op)
{
    switch (op) {
    case Op::Sub: return "'-'";
    case Op::Mul: return "'*'";
    case Op::Div: return "'/'";
    case Op::Mod: return "'%'";
    case Op::Lt: return "'<'";
    case Op::Le: return "'<='";
    case Op::Gt: return "'>'";
    case Op::Ge: return "'>='";
    default: return "'+'";
    }
}

bool IsLeaf(const Node* n)
{
    return n->op <= Op::Global;
}

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

// x % y with the sign of x; whole numbers take the integer path, which is far quicker.
double Remainder(double x, double y)
{
    constexpr double kWhole = 9007199254740992.0; // 2^53: every whole number up to it is exact
    if (x > -kWhole && x < kWhole && y > -kWhole && y < kWhole) {
        const auto a = static_cast<std::int64_t>(x);
        const auto b = static_cast<std::int64_t>(y);
        if (static_cast<double>(a) == x && static_cast<double>(b) == y)
            return static_cast<double>(a % b);
    }
    return std::fmod(x, y);
}

std::string Plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string TimeText(std::chrono::milliseconds time)
{
    const double seconds = static_cast<double>(time.count()) / 1000;
    return FormatNumber(seconds) + (seconds == 1 ? " second" : " seconds");
}

Value Hold(Container* c)
{
    return c->kind == Type::Object ? Value(static_cast<Obj*>(c)) : Value(static_cast<Arr*>(c));
}

} // namespace

Machine::Machine(const Program& program, const Limits& limits, Clock::time_point start)
    : program_(program), limits_(limits), globals_(program.globals.size()), calls_(program.functions.size()),
      atoms_(program.atoms)
{
    std::size_t maxLocals = 1;
    for (const Function& f : program.functions)
        maxLocals = std::max(maxLocals, static_cast<std::size_t>(f.locals));
    const std::size_t depth = static_cast<std::size_t>(std::max(limits.callDepth, 0)) + 2;
    const std::size_t size = maxLocals > kMaxStackValues / depth ? kMaxStackValues : depth * maxLocals;
    stack_.reset(new Value[size]);
    stackEnd_ = stack_.get() + size;
    sp_ = stack_.get();
    fp_ = stack_.get();
    frames_.reserve(depth);
    for (std::size_t i = 0; i < atoms_.size(); ++i)
        atomIds_.emplace(atoms_[i], static_cast<int>(i));
    atomStrings_.resize(atoms_.size());
    checkAt_ = std::min(limits_.steps, kStepsPerClockCheck);
    deadline_ = start + std::min(limits_.time, std::chrono::milliseconds(std::chrono::hours(24)));
    collectAt_ = std::min(kMinCollectBytes, limits_.heapBytes);
}

Machine::~Machine() = default;

void Machine::Fail(const Node* n, const std::string& message)
{
    failedFrames_.clear();
    for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
        std::string line = it->function->name + "(";
        for (std::size_t i = 0; i < it->function->params.size(); ++i) {
            if (i > 0)
                line += ", ";
            line += it->function->params[i] + " = " + Repr(it->base[i]);
        }
        failedFrames_.push_back(line + ")");
    }
    failedRoots_.assign(stack_.get(), sp_);
    throw ScriptError{message, n->line, n->column};
}

void Machine::Fail(const Node* n, const char* message)
{
    Fail(n, std::string(message));
}

void Machine::Checkpoint(const Node* n)
{
    if (steps_ > limits_.steps)
        Fail(n, "step limit reached: the program ran more than " + std::to_string(limits_.steps) + " steps");
    if (Clock::now() > deadline_)
        Fail(n, "time limit reached: the program ran for more than " + TimeText(limits_.time));
    checkAt_ = std::min(limits_.steps, steps_ + kStepsPerClockCheck);
}

void Machine::FailDepth(const Node* n)
{
    Fail(n, "call depth limit reached: more than " + std::to_string(limits_.callDepth) + " nested calls");
}

void Machine::FailNegate(const Node* n, const Value& v)
{
    Fail(n, std::string("cannot apply '-' to ") + KindName(v));
}

void Machine::FailMemory(const Node* n, std::size_t stringBytes)
{
    if (stringBytes > limits_.heapBytes)
        Fail(n, "memory limit reached: a string of " + std::to_string(stringBytes) + " bytes");
    Fail(n, "memory limit reached: strings, objects and arrays take more than " +
                std::to_string(limits_.heapBytes) + " bytes");
}

std::size_t Machine::Room() const
{
    return limits_.heapBytes - std::min(heap_.bytes(), limits_.heapBytes);
}

// Makes room for a string of size bytes, growth more than the heap holds now; cycles
// are collected first when it would not fit.
void Machine::Reserve(const Node* n, std::size_t size, std::size_t growth)
{
    if (size > limits_.heapBytes)
        FailMemory(n, size);
    if (growth <= Room())
        return;
    Collect(n);
    if (growth > Room())
        FailMemory(n, size);
}

void Machine::Reserve(const Node* n, std::size_t size)
{
    Reserve(n, size, size + Heap::kStringBytes);
}

// After memory grew: cycles are collected once the heap has doubled since the last
// time, and always before the limit is declared reached.
void Machine::Allocated(const Node* n)
{
    if (heap_.bytes() > collectAt_)
        Collect(n);
    // Memory never used before is slow to get: the system has to map it in.
    if (heap_.bytes() > peak_) {
        Charge(n, (heap_.bytes() - peak_) * cost::kPeakByte);
        peak_ = heap_.bytes();
    }
}

void Machine::Collect(const Node* n)
{
    const std::size_t work = heap_.Collect();
    collectAt_ = std::clamp(2 * heap_.bytes(), std::min(kMinCollectBytes, limits_.heapBytes), limits_.heapBytes);
    Charge(n, work * cost::kCollect);
    if (heap_.bytes() > limits_.heapBytes)
        FailMemory(n, 0);
}

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
        Charge(n, std::min<std::size_t>(parts, kMaxShownParts) * cost::kFormat);
    }
    std::string text = Display(v, atoms_);
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
        return Value(a.number() + b.number());
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
            Value v = Eval(add->b);
            acc = acc.IsNumber() && v.IsNumber() ? Value(acc.number() + v.number()) : Add(add, acc, v);
        }
        target = acc;
        return target;
    }
    const Value old = target;
    Str* s = old.str();
    std::string tail;
    for (const Node* add : n->list) {
        Value v = Eval(add->b);
        if (v.IsString())
            tail += v.str()->text;
        else
            tail += Text(add, v);
        if (tail.size() > limits_.heapBytes)
            FailMemory(add, s->text.size() + tail.size());
    }
    // Only the variable and this function hold it: nobody else can see it change.
    if (!target.IsString() || target.str() != s || s->refs != 2) {
        target = Concat(n, s->text, tail);
        return target;
    }
    Reserve(n, s->text.size() + tail.size(), tail.size());
    Charge(n, cost::Copied(2 * tail.size())); // twice: the string moves as it grows
    s->text += tail;
    s->length += CountChars(tail);
    heap_.Grew(tail.size());
    Allocated(n);
    return target;
}

Value Machine::Arithmetic(const Node* n, const Value& a, const Value& b)
{
    if (!a.IsNumber() || !b.IsNumber())
        Fail(n, std::string("cannot apply ") + OpText(n->op) + " to " + KindName(a) + " and " + KindName(b));
    const double x = a.number();
    const double y = b.number();
    switch (n->op) {
    case Op::Add: return Value(x + y);
    case Op::Sub: return Value(x - y);
    case Op::Mul: return Value(x * y);
    case Op::Div:
        if (y == 0)
            Fail(n, "division by zero");
        return Value(x / y);
    default:
        if (y == 0)
            Fail(n, "division by zero");
        return Value(Remainder(x, y));
    }
}

Value Machine::Compare(const Node* n, const Value& a, const Value& b)
{
    int order;
    if (a.IsNumber() && b.IsNumber()) {
        const double x = a.number();
        const double y = b.number();
        switch (n->op) {
        case Op::Lt: return Value::Boolean(x < y);
        case Op::Le: return Value::Boolean(x <= y);
        case Op::Gt: return Value::Boolean(x > y);
        default: return Value::Boolean(x >= y);
        }
    }
    if (!a.IsString() || !b.IsString())
        Fail(n, std::string("cannot apply ") + OpText(n->op) + " to " + KindName(a) + " and " + KindName(b));
    Charge(n, cost::Scanned(std::min(a.str()->text.size(), b.str()->text.size())));
    order = a.str()->text.compare(b.str()->text);
    switch (n->op) {
    case Op::Lt: return Value::Boolean(order < 0);
    case Op::Le: return Value::Boolean(order <= 0);
    case Op::Gt: return Value::Boolean(order > 0);
    default: return Value::Boolean(order >= 0);
    }
}

// One operator of a chain, applied to the value so far and its right operand.
Value Machine::Apply(const Node* link, const Value& a, const Value& b)
{
    switch (link->op) {
    case Op::Add: return Add(link, a, b);
    case Op::Sub: case Op::Mul: case Op::Div: case Op::Mod: return Arithmetic(link, a, b);
    case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: return Compare(link, a, b);
    case Op::Eq:
    case Op::Ne:
        if (a.IsString() && b.IsString())
            Charge(link, cost::Scanned(std::min(a.str()->text.size(), b.str()->text.size())));
        return Value::Boolean(Equal(a, b) == (link->op == Op::Eq));
    default: Fail(link, "internal error: not an operator");
    }
}

// a op b op c ...: left to right in a loop, the way nested operators would have run.
Value Machine::Chain(const Node* n)
{
    Value acc = Eval(n->a);
    const std::size_t links = n->list.size();
    for (std::size_t i = 0; i < links; ++i) {
        const Node* link = n->list[i];
        switch (link->op) {
        case Op::And:
            if (acc.Truthy())
                acc = Eval(link->b);
            continue;
        case Op::Or:
            if (!acc.Truthy())
                acc = Eval(link->b);
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
        const Value right = Eval(link->b);
        if (acc.IsNumber() && right.IsNumber()) {
            const double x = acc.number();
            const double y = right.number();
            switch (link->op) {
            case Op::Add: acc = Value(x + y); continue;
            case Op::Sub: acc = Value(x - y); continue;
            case Op::Mul: acc = Value(x * y); continue;
            default: break;
            }
        }
        acc = Apply(link, acc, right);
    }
    return acc;
}

// acc is a string and the chain's link i is a '+': that and every '+' right after it
// join into one new string. Returns the last link joined.
std::size_t Machine::Join(const Node* chain, std::size_t i, Value& acc)
{
    std::string text = acc.str()->text;
    const Node* link = chain->list[i];
    for (; i < chain->list.size() && chain->list[i]->op == Op::Add; ++i) {
        link = chain->list[i];
        const Value v = Eval(link->b);
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
    Obj* o = target.obj();
    const int i = o->Find(n->slot, n->cache);
    if (i >= 0) {
        o->fields[static_cast<std::size_t>(i)].value = value;
        return value;
    }
    Charge(n, cost::kField);
    o->Add(n->slot, value);
    heap_.Grew(Heap::kFieldBytes);
    Allocated(n);
    return value;
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
    if (const auto it = atomIds_.find(name->text); it != atomIds_.end())
        return it->second;
    if (!add)
        return -1;
    // A new field name stays for the rest of the run, and counts as memory for it.
    Charge(n, cost::kNewName);
    Reserve(n, name->text.size());
    const auto atom = static_cast<int>(atoms_.size());
    atoms_.push_back(name->text);
    atomStrings_.emplace_back();
    atomIds_.emplace(name->text, atom);
    heap_.Grew(Heap::kStringBytes + name->text.size());
    return atom;
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
                    std::string(Cut(key.str()->text, kMaxShownName)) + "'");
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
    Obj* o = target.obj();
    const int atom = AtomOf(n, key.str(), true);
    const int i = o->Find(atom, n->cache);
    if (i >= 0) {
        o->fields[static_cast<std::size_t>(i)].value = value;
        return value;
    }
    Charge(n, cost::kField);
    o->Add(atom, value);
    heap_.Grew(Heap::kFieldBytes);
    Allocated(n);
    return value;
}

Value Machine::MakeObject(const Node* n)
{
    Charge(n, cost::kAlloc + n->list.size() * cost::kField);
    Value result(heap_.NewObject());
    Obj* o = result.obj();
    // Room for a field or two more: objects often gain some after they are made.
    o->fields.reserve(n->list.size() + 2);
    for (std::size_t i = 0; i < n->list.size(); ++i) {
        o->Add(n->atoms[i], Eval(n->list[i]));
        heap_.Grew(Heap::kFieldBytes);
    }
    Allocated(n);
    return result;
}

Value Machine::MakeArray(const Node* n)
{
    Charge(n, cost::kAlloc + n->list.size() * cost::kField);
    Value result(heap_.NewArray());
    Arr* a = result.arr();
    a->items.reserve(n->list.size());
    for (const Node* item : n->list) {
        a->items.push_back(Eval(item));
        heap_.Grew(Heap::kItemBytes);
    }
    Allocated(n);
    return result;
}

Value Machine::Call(const Node* n)
{
    const auto index = static_cast<std::size_t>(n->slot);
    const Function& f = program_.functions[index];
    if (frames_.size() >= static_cast<std::size_t>(limits_.callDepth))
        FailDepth(n);
    if (reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < stackFloor_)
        Fail(n, "program nested too deeply for the machine stack");
    // The body block's own step, and one for each variable to set up and clear.
    Charge(n, 1 + static_cast<std::uint64_t>(f.locals));
    Value* base = sp_;
    if (stackEnd_ - base < f.locals)
        Fail(n, "call stack full: too many local variables in nested calls");
    const std::size_t argc = n->list.size();
    for (std::size_t i = 0; i < argc; ++i) {
        const Node* arg = n->list[i];
        if (IsLeaf(arg)) {
            base[i] = Leaf(arg);
        } else {
            Value v = Eval(arg);
            base[i] = std::move(v);
        }
        sp_ = base + i + 1;
    }
    sp_ = base + f.locals;
    frames_.push_back(Frame{&f, base});
    ++calls_[index];
    Value* const savedFp = fp_;
    fp_ = base;
    Value result;
    const std::vector<Node*>& body = f.body->list;
    if (body.size() == 1 && body[0]->op == Op::Return && body[0]->a != nullptr) {
        // A body that only returns an expression needs no statement machinery;
        // it costs the steps Exec would charge for that return.
        const Node* const ret = body[0];
        Charge(ret, static_cast<std::uint64_t>(ret->weight));
        result = IsLeaf(ret->a) ? Leaf(ret->a) : Eval(ret->a);
    } else {
        for (const Node* s : body) {
            if (Exec(s) == Flow::Return) {
                result = std::move(retval_);
                break;
            }
        }
    }
    for (Value* p = base; p != sp_; ++p)
        p->Reset();
    sp_ = base;
    fp_ = savedFp;
    frames_.pop_back();
    return result;
}

Value Machine::Eval(const Node* n)
{
    switch (n->op) {
    case Op::Const:
        return n->value;
    case Op::Local:
        return fp_[n->slot];
    case Op::Global:
        return globals_[static_cast<std::size_t>(n->slot)];
    case Op::SetLocal: {
        Value v = Eval(n->a);
        fp_[n->slot] = v;
        return v;
    }
    case Op::SetGlobal: {
        Value v = Eval(n->a);
        globals_[static_cast<std::size_t>(n->slot)] = v;
        return v;
    }
    case Op::AppendLocal:
    case Op::AppendGlobal:
        if (const Value* sum = AddNumber(n))
            return *sum;
        return Append(n, n->op == Op::AppendLocal ? fp_[n->slot] : globals_[static_cast<std::size_t>(n->slot)]);
    case Op::Field: {
        if (IsLeaf(n->a))
            return FieldOf(n, Leaf(n->a));
        const Value target = Eval(n->a);
        return FieldOf(n, target);
    }
    case Op::SetField: {
        if (IsLeaf(n->a) && n->b->pure) {
            Value v = Eval(n->b);
            return StoreField(n, Leaf(n->a), std::move(v));
        }
        const Value target = Eval(n->a);
        Value v = Eval(n->b);
        return StoreField(n, target, std::move(v));
    }
    case Op::Index: {
        Operands o;
        Both(n, o);
        if (o.a->IsArray() && o.b->IsNumber()) {
            const auto& items = o.a->arr()->items;
            const double k = o.b->number();
            if (k >= 0 && k < static_cast<double>(items.size())) {
                const auto i = static_cast<std::size_t>(k);
                if (static_cast<double>(i) == k)
                    return items[i];
            }
        }
        return GetIndex(n, *o.a, *o.b);
    }
    case Op::SetIndex: {
        // Target, index, value: each read in place only when what runs after it cannot change it.
        Value target;
        Value key;
        const Value* t = &target;
        const Value* k = &key;
        if (IsLeaf(n->a) && n->b->pure && n->c->pure)
            t = &Leaf(n->a);
        else
            target = Eval(n->a);
        if (IsLeaf(n->b) && n->c->pure)
            k = &Leaf(n->b);
        else
            key = Eval(n->b);
        Value v = Eval(n->c);
        if (t->IsArray() && k->IsNumber()) {
            auto& items = t->arr()->items;
            const double x = k->number();
            if (x >= 0 && x < static_cast<double>(items.size())) {
                const auto i = static_cast<std::size_t>(x);
                if (static_cast<double>(i) == x) {
                    items[i] = v;
                    return v;
                }
            }
        }
        return SetIndex(n, *t, *k, std::move(v));
    }
    case Op::Call:
        return Call(n);
    case Op::Builtin:
        return CallBuiltin(n);
    case Op::ObjectLit:
        return MakeObject(n);
    case Op::ArrayLit:
        return MakeArray(n);
    case Op::Chain:
        return Chain(n);
    case Op::Neg: {
        const Value v = Eval(n->a);
        if (!v.IsNumber())
            FailNegate(n, v);
        return Value(-v.number());
    }
    case Op::Not:
        return Value::Boolean(!Test(n->a));
    case Op::And: {
        Value v = Eval(n->a);
        return v.Truthy() ? Eval(n->b) : v;
    }
    case Op::Or: {
        Value v = Eval(n->a);
        return v.Truthy() ? v : Eval(n->b);
    }
    case Op::Add: {
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber())
            return Value(o.a->number() + o.b->number());
        return Add(n, *o.a, *o.b);
    }
    case Op::Sub: {
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber())
            return Value(o.a->number() - o.b->number());
        return Arithmetic(n, *o.a, *o.b);
    }
    case Op::Mul: {
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber())
            return Value(o.a->number() * o.b->number());
        return Arithmetic(n, *o.a, *o.b);
    }
    case Op::Div: {
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber() && o.b->number() != 0)
            return Value(o.a->number() / o.b->number());
        return Arithmetic(n, *o.a, *o.b);
    }
    case Op::Mod: {
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber() && o.b->number() != 0)
            return Value(Remainder(o.a->number(), o.b->number()));
        return Arithmetic(n, *o.a, *o.b);
    }
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

// x = x + y for numbers x and y in variables or constants: the common counter step,
// done in place. Gives the variable, or null when n is not of that kind.
const Value* Machine::AddNumber(const Node* n)
{
    if (n->op != Op::AppendLocal && n->op != Op::AppendGlobal)
        return nullptr;
    Value& target = n->op == Op::AppendLocal ? fp_[n->slot] : globals_[static_cast<std::size_t>(n->slot)];
    const Node* add = n->list.front();
    if (!target.IsNumber() || !IsLeaf(add->b) || n->list.size() != 1)
        return nullptr;
    const Value& y = Leaf(add->b);
    if (!y.IsNumber())
        return nullptr;
    target = Value(target.number() + y.number());
    return &target;
}

void Machine::Both(const Node* n, Operands& o)
{
    if (IsLeaf(n->a) && IsLeaf(n->b)) {
        o.a = &Leaf(n->a);
        o.b = &Leaf(n->b);
        return;
    }
    if (IsLeaf(n->a) && n->b->pure) {
        o.a = &Leaf(n->a);
    } else {
        o.left = Eval(n->a);
        o.a = &o.left;
    }
    if (IsLeaf(n->b)) {
        o.b = &Leaf(n->b);
    } else {
        o.right = Eval(n->b);
        o.b = &o.right;
    }
}

// The truth of a condition, without making a boolean value for comparisons.
bool Machine::Test(const Node* n)
{
    switch (n->op) {
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: {
        if (IsLeaf(n->a) && IsLeaf(n->b)) {
            const Value& a = Leaf(n->a);
            const Value& b = Leaf(n->b);
            if (a.IsNumber() && b.IsNumber()) {
                const double x = a.number();
                const double y = b.number();
                switch (n->op) {
                case Op::Lt: return x < y;
                case Op::Le: return x <= y;
                case Op::Gt: return x > y;
                default: return x >= y;
                }
            }
        }
        Operands o;
        Both(n, o);
        if (o.a->IsNumber() && o.b->IsNumber()) {
            const double x = o.a->number();
            const double y = o.b->number();
            switch (n->op) {
            case Op::Lt: return x < y;
            case Op::Le: return x <= y;
            case Op::Gt: return x > y;
            default: return x >= y;
            }
        }
        return Compare(n, *o.a, *o.b).boolean();
    }
    case Op::Eq:
    case Op::Ne: {
        Operands o;
        Both(n, o);
        if (o.a->IsString() && o.b->IsString())
            Charge(n, cost::Scanned(std::min(o.a->str()->text.size(), o.b->str()->text.size())));
        return Equal(*o.a, *o.b) == (n->op == Op::Eq);
    }
    case Op::Not:
        return !Test(n->a);
    case Op::And:
        return Test(n->a) && Test(n->b);
    case Op::Or:
        return Test(n->a) || Test(n->b);
    case Op::Const:
    case Op::Local:
    case Op::Global:
        return Leaf(n).Truthy();
    default:
        return Eval(n).Truthy();
    }
}

Value Machine::FieldOf(const Node* n, const Value& target)
{
    if (target.IsObject()) {
        const Obj* o = target.obj();
        const auto c = static_cast<std::size_t>(n->cache);
        if (c < o->fields.size() && o->fields[c].atom == n->slot)
            return o->fields[c].value;
    }
    return GetField(n, target);
}

Value Machine::StoreField(const Node* n, const Value& target, Value value)
{
    if (target.IsObject()) {
        Obj* o = target.obj();
        const auto c = static_cast<std::size_t>(n->cache);
        if (c < o->fields.size() && o->fields[c].atom == n->slot) {
            o->fields[c].value = value;
            return value;
        }
    }
    return SetField(n, target, std::move(value));
}

// An expression statement; at the top level its value becomes the last one.
void Machine::Expression(const Node* s)
{
    if (const Value* sum = AddNumber(s->a)) {
        if (s->op == Op::TopExprStmt)
            last_ = *sum;
        return;
    }
    if (s->op == Op::ExprStmt) {
        Eval(s->a);
        return;
    }
    // The statement's value replaces the last one; let go of that first, so that a
    // string it held can grow in place only when nothing else holds it.
    if (last_.IsString())
        last_ = Value();
    last_ = Eval(s->a);
}

// A while or for loop; a block body runs here, one call level less per turn.
Machine::Flow Machine::Loop(const Node* n)
{
    const bool isFor = n->op == Op::For;
    const Node* condition = isFor ? n->b : n->a;
    const Node* body = isFor ? n->d : n->b;
    if (isFor && n->a != nullptr) {
        if (n->a->op == Op::ExprStmt) {
            Charge(n->a, static_cast<std::uint64_t>(n->a->weight));
            Eval(n->a->a);
        } else {
            Exec(n->a);
        }
    }
    // A turn costs the loop's own parts, and one more for a block body.
    const bool block = body->op == Op::Block;
    const auto turn = static_cast<std::uint64_t>(n->weight) + (block ? 1 : 0);
    for (;;) {
        Charge(n, turn);
        if (condition != nullptr && !Test(condition))
            break;
        Flow flow = Flow::Normal;
        if (block) {
            for (const Node* s : body->list) {
                // Expression statements, the most common, run here without a call of their own.
                if (s->op == Op::ExprStmt || s->op == Op::TopExprStmt) {
                    Charge(s, static_cast<std::uint64_t>(s->weight));
                    Expression(s);
                    continue;
                }
                flow = Exec(s);
                if (flow != Flow::Normal)
                    break;
            }
        } else if (body->op == Op::ExprStmt || body->op == Op::TopExprStmt) {
            Charge(body, static_cast<std::uint64_t>(body->weight));
            Expression(body);
        } else {
            flow = Exec(body);
        }
        if (flow == Flow::Return)
            return flow;
        if (flow == Flow::Break)
            break;
        if (isFor && n->c != nullptr && AddNumber(n->c) == nullptr)
            Eval(n->c);
    }
    return Flow::Normal;
}

Machine::Flow Machine::Exec(const Node* n)
{
    Charge(n, static_cast<std::uint64_t>(n->weight));
    switch (n->op) {
    case Op::ExprStmt:
    case Op::TopExprStmt:
        Expression(n);
        return Flow::Normal;
    case Op::DeclLocal: {
        Value v = n->a != nullptr ? Eval(n->a) : Value();
        fp_[n->slot] = std::move(v);
        return Flow::Normal;
    }
    case Op::DeclGlobal: {
        Value v = n->a != nullptr ? Eval(n->a) : Value();
        globals_[static_cast<std::size_t>(n->slot)] = std::move(v);
        return Flow::Normal;
    }
    case Op::Print:
        Print(n, Eval(n->a));
        return Flow::Normal;
    case Op::If:
        // An 'else if' chain runs in this loop; each further condition costs its steps.
        for (const Node* branch = n;;) {
            if (Test(branch->a))
                return Exec(branch->b);
            branch = branch->c;
            if (branch == nullptr)
                return Flow::Normal;
            if (branch->op != Op::If)
                return Exec(branch);
            Charge(branch, static_cast<std::uint64_t>(branch->weight));
        }
    case Op::While:
    case Op::For:
        return Loop(n);
    case Op::Break:
        return Flow::Break;
    case Op::Continue:
        return Flow::Continue;
    case Op::Block:
        for (const Node* s : n->list) {
            const Flow flow = Exec(s);
            if (flow != Flow::Normal)
                return flow;
        }
        return Flow::Normal;
    case Op::Return:
        if (n->a == nullptr)
            retval_ = Value();
        else if (IsLeaf(n->a))
            retval_ = Leaf(n->a);
        else
            retval_ = Eval(n->a);
        return Flow::Return;
    case Op::Nop:
        return Flow::Normal;
    default:
        Fail(n, "internal error: not a statement");
    }
}

void Machine::Run(RunReport& report)
{
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    stackFloor_ = here > limits_.stackBytes ? here - limits_.stackBytes : 0;
    ScriptError error;
    bool failed = false;
    try {
        for (const Node* s : program_.statements) {
            if (Exec(s) == Flow::Return) {
                last_ = std::move(retval_);
                break;
            }
        }
    } catch (ScriptError& e) {
        failed = true;
        error = std::move(e);
    } catch (const std::bad_alloc&) {
        failed = true;
        error = ScriptError{"out of memory", 0, 0};
        failedFrames_.clear();
        failedRoots_.clear();
    }
    for (Value* p = stack_.get(); p != stackEnd_; ++p)
        *p = Value();
    frames_.clear();
    retval_ = Value();

    report.ok = !failed;
    report.steps = steps_;
    report.log = std::move(log_);
    if (logFull_)
        report.log.push_back("(log cut: the program printed more than " + std::to_string(limits_.logBytes) +
                             " bytes)");
    if (failed) {
        const std::string where = error.line > 0 ? " at line " + std::to_string(error.line) + ", column " +
                                                       std::to_string(error.column)
                                                 : std::string();
        report.result = "Run failed" + where + ": " + error.message;
        report.log.push_back("Error" + where + ": " + error.message);
        last_ = Value();
    } else {
        const std::string_view text = last_.IsString() ? std::string_view(last_.str()->text) : std::string_view();
        if (text.size() > limits_.logBytes)
            report.result = std::string(Cut(text, limits_.logBytes)) + "... (" + std::to_string(text.size()) +
                            " bytes)";
        else
            report.result = Display(last_, atoms_);
    }
    DumpStacks(report, last_);
}

void Machine::DumpStacks(RunReport& report, const Value& result)
{
    // Adds a line unless the dump is already long; then says how many were left out.
    auto add = [](std::vector<std::string>& lines, std::size_t& bytes, std::size_t total, std::string line) {
        if (lines.size() >= kMaxDumpLines || bytes + line.size() > kMaxDumpBytes) {
            lines.push_back("... (" + std::to_string(total - lines.size()) + " more)");
            return false;
        }
        bytes += line.size();
        lines.push_back(std::move(line));
        return true;
    };

    std::size_t bytes = 0;
    for (std::size_t i = 0; i < globals_.size(); ++i)
        if (!add(report.variables, bytes, globals_.size(), program_.globals[i] + " = " + Repr(globals_[i])))
            break;

    report.parameters = std::move(failedFrames_);

    // Objects and arrays reachable from the roots, listed in the order they were made.
    std::vector<Container*> reached;
    auto visit = [&reached](const Value& v) {
        if (v.IsContainer() && v.container()->mark == 0) {
            v.container()->mark = 1;
            reached.push_back(v.container());
        }
    };
    for (const Value& v : globals_)
        visit(v);
    for (const Value& v : failedRoots_)
        visit(v);
    visit(result);
    for (std::size_t i = 0; i < reached.size(); ++i)
        ForEachChild(reached[i], [&visit](Container* c) { visit(Hold(c)); });
    bytes = 0;
    for (Container* c = heap_.oldest(); c != nullptr; c = c->next)
        if (c->mark != 0 && !add(report.objects, bytes, reached.size(), Display(Hold(c), atoms_)))
            break;

    bytes = 0;
    for (std::size_t i = 0; i < program_.functions.size(); ++i) {
        const Function& f = program_.functions[i];
        std::string line = f.name + "(";
        for (std::size_t k = 0; k < f.params.size(); ++k)
            line += (k > 0 ? ", " : "") + f.params[k];
        line += "): called " + std::to_string(calls_[i]) + (calls_[i] == 1 ? " time" : " times");
        if (!add(report.functions, bytes, program_.functions.size(), std::move(line)))
            break;
    }
}

} // namespace qav
