#include "interpreter/core/Machine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

namespace qav {

namespace {

constexpr std::size_t kMaxStackValues = 1 << 20;
constexpr std::size_t kMaxDumpLines = 1000;
constexpr std::size_t kMaxDumpBytes = 256 * 1024;
constexpr std::size_t kMaxShownFields = 100;
constexpr std::size_t kMaxShownString = 200;

const char* TypeName(const Value& v)
{
    switch (v.type()) {
    case Type::Nil: return "nil";
    case Type::Bool: return "a boolean";
    case Type::Number: return "a number";
    case Type::String: return "a string";
    case Type::Object: return "an object";
    }
    return "a value";
}

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
    return n->op == Op::Const || n->op == Op::Local || n->op == Op::Global;
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
    case Type::Object: return a.obj() == b.obj();
    }
    return false;
}

// Cuts a text to at most max bytes without splitting a UTF-8 sequence.
std::string_view Cut(std::string_view s, std::size_t max)
{
    if (s.size() <= max)
        return s;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

std::string Quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : Cut(s, kMaxShownString)) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    out += '"';
    if (s.size() > kMaxShownString)
        out += "... (" + std::to_string(s.size()) + " bytes)";
    return out;
}

std::string ObjectName(const Obj* o)
{
    std::string name(1, '#');
    name += std::to_string(o->id);
    return name;
}

} // namespace

