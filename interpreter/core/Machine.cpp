#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"

#include <algorithm>
#include <new>

namespace qav {

namespace {

// Values in a segment of the value stack, unless a call needs more at once.
constexpr std::size_t kSegmentValues = 4 * 1024;

} // namespace

Machine::Machine(const Program& program, const Limits& limits)
    : program_(program), limits_(limits), globals_(program.globals.size()), calls_(program.functions.size())
{
    segments_.push_back(Segment{std::make_unique<Value[]>(kSegmentValues), nullptr, nullptr});
    segmentEnd_ = segments_[0].end = segments_[0].values.get() + kSegmentValues;
    sp_ = fp_ = segments_[0].values.get();
    heap_.Grew(kSegmentValues * Heap::kValueBytes);
    heap_.names().Start(heap_, program.atoms);
    checkAt_ = std::min(limits_.steps, kStepsPerCheck);
    collectAt_ = std::min(kMinCollectBytes, limits_.heapBytes);
}

Machine::~Machine()
{
    heap_.Close();
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
    ForEachStacked([](Value& v) { v.Reset(); });
    frames_.clear();
    retval_ = Value();
    Finish(report, failed ? &error : nullptr);
}

// An expression statement; at the top level its value becomes the last one.
void Machine::Expression(const Node* s)
{
    if (const Value* sum = AddNumber(s->value())) {
        if (s->op == Op::TopExprStmt)
            last_ = *sum;
        return;
    }
    if (s->op == Op::ExprStmt) {
        if (s->value()->op != Op::SetIndex || !StoreItem(s->value()))
            Eval(s->value());
        return;
    }
    // The statement's value replaces the last one; let go of that first, so that a
    // string it held can grow in place only when nothing else holds it.
    if (last_.IsString())
        last_ = Value();
    last_ = Eval(s->value());
}

// A while or for loop; a block body runs here, one call level less per turn.
Machine::Flow Machine::Loop(const Node* n)
{
    const bool isFor = n->op == Op::For;
    const Node* condition = n->cond();
    const Node* body = n->body();
    if (const Node* init = n->init()) {
        if (init->op == Op::ExprStmt) {
            Charge(init, static_cast<std::uint64_t>(init->weight));
            Eval(init->value());
        } else {
            Exec(init);
        }
    }
    // Each part is charged as it runs: the condition each time it is tested, a block
    // body each turn, and the step each time it runs.
    const bool block = body->op == Op::Block;
    const Node* step = isFor ? n->step() : nullptr;
    for (;;) {
        if (condition != nullptr) {
            Charge(condition, static_cast<std::uint64_t>(condition->weight));
            if (!Test(condition))
                break;
        }
        if (block)
            Charge(body, 1);
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
        if (step != nullptr) {
            Charge(step, static_cast<std::uint64_t>(step->weight));
            if (AddNumber(step) == nullptr)
                Eval(step);
        }
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
        if (n->value() != nullptr && (n->value()->op == Op::Index || n->value()->op == Op::Field)) {
            if (const Value* p = Place(n->value())) {
                // Copied first: letting go of the variable's old value may free what held it.
                Value v = *p;
                fp_[n->slot] = std::move(v);
                return Flow::Normal;
            }
        }
        Value v = n->value() != nullptr ? Eval(n->value()) : Value();
        fp_[n->slot] = std::move(v);
        return Flow::Normal;
    }
    case Op::DeclGlobal: {
        Value v = n->value() != nullptr ? Eval(n->value()) : Value();
        globals_[static_cast<std::size_t>(n->slot)] = std::move(v);
        return Flow::Normal;
    }
    case Op::Print:
        Print(n, Eval(n->value()));
        return Flow::Normal;
    case Op::If:
        // An 'else if' chain runs in this loop; each further condition costs its steps.
        for (const Node* branch = n;;) {
            if (Test(branch->cond()))
                return Exec(branch->then());
            branch = branch->otherwise();
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
            // Expression statements, the most common, run here without a call of their own.
            if (s->op == Op::ExprStmt || s->op == Op::TopExprStmt) {
                Charge(s, static_cast<std::uint64_t>(s->weight));
                Expression(s);
                continue;
            }
            const Flow flow = Exec(s);
            if (flow != Flow::Normal)
                return flow;
        }
        return Flow::Normal;
    case Op::Return:
        if (n->value() == nullptr)
            retval_ = Value();
        else if (IsLeaf(n->value()))
            retval_ = Leaf(n->value());
        else
            retval_ = Eval(n->value());
        return Flow::Return;
    case Op::Nop:
        return Flow::Normal;
    default:
        Fail(n, "internal error: not a statement");
    }
}

