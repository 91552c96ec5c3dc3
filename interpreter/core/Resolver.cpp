#include "interpreter/core/Resolver.h"

#include "interpreter/core/Builtins.h"
#include "interpreter/core/Error.h"
#include "interpreter/core/Operators.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace qav {

namespace {

using Names = std::unordered_map<std::string, int>;

[[noreturn]] void FailAt(const std::string& message, const Node* n)
{
    throw ScriptError{message, n->line, n->column};
}

// The parts of an expression that run each time it runs: each costs a step, and
// reaching into an object or array costs two. A chain is its operators and operands, as
// when they nest. The right side of '&&' and '||' runs only at times: its parts are its
// own weight, charged when it runs.
int Size(const Node* n)
{
    if (n == nullptr)
        return 0;
    int size = n->op == Op::Field || n->op == Op::Index || n->op == Op::SetField || n->op == Op::SetIndex ? 2 : 1;
    if (n->op == Op::Chain)
        size = 0;
    if (n->op == Op::AppendLocal || n->op == Op::AppendGlobal) {
        // x = x + a ...: the assignment, the read of x, and each '+' with its operand.
        size += 1;
        for (const Node* add : n->list)
            size += 1 + Size(add->right());
        return size;
    }
    if (n->op == Op::And || n->op == Op::Or)
        return size + Size(n->left());
    for (const Node* child : n->kids)
        size += Size(child);
    for (const Node* child : n->list)
        size += Size(child);
    return size;
}

// Gives a part that runs only at times the steps it costs when it does.
void Weigh(Node* n)
{
    if (n != nullptr)
        n->weight = Size(n);
}

bool Pure(const Node* n)
{
    switch (n->op) {
    case Op::Const:
    case Op::Local:
    case Op::Global:
        return true;
    case Op::Field:
        return n->object()->pure;
    case Op::Index:
        return n->object()->pure && n->key()->pure;
    case Op::Chain:
        if (!n->left()->pure)
            return false;
        for (const Node* link : n->list)
            if (!link->right()->pure)
                return false;
        return true;
    case Op::Builtin:
        if (!Builtins()[static_cast<std::size_t>(n->slot)].pure)
            return false;
        [[fallthrough]];
    case Op::ObjectLit:
    case Op::ArrayLit:
        for (const Node* v : n->list)
            if (!v->pure)
                return false;
        return true;
    default:
        if (const Operator* o = OperatorOf(n->op)) {
            if (o->binding == kUnaryBinding)
                return n->operand()->pure;
            return n->left()->pure && n->right()->pure;
        }
        return false;
    }
}

// What the evaluator may work out as a number without making values (Machine::Number).
bool Numeric(const Node* n)
{
    switch (n->op) {
    case Op::Const:
    case Op::Local:
    case Op::Global:
        return true;
    case Op::Field:
        return n->object()->numeric;
    case Op::Neg:
        return n->operand()->numeric;
    case Op::Index:
        return n->object()->numeric && n->key()->numeric;
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
        return n->left()->numeric && n->right()->numeric;
    case Op::Chain:
        return n->left()->numeric && std::all_of(n->list.begin(), n->list.end(), [](const Node* link) {
                   return (link->op == Op::Add || link->op == Op::Sub || link->op == Op::Mul) && link->right()->numeric;
               });
    default:
        return false;
    }
}

// x = x + a + b ... appends in place when x holds the only reference to a string:
// the '+' nodes to append, in order, or none when the value is not of that form. A
// short run of '+'s is nested to the left, a long one a flat chain.
std::vector<Node*> Appended(Node* value, const std::string& target)
{
    std::vector<Node*> adds;
    Node* left = value;
    while (left->op == Op::Add) {
        adds.push_back(left);
        left = left->left();
    }
    if (!adds.empty()) {
        if (left->op != Op::Name || left->name != target)
            return {};
        return {adds.rbegin(), adds.rend()};
    }
    if (value->op != Op::Chain || value->left()->op != Op::Name || value->left()->name != target)
        return {};
    for (const Node* link : value->list)
        if (link->op != Op::Add)
            return {};
    return value->list;
}

class Resolver {
public:
    explicit Resolver(Program& program) : program_(program) {}