std::string FormatNumber(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d < 0 ? "-inf" : "inf";
    if (d == std::trunc(d) && std::fabs(d) < 1e15)
        return std::to_string(static_cast<long long>(d));
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

std::string Repr(const Value& v)
{
    switch (v.type()) {
    case Type::Nil: return "nil";
    case Type::Bool: return v.boolean() ? "true" : "false";
    case Type::Number: return FormatNumber(v.number());
    case Type::String: return Quote(v.str()->text);
    case Type::Object: return ObjectName(v.obj());
    }
    return "?";
}

std::string Display(const Value& v, const std::vector<std::string>& atoms)
{
    if (v.IsString())
        return v.str()->text;
    if (!v.IsObject())
        return Repr(v);
    const Obj* o = v.obj();
    std::string out = ObjectName(o);
    out += " {";
    for (std::size_t i = 0; i < o->fields.size(); ++i) {
        if (i == kMaxShownFields) {
            out += ", ... (" + std::to_string(o->fields.size()) + " fields)";
            break;
        }
        if (i > 0)
            out += ", ";
        out += atoms[static_cast<std::size_t>(o->fields[i].atom)];
        out += ": ";
        out += Repr(o->fields[i].value);
    }
    out += "}";
    return out;
}

Machine::Machine(const Program& program, const Limits& limits)
    : program_(program), limits_(limits), globals_(program.globals.size()), calls_(program.functions.size())
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

void Machine::FailSteps(const Node* n)
{
    Fail(n, "step limit reached: the program ran more than " + std::to_string(limits_.steps) + " steps");
}

void Machine::FailDepth(const Node* n)
{
    Fail(n, "call depth limit reached: more than " + std::to_string(limits_.callDepth) + " nested calls");
}

void Machine::FailNegate(const Node* n, const Value& v)
{
    Fail(n, std::string("cannot apply '-' to ") + TypeName(v));
}

void Machine::CheckHeap(const Node* n)
{
    if (heap_.bytes() > limits_.heapBytes)
        Fail(n, "memory limit reached: strings and objects take more than " + std::to_string(limits_.heapBytes) +
                    " bytes");
}

void Machine::Print(const Node* n, const Value& v)
{
    if (logFull_)
        return;
    const std::string text = Display(v, program_.atoms);
    Charge(n, Cost(text.size()));
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

Value Machine::Concat(const Node* n, const std::string& left, const std::string& right)
{
    if (left.size() + right.size() > limits_.heapBytes - std::min(heap_.bytes(), limits_.heapBytes))
        Fail(n, "memory limit reached: a string of " + std::to_string(left.size() + right.size()) + " bytes");
    Charge(n, Cost(left.size() + right.size()));
    std::string text;
    text.reserve(left.size() + right.size());
    text += left;
    text += right;
    Value v(heap_.NewString(std::move(text)));
    CheckHeap(n);
    return v;
}

Value Machine::Add(const Node* n, const Value& a, const Value& b)
{
    if (a.IsNumber() && b.IsNumber())
        return Value(a.number() + b.number());
    if (a.IsString() && b.IsString())
        return Concat(n, a.str()->text, b.str()->text);
    if (a.IsString())
        return Concat(n, a.str()->text, Display(b, program_.atoms));
    if (b.IsString())
        return Concat(n, Display(a, program_.atoms), b.str()->text);
    Fail(n, std::string("cannot apply '+' to ") + TypeName(a) + " and " + TypeName(b));
}

// x = x + a + b ...: when x holds a string that nothing else can see, the texts of
// a, b ... are appended to it in place; otherwise the '+'s run one by one.
Value Machine::Append(const Node* n, Value& target)
{
    if (!target.IsString() || target.str()->heap != &heap_) {
        Value acc = target;
        for (const Node* add : n->list) {
            Value v = Eval(add->b);
            acc = acc.IsNumber() && v.IsNumber() ? Value(acc.number() + v.number()) : Add(add, acc, v);
        }
        target = acc;
        return target;
    }
    const Value old = target;
    std::string tail;
    for (const Node* add : n->list) {
        Value v = Eval(add->b);
        if (v.IsString())
            tail += v.str()->text;
        else
            tail += Display(v, program_.atoms);
        if (tail.size() > limits_.heapBytes)
            Fail(add, "memory limit reached: a string of " + std::to_string(tail.size()) + " bytes");
    }
    Str* s = old.str();
    // The last statement's value may share it; this statement replaces that value anyway.
    const std::uint32_t others = last_.IsString() && last_.str() == s ? 1 : 0;
    if (!target.IsString() || target.str() != s || s->refs != 2 + others) {
        target = Concat(n, s->text, tail);
        return target;
    }
    if (tail.size() > limits_.heapBytes - std::min(heap_.bytes(), limits_.heapBytes))
        Fail(n, "memory limit reached: a string of " + std::to_string(s->text.size() + tail.size()) + " bytes");
    Charge(n, Cost(tail.size()));
    const std::size_t before = Footprint(*s);
    s->text += tail;
    heap_.Grew(Footprint(*s) - before);
    CheckHeap(n);
    return target;
}

Value Machine::Arithmetic(const Node* n, const Value& a, const Value& b)
{
    if (!a.IsNumber() || !b.IsNumber())
        Fail(n, std::string("cannot apply ") + OpText(n->op) + " to " + TypeName(a) + " and " + TypeName(b));
    const double x = a.number();
    const double y = b.number();
    switch (n->op) {
    case Op::Sub: return Value(x - y);
    case Op::Mul: return Value(x * y);
    case Op::Div:
        if (y == 0)
            Fail(n, "division by zero");
        return Value(x / y);
    default:
        if (y == 0)
            Fail(n, "division by zero");
        return Value(std::fmod(x, y));
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
        Fail(n, std::string("cannot apply ") + OpText(n->op) + " to " + TypeName(a) + " and " + TypeName(b));
    Charge(n, Cost(std::min(a.str()->text.size(), b.str()->text.size())));
    order = a.str()->text.compare(b.str()->text);
    switch (n->op) {
    case Op::Lt: return Value::Boolean(order < 0);
    case Op::Le: return Value::Boolean(order <= 0);
    case Op::Gt: return Value::Boolean(order > 0);
    default: return Value::Boolean(order >= 0);
    }
}

namespace {

int FindField(const Obj* o, int atom, int& cache)
{
    const auto size = static_cast<int>(o->fields.size());
    if (cache < size && o->fields[static_cast<std::size_t>(cache)].atom == atom)
        return cache;
    for (int i = 0; i < size; ++i) {
        if (o->fields[static_cast<std::size_t>(i)].atom == atom) {
            cache = i;
            return i;
        }
    }
    return -1;
}

} // namespace

Value Machine::GetField(const Node* n, const Value& target)
{
    if (!target.IsObject())
        Fail(n, "cannot read field '" + n->name + "' of " + TypeName(target));
    Charge(n, target.obj()->fields.size() / 8);
    const int i = FindField(target.obj(), n->slot, n->cache);
    if (i < 0)
        Fail(n, "object #" + std::to_string(target.obj()->id) + " has no field '" + n->name + "'");
    return target.obj()->fields[static_cast<std::size_t>(i)].value;
}

Value Machine::SetField(const Node* n, const Value& target, Value value)
{
    if (!target.IsObject())
        Fail(n, "cannot set field '" + n->name + "' on " + TypeName(target));
    Obj* o = target.obj();
    Charge(n, o->fields.size() / 8);
    const int i = FindField(o, n->slot, n->cache);
    if (i >= 0) {
        o->fields[static_cast<std::size_t>(i)].value = value;
        return value;
    }
    const std::size_t before = o->fields.capacity();
    o->fields.push_back(Field{n->slot, value});
    heap_.Grew((o->fields.capacity() - before) * FieldFootprint());
    CheckHeap(n);
    return value;
}

Value Machine::MakeObject(const Node* n)
{
    Value result(heap_.NewObject());
    Obj* o = result.obj();
    o->fields.reserve(n->list.size());
    heap_.Grew(o->fields.capacity() * FieldFootprint());
    CheckHeap(n);
    for (std::size_t i = 0; i < n->list.size(); ++i)
        o->fields.push_back(Field{n->atoms[i], Eval(n->list[i])});
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
    // The body block's own step, and more for a function with many variables to clear.
    Charge(n, 1 + static_cast<std::uint64_t>(f.locals) / 16);
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
    for (const Node* s : f.body->list) {
        if (Exec(s) == Flow::Return) {
            result = std::move(retval_);
            break;
        }
    }
    for (Value* p = base; p != sp_; ++p)
        *p = Value();
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
    case Op::AppendGlobal: {
        Value& target = n->op == Op::AppendLocal ? fp_[n->slot] : globals_[static_cast<std::size_t>(n->slot)];
        if (target.IsNumber() && n->list.size() == 1 && IsLeaf(n->list[0]->b)) {
            const Value& y = Leaf(n->list[0]->b);
            if (y.IsNumber()) {
                target = Value(target.number() + y.number());
                return target;
            }
        }
        return Append(n, target);
    }
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
    case Op::Call:
        return Call(n);
    case Op::ObjectLit:
        return MakeObject(n);
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
    case Op::Div:
    case Op::Mod: {
        Operands o;
        Both(n, o);
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

void Machine::Both(const Node* n, Operands& o)
{
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
            Charge(n, Cost(std::min(o.a->str()->text.size(), o.b->str()->text.size())));
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

Machine::Flow Machine::Exec(const Node* n)
{
    Charge(n, static_cast<std::uint64_t>(n->weight));
    switch (n->op) {
    case Op::ExprStmt:
        Eval(n->a);
        return Flow::Normal;
    case Op::TopExprStmt:
        last_ = Eval(n->a);
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
        if (Test(n->a))
            return Exec(n->b);
        return n->c != nullptr ? Exec(n->c) : Flow::Normal;
    case Op::While: {
        // A block body runs here, one call level less per turn; it still costs its step.
        const Node* body = n->b;
        const bool block = body->op == Op::Block;
        for (;;) {
            Charge(n, static_cast<std::uint64_t>(n->weight));
            if (!Test(n->a))
                break;
            if (block) {
                Charge(body, 1);
                for (const Node* s : body->list)
                    if (Exec(s) == Flow::Return)
                        return Flow::Return;
            } else if (Exec(body) == Flow::Return) {
                return Flow::Return;
            }
        }
        return Flow::Normal;
    }
    case Op::Block:
        for (const Node* s : n->list)
            if (Exec(s) == Flow::Return)
                return Flow::Return;
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
            report.result = Display(last_, program_.atoms);
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

    std::vector<Obj*> alive;
    auto visit = [&alive](const Value& v) {
        if (v.IsObject() && v.obj()->mark == 0) {
            v.obj()->mark = 1;
            alive.push_back(v.obj());
        }
    };
    for (const Value& v : globals_)
        visit(v);
    for (const Value& v : failedRoots_)
        visit(v);
    visit(result);
    for (std::size_t i = 0; i < alive.size(); ++i)
        for (const Field& f : alive[i]->fields)
            visit(f.value);
    std::sort(alive.begin(), alive.end(), [](const Obj* a, const Obj* b) { return a->id < b->id; });
    bytes = 0;
    for (Obj* o : alive)
        if (!add(report.objects, bytes, alive.size(), Display(Value(o), program_.atoms)))
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