Value Machine::Call(const Node* n)
{
    const auto index = static_cast<std::size_t>(n->slot);
    const Function& f = program_.functions[index];
    if (frames_.size() >= static_cast<std::size_t>(limits_.callDepth))
        FailDepth(n);
    if (reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < stackFloor_)
        Fail(n, "program nested too deeply for the machine stack");
    // The body block's own step, and each variable to set up and clear.
    Charge(n, 1 + cost::kVariable * static_cast<std::uint64_t>(f.locals));
    const std::size_t savedSegment = segment_;
    Value* const savedSp = sp_;
    Value* base = segmentEnd_ - sp_ >= f.locals ? sp_ : Grow(n, static_cast<std::size_t>(f.locals));
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
    if (body.size() == 1 && body[0]->op == Op::Return && body[0]->value() != nullptr) {
        // A body that only returns an expression needs no statement machinery;
        // it costs the steps Exec would charge for that return.
        const Node* const ret = body[0];
        Charge(ret, static_cast<std::uint64_t>(ret->weight));
        result = IsLeaf(ret->value()) ? Leaf(ret->value()) : Eval(ret->value());
    } else {
        for (const Node* s : body) {
            // A return at the body's own level, or as the whole of an 'if' there without
            // 'else', gives its value here without Exec, charged as Exec would charge.
            const Node* ret = s;
            if (s->op == Op::If && s->otherwise() == nullptr && s->then()->op == Op::Return) {
                Charge(s, static_cast<std::uint64_t>(s->weight));
                if (!Test(s->cond()))
                    continue;
                ret = s->then();
            }
            if (ret->op == Op::Return) {
                Charge(ret, static_cast<std::uint64_t>(ret->weight));
                if (ret->value() != nullptr)
                    result = Eval(ret->value());
                break;
            }
            if (Exec(s) == Flow::Return) {
                result = std::move(retval_);
                break;
            }
        }
    }
    for (Value* p = base; p != sp_; ++p)
        p->Reset();
    if (segment_ != savedSegment) {
        segment_ = savedSegment;
        segmentEnd_ = segments_[segment_].end;
    }
    sp_ = savedSp;
    fp_ = savedFp;
    frames_.pop_back();
    return result;
}

Value* Machine::Grow(const Node* n, std::size_t count)
{
    segments_[segment_].top = sp_;
    const std::size_t next = segment_ + 1;
    if (next == segments_.size() || segments_[next].end - segments_[next].values.get() < static_cast<std::ptrdiff_t>(count)) {
        const std::size_t size = std::max(kSegmentValues, count);
        Reserve(n, 0, size * Heap::kValueBytes);
        Segment segment{std::make_unique<Value[]>(size), nullptr, nullptr};
        segment.end = segment.values.get() + size;
        if (next == segments_.size()) {
            segments_.push_back(std::move(segment));
        } else {
            heap_.Shrank(static_cast<std::size_t>(segments_[next].end - segments_[next].values.get()) * Heap::kValueBytes);
            segments_[next] = std::move(segment);
        }
        heap_.Grew(size * Heap::kValueBytes);
        Allocated(n);
    }
    segment_ = next;
    segmentEnd_ = segments_[next].end;
    sp_ = segments_[next].values.get();
    return sp_;
}

} // namespace qav