    void ResolveProgram()
    {
        for (Node* s : program_.statements) {
            if (s->op != Op::FunctionDecl)
                continue;
            if (functions_.count(s->name) != 0)
                FailAt("function '" + s->name + "' is already declared", s);
            functions_.emplace(s->name, static_cast<int>(program_.functions.size()));
            Function f;
            f.name = s->name;
            f.params = s->names;
            f.body = s->body();
            f.decl = s;
            program_.functions.push_back(std::move(f));
        }
        Names loopSlots;
        for (Node* s : program_.statements)
            CollectVars(s, globals_, loopSlots, program_.globals);
        for (Node* s : program_.statements)
            Resolve(s);
        for (Function& f : program_.functions) {
            locals_.clear();
            loopSlots.clear();
            declaredAt_.clear();
            std::vector<std::string> names;
            for (const std::string& p : f.params) {
                if (locals_.count(p) != 0)
                    FailAt("parameter '" + p + "' appears twice", f.decl);
                locals_.emplace(p, static_cast<int>(names.size()));
                declaredAt_.emplace(p, f.decl);
                names.push_back(p);
            }
            CollectVars(f.body, locals_, loopSlots, names);
            f.locals = static_cast<int>(names.size());
            inFunction_ = true;
            Resolve(f.body);
            inFunction_ = false;
        }
    }

private:
    // Every var of a function body (or of the top level) gets a slot, in the order
    // written. A for loop's own variable gets one too, shared by loops of that name,
    // but its name is known only inside the loop.
    void CollectVars(Node* n, Names& slots, Names& loopSlots, std::vector<std::string>& names)
    {
        switch (n->op) {
        case Op::VarDecl:
            if (slots.count(n->name) != 0)
                FailAt("variable '" + n->name + "' is already declared", n);
            slots.emplace(n->name, static_cast<int>(names.size()));
            declaredAt_.emplace(n->name, n);
            names.push_back(n->name);
            break;
        case Op::If:
            for (Node* branch = n; branch != nullptr; branch = branch->otherwise()) {
                CollectVars(branch->then(), slots, loopSlots, names);
                if (branch->otherwise() != nullptr && branch->otherwise()->op != Op::If) {
                    CollectVars(branch->otherwise(), slots, loopSlots, names);
                    break;
                }
            }
            break;
        case Op::While:
            CollectVars(n->body(), slots, loopSlots, names);
            break;
        case Op::For:
            if (Node* init = n->init(); init != nullptr && init->op == Op::VarDecl) {
                const auto [it, added] = loopSlots.emplace(init->name, static_cast<int>(names.size()));
                if (added)
                    names.push_back(init->name);
                init->slot = it->second;
            }
            CollectVars(n->body(), slots, loopSlots, names);
            break;
        case Op::Block:
            for (Node* s : n->list)
                CollectVars(s, slots, loopSlots, names);
            break;
        default:
            break;
        }
    }

    Names& Scope() { return inFunction_ ? locals_ : globals_; }

    // Finds a variable: the function's own first, then the globals.
    bool Lookup(const Node* n, bool& local, int& slot) const
    {
        if (inFunction_) {
            if (auto it = locals_.find(n->name); it != locals_.end()) {
                local = true;
                slot = it->second;
                return true;
            }
        }
        if (auto it = globals_.find(n->name); it != globals_.end()) {
            local = false;
            slot = it->second;
            return true;
        }
        return false;
    }

    int Atom(const std::string& name)
    {
        auto [it, added] = atoms_.emplace(name, static_cast<int>(program_.atoms.size()));
        if (added)
            program_.atoms.push_back(name);
        return it->second;
    }

