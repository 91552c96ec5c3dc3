// The program tree. The parser builds it with names as written; the resolver then
// turns names into slots, functions into indexes and field names into atoms, so
// the evaluator never looks anything up by string.
#pragma once

#include "interpreter/core/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace qav {

enum class Op : std::uint8_t {
    // leaves, read in place: first, so that one comparison tells them apart
    Const, Local, Global,
    // expressions as parsed
    Name, Assign, Field, Index, Call, ObjectLit, ArrayLit,
    Neg, Not, And, Or, Add, Sub, Mul, Div, Mod, Eq, Ne, Lt, Le, Gt, Ge,
    Chain, // a run of binary operators grouped to the left, kept flat: a + b - c ...
    // expressions after resolving
    SetLocal, SetGlobal, AppendLocal, AppendGlobal, SetField, SetIndex, Builtin,
    // statements
    ExprStmt, TopExprStmt, VarDecl, DeclLocal, DeclGlobal, FunctionDecl, Print, If, While, For, Break, Continue,
    Block, Return, Nop,
};

struct Node {
    Op op;
    int line = 0;
    int column = 0;
    int height = 1;     // how deep the evaluator recurses into it, bounded to protect the stack
    bool pure = false;  // an expression that cannot change any variable, field or item
    int weight = 1;     // steps a statement (or a loop turn) costs: one for each part it runs
    int slot = -1;      // variable slot, function index, built-in or field atom
    mutable int cache = 0; // where a field was found last time
    Node* a = nullptr;
    Node* b = nullptr;
    Node* c = nullptr;
    Node* d = nullptr;  // a for loop's body
    // block statements, call arguments, literal values, a chain's operators (each with
    // its right operand in b), appended '+'s
    std::vector<Node*> list;
    std::vector<int> atoms;   // literal field atoms, after resolving
    std::vector<std::string> names; // literal field names or parameters, as written
    std::string name;
    Value value;
};

struct Function {
    std::string name;
    std::vector<std::string> params;
    int locals = 0; // parameters first, then every var of the body
    Node* body = nullptr;
    Node* decl = nullptr;
};

struct Program {
    std::vector<std::unique_ptr<Node>> nodes; // owns every node; freeing is flat
    std::vector<Node*> statements;            // the top level, in order
    std::vector<Function> functions;          // in declaration order
    std::vector<std::string> globals;         // in declaration order
    std::vector<std::string> atoms;           // field names
};

} // namespace qav
