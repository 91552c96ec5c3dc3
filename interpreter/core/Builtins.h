// The functions built into the language: one row each, with its name, the number of
// arguments it takes, whether it can change a variable, field or item, and the machine's
// function that runs it (Builtins.cpp). The resolver reads the rows by name, the machine
// calls the function of a row by its index.
#pragma once

#include <span>
#include <string_view>

namespace qav {

class Machine;
class Value;
struct Node;

// A built-in call's arguments, worked out in order, at most this many.
inline constexpr int kMaxBuiltinArity = 3;

struct Builtin {
    std::string_view name;
    int arity;
    bool pure; // changes no variable, field or item
    Value (Machine::*run)(const Node* call, Value* args);
};

// Every built-in function; a call's node holds the index of its row.
std::span<const Builtin> Builtins();

// The index of the built-in function of a name, or -1 when there is none.
int FindBuiltin(std::string_view name);

} // namespace qav
