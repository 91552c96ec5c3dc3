// Runs a resolved program: a tree walker over slots, with a step budget that tracks the
// work done, a stop flag a host may set, a call depth limit, a guard on the machine stack
// it uses and a memory limit that only what the program can reach counts against.
//
// Its parts, each in a file of its own:
//   Machine.cpp         statements, loops and calls
//   MachineEval.cpp     expressions: operators, conditions and the fast paths
//   MachineStrings.cpp  joining, appending and printing text
//   MachineFields.cpp   fields, items and the literals that make them
//   MachineMemory.cpp   memory: charged, counted, cycles collected, limit enforced
//   MachineReport.cpp   failures, and the report of a run with its stacks
//   Builtins.cpp        the built-in functions
#pragma once

#include "interpreter/core/Ast.h"
#include "interpreter/core/Builtins.h"
#include "interpreter/core/Error.h"
#include "interpreter/core/Heap.h"
#include "interpreter/core/Limits.h"
#include "interpreter/core/Operators.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qav {

class Machine {
public:
    Machine(const Program& program, const Limits& limits);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine();

    // Runs the top level; fills the report's result, log, stacks and steps.
    void Run(RunReport& report);

private:
    // Steps between looks at the stop flag: often enough to stop within a millisecond.
    static constexpr std::uint64_t kStepsPerCheck = 1 << 15;
    // Below this much memory in use, cycles are not worth looking for.
    static constexpr std::size_t kMinCollectBytes = 4 * 1024 * 1024;

    enum class Flow { Normal, Return, Break, Continue };

    struct Frame {
        const Function* function;
        Value* base;
    };

    // Machine.cpp. Eval and Exec recurse into each other; everything off their fast
    // paths stays out of line so that their frames, and so the stack per nested call,
    // stay small.
    Flow Exec(const Node* n);
    inline void Expression(const Node* s);
    [[gnu::noinline]] Flow Loop(const Node* n);
    [[gnu::noinline]] Value Call(const Node* n);
    // Room for count values on the value stack, from a new segment when the one in
    // use is full; gives where they start.
    [[gnu::noinline]] Value* Grow(const Node* n, std::size_t count);
    // Every value on the value stack, oldest first.
    template <typename Visit>
    void ForEachStacked(Visit&& visit)
    {
        for (std::size_t i = 0; i <= segment_; ++i)
            for (Value* p = segments_[i].values.get(); p != (i == segment_ ? sp_ : segments_[i].top); ++p)
                visit(*p);
    }

