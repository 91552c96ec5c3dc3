// The program tree. The parser builds it with names as written; the resolver then
// turns names into slots, functions into indexes and field names into atoms, so
// the evaluator never looks anything up by string.
#pragma once

#include "interpreter/core/Value.h"

#include <array>
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

// What the evaluator reads on every visit comes first, in one cache line: the tree is
// walked again and again, and each line it touches costs more than the reading.
struct Node {
    Op op;
    bool pure = false;     // an expression that cannot change any variable, field or item
    bool numeric = false;  // made only of variables, constants, items, fields and '+', '-', '*'
    int slot = -1;         // variable slot, function index, built-in or field atom
    // Steps a statement costs, one for each part it runs; and a loop's condition or step,
    // or the right side of '&&' or '||', each time it runs.
    int weight = 1;
    mutable int cache = 0; // where a field was found last time
    // Every child place, for walks that treat them alike; empty places are null. The
    // tree is read as const while it runs, but built and resolved through the roles.
    mutable std::array<Node*, 4> kids{};
    Value constant; // a Const's value
    // block statements, call arguments, literal values, a chain's operators (each with
    // its right operand), appended '+'s
    std::vector<Node*> list;
    int line = 0;
    int column = 0;
    std::vector<int> atoms;   // literal field atoms, after resolving
    std::vector<std::string> names; // literal field names or parameters, as written
    std::string name;

    // Children by role. Each role has its own place, so a node's children read the
    // same whatever its operation: the first place holds what the node works on.
    Node*& left() const { return kids[0]; }      // binary operators, and a chain's first operand
    Node*& right() const { return kids[1]; }     // binary operators, and each link of a chain
    Node*& operand() const { return kids[0]; }   // '-' and '!'
    Node*& target() const { return kids[0]; }    // what an assignment sets, before resolving
    Node*& object() const { return kids[0]; }    // a field's or an item's object or array
    Node*& key() const { return kids[1]; }       // an item's index or field name
    Node*& value() const { return kids[2]; }     // what an assignment, declaration, print or return gives
    Node*& cond() const { return kids[0]; }      // if, while and for
    Node*& then() const { return kids[1]; }      // if
    Node*& otherwise() const { return kids[2]; } // if: the else branch, or the next 'else if'
    Node*& body() const { return kids[1]; }      // while, for, and a function's declaration
    Node*& step() const { return kids[2]; }      // for
    Node*& init() const { return kids[3]; }      // for
};

// Constants and variables: read in place, without evaluating anything.
inline bool IsLeaf(const Node* n)
{
    return n->op <= Op::Global;
}

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
