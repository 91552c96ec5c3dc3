// Runs a resolved program: a tree walker over slots, with a step budget that tracks the
// work done, a clock as the last guard, a call depth limit, a guard on the machine stack
// it uses and a memory limit that only live strings, objects and arrays count against.
#pragma once

#include "interpreter/core/Ast.h"
#include "interpreter/core/Error.h"
#include "interpreter/core/Heap.h"
#include "interpreter/core/Interpreter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qav {

class Machine {
public:
    using Clock = std::chrono::steady_clock;

    // The run's time is counted from start.
    Machine(const Program& program, const Limits& limits, Clock::time_point start);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine();

    // Runs the top level; fills the report's result, log, stacks and steps.
    void Run(RunReport& report);

private:
    enum class Flow { Normal, Return, Break, Continue };

    struct Frame {
        const Function* function;
        Value* base;
    };

    // Eval and Exec recurse into each other; everything off their fast paths stays out
    // of line so that their frames, and so the stack per nested call, stay small.
    Value Eval(const Node* n);
    Flow Exec(const Node* n);
    bool Test(const Node* n);

    // Both operands of a binary node; a variable or constant is read in place, the
    // left one only when the right cannot change it.
    struct Operands {
        Value left;
        Value right;
        const Value* a;
        const Value* b;
        [[gnu::always_inline]] ~Operands() {}
    };
    [[gnu::always_inline]] inline void Both(const Node* n, Operands& o);
    const Value& Leaf(const Node* n) const
    {
        if (n->op == Op::Local)
            return fp_[n->slot];
        if (n->op == Op::Global)
            return globals_[static_cast<std::size_t>(n->slot)];
        return n->value;
    }
    inline const Value* AddNumber(const Node* n);
    inline void Expression(const Node* s);
    Value FieldOf(const Node* n, const Value& target);
    Value StoreField(const Node* n, const Value& target, Value value);
    [[gnu::noinline]] Flow Loop(const Node* n);
    [[gnu::noinline]] Value Call(const Node* n);
    [[gnu::noinline]] Value CallBuiltin(const Node* n);
    [[gnu::noinline]] Value Chain(const Node* n);
    [[gnu::noinline]] Value Apply(const Node* link, const Value& a, const Value& b);
    std::size_t Join(const Node* chain, std::size_t i, Value& acc);
    [[gnu::noinline]] Value Add(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] Value Append(const Node* n, Value& target);
    [[gnu::noinline]] Value Concat(const Node* n, std::string_view left, std::string_view right);
    [[gnu::noinline]] Value GetField(const Node* n, const Value& target);
    [[gnu::noinline]] Value SetField(const Node* n, const Value& target, Value value);
    [[gnu::noinline]] Value GetIndex(const Node* n, const Value& target, const Value& key);
    [[gnu::noinline]] Value SetIndex(const Node* n, const Value& target, const Value& key, Value value);
    [[gnu::noinline]] Value MakeObject(const Node* n);
    [[gnu::noinline]] Value MakeArray(const Node* n);
    [[gnu::noinline]] Value Arithmetic(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] Value Compare(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] void Print(const Node* n, const Value& v);

    // Builtins.cpp
    Value Substring(const Node* n, const Value& s, const Value& start, const Value& count);
    Value FindText(const Node* n, const Value& s, const Value& t);
    Value Keys(const Node* n, const Value& o);
    Value MathOf(const Node* n, const Value& x);
    std::size_t Count(const Node* n, const Value& v, const char* what);

    // The position of an array item, or a failure naming the index.
    std::size_t ItemIndex(const Node* n, const Arr* a, const Value& key);
    // The atom of a field name made at run time; -1 when no field anywhere has it and
    // add is false.
    int AtomOf(const Node* n, const Str* name, bool add);
    // The text of a value as print shows it, with its cost charged.
    std::string Text(const Node* n, const Value& v);
    Value MakeString(const Node* n, std::string text);

    // Memory: charged, counted, cycles collected, limit enforced.
    std::size_t Room() const;
    void Reserve(const Node* n, std::size_t size, std::size_t growth);
    void Reserve(const Node* n, std::size_t size);
    void Allocated(const Node* n);
    void Collect(const Node* n);

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
    [[noreturn, gnu::cold, gnu::noinline]] void FailMemory(const Node* n, std::size_t stringBytes);

    void DumpStacks(RunReport& report, const Value& result);

    const Program& program_;
    const Limits limits_;
    Heap heap_; // before every value that points into it, so destroyed after them

    std::vector<Value> globals_;
    std::unique_ptr<Value[]> stack_;
    Value* stackEnd_ = nullptr;
    Value* sp_ = nullptr;
    Value* fp_ = nullptr;
    std::vector<Frame> frames_;
    std::vector<std::uint64_t> calls_;
    std::uintptr_t stackFloor_ = 0;

    std::uint64_t steps_ = 0;
    std::uint64_t checkAt_ = 0; // steps at which the budget and the clock are next looked at
    Clock::time_point deadline_;
    std::size_t collectAt_ = 0; // heap bytes at which cycles are next collected
    std::size_t peak_ = 0;      // the most heap bytes in use so far

    // Field names: the program's, then those made at run time by o[name].
    std::vector<std::string> atoms_;
    std::unordered_map<std::string, int> atomIds_;
    std::vector<Value> atomStrings_; // each name as a string value, made on first use

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