    void ResolveName(Node* n, bool& local, int& slot) const
    {
        if (!Lookup(n, local, slot))
            FailAt("undefined variable '" + n->name + "'", n);
    }

    void Resolve(Node* n)
    {
        ResolveNode(n);
        n->pure = Pure(n);
        n->numeric = Numeric(n);
        switch (n->op) {
        case Op::ExprStmt: case Op::TopExprStmt: case Op::DeclLocal: case Op::DeclGlobal:
        case Op::Print: case Op::Return:
            n->weight = 1 + Size(n->value());
            break;
        case Op::If:
            n->weight = 1 + Size(n->cond());
            break;
        case Op::While: case Op::For:
            // The statement once; its condition and step each time they run.
            n->weight = 1;
            Weigh(n->cond());
            Weigh(n->step());
            break;
        case Op::And: case Op::Or:
            Weigh(n->right());
            break;
        case Op::Chain:
            for (Node* link : n->list)
                if (link->op == Op::And || link->op == Op::Or)
                    Weigh(link->right());
            break;
        default:
            break;
        }
    }

    void ResolveAssign(Node* n)
    {
        Node* target = n->target();
        Node* value = n->value();
        n->target() = nullptr;
        if (target->op == Op::Field || target->op == Op::Index) {
            // Setting a field or an item fails where the target names it, as reading
            // it does: at the field's name or the item's '['.
            n->line = target->line;
            n->column = target->column;
        }
        if (target->op == Op::Field) {
            Resolve(target->object());
            Resolve(value);
            n->op = Op::SetField;
            n->slot = Atom(target->name);
            n->name = target->name;
            n->object() = target->object();
            return;
        }
        if (target->op == Op::Index) {
            Resolve(target->object());
            Resolve(target->key());
            Resolve(value);
            n->op = Op::SetIndex;
            n->object() = target->object();
            n->key() = target->key();
            return;
        }
        bool local;
        ResolveName(target, local, n->slot);
        n->name = target->name;
        std::vector<Node*> adds = Appended(value, target->name);
        if (!adds.empty()) {
            n->op = local ? Op::AppendLocal : Op::AppendGlobal;
            n->list = std::move(adds);
            for (Node* add : n->list)
                Resolve(add->right());
            n->value() = nullptr;
            n->line = n->list.front()->line;
            n->column = n->list.front()->column;
        } else {
            Resolve(value);
            n->op = local ? Op::SetLocal : Op::SetGlobal;
        }
    }

    void ResolveCall(Node* n)
    {
        std::size_t params;
        if (auto it = functions_.find(n->name); it != functions_.end()) {
            n->slot = it->second;
            params = program_.functions[static_cast<std::size_t>(n->slot)].params.size();
        } else if (const int builtin = FindBuiltin(n->name); builtin >= 0) {
            n->op = Op::Builtin;
            n->slot = builtin;
            params = static_cast<std::size_t>(Builtins()[static_cast<std::size_t>(builtin)].arity);
        } else {
            bool local;
            int slot;
            if (Lookup(n, local, slot))
                FailAt("'" + n->name + "' is a variable, not a function: only a function declared with "
                       "'function' can be called",
                       n);
            FailAt("undefined function '" + n->name + "'", n);
        }
        if (params != n->list.size())
            FailAt("function '" + n->name + "' takes " + std::to_string(params) + " argument" +
                       (params == 1 ? "" : "s") + " but is given " + std::to_string(n->list.size()),
                   n);
        for (Node* arg : n->list)
            Resolve(arg);
    }