    // MachineEval.cpp
    // A constant or variable is read here, without a call, and a call of a function
    // goes straight to it; anything else is worked out.
    [[gnu::always_inline]] Value Eval(const Node* n)
    {
        if (IsLeaf(n))
            return Leaf(n);
        if (n->op == Op::Call)
            return Call(n);
        return Compute(n);
    }
    Value Compute(const Node* n);
    bool Test(const Node* n);
    // The right side of '&&' or '||', which runs only at times: charged as it runs.
    Value Optional(const Node* n)
    {
        Charge(n, static_cast<std::uint64_t>(n->weight));
        return Eval(n);
    }
    // Both operands of a binary node; a variable or constant is read in place, the
    // left one only when the right cannot change it.
    struct Operands {
        Value left;
        Value right;
        const Value* a;
        const Value* b;
        [[gnu::always_inline]] ~Operands() {}
    };
    [[gnu::always_inline]] inline void Both(const Node* left, const Node* right, Operands& o);
    const Value& Leaf(const Node* n) const
    {
        if (n->op == Op::Local)
            return fp_[n->slot];
        if (n->op == Op::Global)
            return globals_[static_cast<std::size_t>(n->slot)];
        return n->constant;
    }
    // Number operators on numbers at once; anything else through the ...Of forms.
    template <Op op>
    [[gnu::always_inline]] inline Value Arithmetic(const Node* n);
    template <Op op>
    [[gnu::noinline]] Value ArithmeticOf(const Node* n);
    template <Op op>
    [[gnu::always_inline]] inline bool Order(const Node* n);
    template <Op op>
    [[gnu::noinline]] bool OrderOf(const Node* n);
    [[gnu::noinline]] Value Chain(const Node* n);
    // x = x + y for numbers x and y in variables or constants: the common counter step,
    // done in place. Gives the variable, or null when n is not of that kind.
    const Value* AddNumber(const Node* n)
    {
        if (n->op != Op::AppendLocal && n->op != Op::AppendGlobal)
            return nullptr;
        Value& target = n->op == Op::AppendLocal ? fp_[n->slot] : globals_[static_cast<std::size_t>(n->slot)];
        const Node* add = n->list.front();
        if (!target.IsNumber() || !IsLeaf(add->right()) || n->list.size() != 1)
            return nullptr;
        const Value& y = Leaf(add->right());
        if (!y.IsNumber())
            return nullptr;
        target = Value(qav::Arithmetic<Op::Add>(target.number(), y.number()));
        return &target;
    }
    // A number worked out without making a value: constants, variables, array items,
    // fields where the node found them last time, and '+', '-', '*' over these. Gives
    // false, having done nothing a program could tell, for anything else or anything
    // that is not a number; the caller then goes the general way. Each part it reads
    // is pure and charges nothing, so reading it twice is the same as once.
    [[gnu::always_inline]] bool Number(const Node* n, double& out) const
    {
        if (IsLeaf(n)) {
            const Value& v = Leaf(n);
            out = v.number();
            return v.IsNumber();
        }
        return n->numeric && NumberOf(n, out);
    }
    bool NumberOf(const Node* n, double& out) const;
    // a[k] = v for an array in a variable or constant that v cannot change, and an
    // index Number gives in range: v is worked out (read in place where it can be) and
    // stored. Gives the item, or null, having done nothing, for anything else.
    [[gnu::noinline]] const Value* StoreItem(const Node* n);
    // What an item or field node n reads from target in place: an array's item at an
    // index Number gives, or an object's field where the node found it last time; null,
    // having done nothing, for anything else.
    [[gnu::always_inline]] const Value* Member(const Node* n, const Value& target) const
    {
        if (n->op == Op::Field)
            return CachedField(target, n->slot, n->cache);
        double k;
        return target.IsArray() && Number(n->key(), k) ? target.arr()->At(k) : nullptr;
    }
    // The item or field n reads, for a target that is a variable or constant, or such
    // an item or field in turn; else null.
    const Value* MemberAt(const Node* n) const;
    // The variable, constant, item or field an expression reads in place; else null.
    const Value* Place(const Node* n) const
    {
        if (IsLeaf(n))
            return &Leaf(n);
        if (n->op == Op::Index || n->op == Op::Field)
            return MemberAt(n);
        return nullptr;
    }
    [[gnu::noinline]] Value Apply(const Node* link, const Value& a, const Value& b);
    [[gnu::noinline]] Value Compare(const Node* n, const Value& a, const Value& b);
    void ChargeCompare(const Node* n, const Value& a, const Value& b);

    // MachineStrings.cpp
    [[gnu::noinline]] Value Add(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] Value Append(const Node* n, Value& target);
    [[gnu::noinline]] Value Concat(const Node* n, std::string_view left, std::string_view right);
    std::size_t Join(const Node* chain, std::size_t i, Value& acc);
    [[gnu::noinline]] void Print(const Node* n, const Value& v);
    // The text of a value as print shows it, with its cost charged.
    std::string Text(const Node* n, const Value& v);
    Value MakeString(const Node* n, std::string text);

    // MachineFields.cpp
    // A field read or set where the node found it last time, else the general way.
    Value FieldOf(const Node* n, const Value& target)
    {
        if (const Value* v = CachedField(target, n->slot, n->cache))
            return *v;
        return GetField(n, target);
    }

    Value StoreField(const Node* n, const Value& target, Value value)
    {
        if (Value* v = CachedField(target, n->slot, n->cache)) {
            *v = value;
            return value;
        }
        return SetField(n, target, std::move(value));
    }
    // An array's item at a whole number in range, read or set at once; anything else
    // the general way.
    Value IndexOf(const Node* n, const Value& target, const Value& key)
    {
        if (const Value* v = ItemOf(target, key))
            return *v;
        return GetIndex(n, target, key);
    }

