// Runs a resolved program: a tree walker over slots, with a step budget, a call
// depth limit and a guard on the machine stack it uses.
#pragma once

#include "interpreter/core/Ast.h"
#include "interpreter/core/Error.h"
#include "interpreter/core/Interpreter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qav {

class Machine {
public:
    Machine(const Program& program, const Limits& limits);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine();

    // Runs the top level; fills the report's result, log and stacks.
    void Run(RunReport& report);

private:
    enum class Flow { Normal, Return };

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
    Value FieldOf(const Node* n, const Value& target);
    Value StoreField(const Node* n, const Value& target, Value value);
    [[gnu::noinline]] Value Call(const Node* n);
    [[gnu::noinline]] Value Add(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] Value Append(const Node* n, Value& target);
    [[gnu::noinline]] Value Concat(const Node* n, const std::string& left, const std::string& right);
    [[gnu::noinline]] Value GetField(const Node* n, const Value& target);
    [[gnu::noinline]] Value SetField(const Node* n, const Value& target, Value value);
    [[gnu::noinline]] Value MakeObject(const Node* n);
    [[gnu::noinline]] Value Arithmetic(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] Value Compare(const Node* n, const Value& a, const Value& b);
    [[gnu::noinline]] void Print(const Node* n, const Value& v);
    void CheckHeap(const Node* n);
    void Charge(const Node* n, std::uint64_t steps)
    {
        steps_ += steps;
        if (steps_ > limits_.steps)
            FailSteps(n);
    }
    // Long strings and big objects cost steps by size, so one step's work stays bounded.
    static std::uint64_t Cost(std::size_t units) { return units / 64; }
    [[noreturn, gnu::cold, gnu::noinline]] void Fail(const Node* n, const std::string& message);
    [[noreturn, gnu::cold, gnu::noinline]] void Fail(const Node* n, const char* message);
    [[noreturn, gnu::cold, gnu::noinline]] void FailSteps(const Node* n);
    [[noreturn, gnu::cold, gnu::noinline]] void FailDepth(const Node* n);
    [[noreturn, gnu::cold, gnu::noinline]] void FailNegate(const Node* n, const Value& v);

    void DumpStacks(RunReport& report, const Value& result);

    const Program& program_;
    const Limits limits_;
    Heap heap_; // first member: destroyed last, after every value that points into it

    std::vector<Value> globals_;
    std::unique_ptr<Value[]> stack_;
    Value* stackEnd_ = nullptr;
    Value* sp_ = nullptr;
    Value* fp_ = nullptr;
    std::vector<Frame> frames_;
    std::vector<std::uint64_t> calls_;
    std::uintptr_t stackFloor_ = 0;
    std::uint64_t steps_ = 0;

    Value retval_;
    Value last_;

    std::vector<std::string> log_;
    std::size_t logBytes_ = 0;
    bool logFull_ = false;

    // The call chain and the values it held when a run failed.
    std::vector<std::string> failedFrames_;
    std::vector<Value> failedRoots_;
};

// Texts of values: as printed, and as shown in the stacks (strings quoted).
std::string FormatNumber(double d);
std::string Display(const Value& v, const std::vector<std::string>& atoms);
std::string Repr(const Value& v);

} // namespace qav