    // A loop's own variable is known by its name only inside the loop, from its start
    // to its end. The name must be free there: not a variable declared before the loop
    // (a parameter too) nor an enclosing loop's, and no var inside may take it. A var
    // after the loop is another variable of that name.
    void ResolveFor(Node* n)
    {
        Node* init = n->init();
        Node* decl = init != nullptr && init->op == Op::VarDecl ? init : nullptr;
        int outer = -1;
        if (decl != nullptr) {
            Names& scope = Scope();
            if (const auto known = scope.find(decl->name); known != scope.end()) {
                const Node* earlier = declaredAt_.count(decl->name) != 0 ? declaredAt_.at(decl->name) : nullptr;
                if (loopNames_.count(decl->name) != 0 || earlier == nullptr || Before(earlier, decl))
                    FailAt("variable '" + decl->name + "' is already declared", decl);
                outer = known->second;
            }
            scope[decl->name] = decl->slot;
            Resolve(decl);
            loopNames_.insert(decl->name);
        } else if (init != nullptr) {
            Resolve(init->value());
            init->weight = 1 + Size(init->value());
        }
        for (Node* part : {n->cond(), n->step(), n->body()})
            if (part != nullptr)
                Resolve(part);
        if (decl != nullptr) {
            loopNames_.erase(decl->name);
            if (outer >= 0)
                Scope()[decl->name] = outer;
            else
                Scope().erase(decl->name);
        }
    }

    static bool Before(const Node* a, const Node* b)
    {
        return a->line < b->line || (a->line == b->line && a->column < b->column);
    }

    void ResolveNode(Node* n)
    {
        switch (n->op) {
        case Op::Const:
            break;
        case Op::Name: {
            bool local;
            ResolveName(n, local, n->slot);
            n->op = local ? Op::Local : Op::Global;
            break;
        }
        case Op::Assign:
            ResolveAssign(n);
            break;
        case Op::Field:
            Resolve(n->object());
            n->slot = Atom(n->name);
            break;
        case Op::Call:
            ResolveCall(n);
            break;
        case Op::ObjectLit: {
            std::unordered_set<int> seen;
            for (std::size_t i = 0; i < n->names.size(); ++i) {
                const int atom = Atom(n->names[i]);
                if (!seen.insert(atom).second)
                    FailAt("field '" + n->names[i] + "' appears twice", n->list[i]);
                n->atoms.push_back(atom);
                Resolve(n->list[i]);
            }
            break;
        }
        case Op::ArrayLit:
        case Op::Block:
            for (Node* s : n->list)
                Resolve(s);
            break;
        case Op::Chain:
            Resolve(n->left());
            for (Node* link : n->list)
                Resolve(link->right());
            break;
        case Op::ExprStmt:
            Resolve(n->value());
            if (!inFunction_)
                n->op = Op::TopExprStmt;
            break;
        case Op::VarDecl: {
            if (loopNames_.count(n->name) != 0)
                FailAt("variable '" + n->name + "' is already declared", n);
            bool local;
            ResolveName(n, local, n->slot);
            n->op = local ? Op::DeclLocal : Op::DeclGlobal;
            if (n->value() != nullptr)
                Resolve(n->value());
            break;
        }
        case Op::FunctionDecl:
            n->op = Op::Nop;
            break;
        case Op::If:
            // The chain's later branches are resolved here in turn, not by recursion.
            Resolve(n->cond());
            Resolve(n->then());
            for (Node* branch = n->otherwise(); branch != nullptr; branch = branch->otherwise()) {
                if (branch->op != Op::If) {
                    Resolve(branch);
                    break;
                }
                Resolve(branch->cond());
                Resolve(branch->then());
                branch->weight = 1 + Size(branch->cond());
            }
            break;
        case Op::For:
            ResolveFor(n);
            break;
        default:
            for (Node* child : n->kids)
                if (child != nullptr)
                    Resolve(child);
            break;
        }
    }

    Program& program_;
    Names functions_;
    Names globals_;
    Names locals_;
    // Where each variable of the scope being resolved was declared: its var, or for a
    // parameter its function.
    std::unordered_map<std::string, const Node*> declaredAt_;
    std::unordered_set<std::string> loopNames_; // the loops' own variables, inside their loops
    Names atoms_;
    bool inFunction_ = false;
};

} // namespace

void Resolve(Program& program)
{
    Resolver(program).ResolveProgram();
}

} // namespace qav