    Value StoreIndex(const Node* n, const Value& target, const Value& key, Value value)
    {
        if (Value* v = ItemOf(target, key)) {
            *v = value;
            return value;
        }
        return SetIndex(n, target, key, std::move(value));
    }
    [[gnu::noinline]] Value GetField(const Node* n, const Value& target);
    [[gnu::noinline]] Value SetField(const Node* n, const Value& target, Value value);
    [[gnu::noinline]] Value GetIndex(const Node* n, const Value& target, const Value& key);
    [[gnu::noinline]] Value SetIndex(const Node* n, const Value& target, const Value& key, Value value);
    Value Put(const Node* n, Obj* o, int atom, Value value);
    [[gnu::noinline]] Value MakeLiteral(const Node* n);
    // The position of an array item, or a failure naming the index.
    std::size_t ItemIndex(const Node* n, const Arr* a, const Value& key);
    // The atom of a field name made at run time; -1 when no field anywhere has it and
    // add is false.
    int AtomOf(const Node* n, const Str* name, bool add);

    // Builtins.cpp: the call, and each built-in function, one row of Builtins() each.
    friend std::span<const Builtin> Builtins();
    [[gnu::noinline]] Value CallBuiltin(const Node* n);
    Value Len(const Node* n, Value* args);
    Value Push(const Node* n, Value* args);
    Value Pop(const Node* n, Value* args);
    Value ToStr(const Node* n, Value* args);
    Value ToNum(const Node* n, Value* args);
    Value Substr(const Node* n, Value* args);
    Value Find(const Node* n, Value* args);
    Value Floor(const Node* n, Value* args);
    Value Sqrt(const Node* n, Value* args);
    Value Abs(const Node* n, Value* args);
    Value Keys(const Node* n, Value* args);
    Value Has(const Node* n, Value* args);
    Value TypeOf(const Node* n, Value* args);
    std::size_t ByteOf(const Node* n, const Str* s, std::size_t index);
    std::size_t CharOf(const Node* n, const Str* s, std::size_t byte);
    std::size_t Count(const Node* n, const Value& v, const char* what);

    // MachineMemory.cpp
    std::size_t Room() const;
    void Reserve(const Node* n, std::size_t size, std::size_t growth);
    void Reserve(const Node* n, std::size_t size);
    void Allocated(const Node* n);
    void Collect(const Node* n);
    [[noreturn, gnu::cold, gnu::noinline]] void FailMemory(const Node* n, std::size_t stringBytes);

    // MachineReport.cpp
    void Charge(const Node* n, std::uint64_t steps)
    {
        steps_ += steps;
        if (steps_ > checkAt_)
            Checkpoint(n);
    }
    [[gnu::noinline]] void Checkpoint(const Node* n);
    [[noreturn, gnu::cold, gnu::noinline]] void Fail(const Node* n, const std::string& message);
    [[noreturn, gnu::cold, gnu::noinline]] void Fail(const Node* n, const char* message);
    [[noreturn, gnu::cold, gnu::noinline]] void FailDepth(const Node* n);
    [[noreturn, gnu::cold, gnu::noinline]] void FailNegate(const Node* n, const Value& v);
    void Finish(RunReport& report, const ScriptError* error);
    void DumpStacks(RunReport& report, const Value& result);

    const Program& program_;
    const Limits limits_;
    Heap heap_; // before every value that points into it, so destroyed after them

    std::vector<Value> globals_;
    // The value stack: the variables of the calls in progress and the arguments being
    // worked out for calls about to start. It grows by segments, which never move, so
    // a frame's base stays where it is; its memory counts against the limit.
    struct Segment {
        std::unique_ptr<Value[]> values;
        Value* end;
        Value* top; // where the next segment was started from
    };
    std::vector<Segment> segments_;
    std::size_t segment_ = 0; // the one in use
    Value* segmentEnd_ = nullptr;
    Value* sp_ = nullptr;
    Value* fp_ = nullptr;
    std::vector<Frame> frames_;
    std::vector<std::uint64_t> calls_;
    std::uintptr_t stackFloor_ = 0;

    std::uint64_t steps_ = 0;
    std::uint64_t checkAt_ = 0; // steps at which the budget and the stop flag are next looked at
    std::size_t collectAt_ = 0; // heap bytes at which cycles are next collected
    std::size_t peak_ = 0;      // the most heap bytes in use so far

    Value retval_;
    Value last_;

    std::vector<std::string> log_;
    std::size_t logBytes_ = 0;
    bool logFull_ = false;

    // The call chain and the values it held when a run failed.
    std::vector<std::string> failedFrames_;
    std::vector<Value> failedRoots_;
};

} // namespace qav
