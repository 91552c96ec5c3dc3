#include "interpreter/core/Parser.h"

#include "interpreter/core/Builtins.h"
#include "interpreter/core/Lexer.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace qav {

namespace {

[[noreturn]] void FailAt(const std::string& message, int line, int column)
{
    throw ScriptError{message, line, column};
}

[[noreturn]] void FailAt(const std::string& message, const Node* n)
{
    FailAt(message, n->line, n->column);
}

std::string Found(const Token& t)
{
    switch (t.kind) {
    case Tok::Name: return "name '" + std::string(t.text) + "'";
    case Tok::Number: return "number " + std::string(t.text);
    case Tok::String: return "a string";
    default: return Describe(t.kind);
    }
}

class Parser {
public:
    Parser(std::string_view source, Program& program) : lexer_(source), program_(program)
    {
        token_ = lexer_.Next();
    }

    void ParseProgram()
    {
        while (token_.kind != Tok::End)
            program_.statements.push_back(Statement(true));
    }

private:
    // Counts the parser's own recursion, which deeply nested text would otherwise exhaust.
    struct Nest {
        explicit Nest(Parser& p) : parser(p)
        {
            if (++parser.depth_ > kMaxNesting)
                FailAt("program nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)",
                       parser.token_.line, parser.token_.column);
        }
        ~Nest() { --parser.depth_; }
        Parser& parser;
    };

    Node* Make(Op op, int line, int column)
    {
        if (program_.nodes.size() >= kMaxNodes)
            FailAt("program too large (more than " + std::to_string(kMaxNodes) + " parts)", line, column);
        program_.nodes.push_back(std::make_unique<Node>());
        Node* n = program_.nodes.back().get();
        n->op = op;
        n->line = line;
        n->column = column;
        return n;
    }

    Node* Make(Op op, const Token& at) { return Make(op, at.line, at.column); }

    // Sets a node's height from its children; the evaluator recurses that deep. An
    // 'else if' runs in the same loop as its 'if', so it adds no level.
    Node* Seal(Node* n)
    {
        int h = 0;
        for (const Node* child : {n->a, n->b, n->c, n->d})
            if (child != nullptr && child->height > h)
                h = child->height;
        for (const Node* child : n->list)
            if (child->height > h)
                h = child->height;
        n->height = h + 1;
        if (n->op == Op::If && n->c != nullptr && n->c->op == Op::If)
            n->height = std::max({n->a->height + 1, n->b->height + 1, n->c->height});
        if (n->height > kMaxNesting)
            FailAt("program nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)", n);
        return n;
    }

    void Advance() { token_ = lexer_.Next(); }

    Token Expect(Tok kind, const char* context)
    {
        if (token_.kind != kind)
            FailAt(std::string("expected ") + Describe(kind) + " " + context + " but found " + Found(token_),
                   token_.line, token_.column);
        Token t = std::move(token_);
        Advance();
        return t;
    }

    Node* Statement(bool topLevel)
    {
        Nest nest(*this);
        const Token start = token_;
        switch (token_.kind) {
        case Tok::Var: {
            Advance();
            Token name = Expect(Tok::Name, "after 'var'");
            Node* n = Make(Op::VarDecl, name);
            n->name = name.text;
            if (token_.kind == Tok::Assign) {
                Advance();
                n->a = Expression();
            }
            Expect(Tok::Semicolon, "after the variable declaration");
            return Seal(n);
        }
        case Tok::Function: {
            if (!topLevel)
                FailAt("functions can only be declared at the top level", start.line, start.column);
            Advance();
            Token name = Expect(Tok::Name, "after 'function'");
            Node* n = Make(Op::FunctionDecl, name);
            n->name = name.text;
            Expect(Tok::LParen, "after the function name");
            if (token_.kind != Tok::RParen) {
                do {
                    if (token_.kind == Tok::Comma)
                        Advance();
                    n->names.emplace_back(Expect(Tok::Name, "as a parameter").text);
                } while (token_.kind == Tok::Comma);
            }
            Expect(Tok::RParen, "after the parameters");
            if (token_.kind != Tok::LBrace)
                Expect(Tok::LBrace, "to start the function body");
            n->a = Statement(false);
            return Seal(n);
        }
        case Tok::If: {
            // An 'else if' chain is read in this loop, however long, not by recursion.
            std::vector<Node*> chain;
            Token at = start;
            for (;;) {
                Advance();
                Node* n = Make(Op::If, at);
                Expect(Tok::LParen, "after 'if'");
                n->a = Expression();
                Expect(Tok::RParen, "after the condition");
                n->b = Statement(false);
                chain.push_back(n);
                if (token_.kind != Tok::Else)
                    break;
                Advance();
                if (token_.kind != Tok::If) {
                    n->c = Statement(false);
                    break;
                }
                at = token_;
            }
            for (std::size_t i = chain.size(); i-- > 0;) {
                if (i + 1 < chain.size())
                    chain[i]->c = chain[i + 1];
                Seal(chain[i]);
            }
            return chain.front();
        }
        case Tok::While: {
            Advance();
            Node* n = Make(Op::While, start);
            Expect(Tok::LParen, "after 'while'");
            n->a = Expression();
            Expect(Tok::RParen, "after the condition");
            n->b = LoopBody();
            return Seal(n);
        }
        case Tok::For: {
            Advance();
            Node* n = Make(Op::For, start);
            Expect(Tok::LParen, "after 'for'");
            if (token_.kind == Tok::Var) {
                Advance();
                Token name = Expect(Tok::Name, "after 'var'");
                Node* decl = Make(Op::VarDecl, name);
                decl->name = name.text;
                if (token_.kind == Tok::Assign) {
                    Advance();
                    decl->a = Expression();
                }
                n->a = Seal(decl);
            } else if (token_.kind != Tok::Semicolon) {
                Node* init = Make(Op::ExprStmt, token_);
                init->a = Expression();
                n->a = Seal(init);
            }
            Expect(Tok::Semicolon, "after the loop's start");
            if (token_.kind != Tok::Semicolon)
                n->b = Expression();
            Expect(Tok::Semicolon, "after the loop's condition");
            if (token_.kind != Tok::RParen)
                n->c = Expression();
            Expect(Tok::RParen, "after the loop's step");
            n->d = LoopBody();
            return Seal(n);
        }
        case Tok::Break:
        case Tok::Continue: {
            const bool isBreak = token_.kind == Tok::Break;
            if (loops_ == 0)
                FailAt(std::string(isBreak ? "'break'" : "'continue'") + " can only be used inside a loop", start.line,
                       start.column);
            Advance();
            Node* n = Make(isBreak ? Op::Break : Op::Continue, start);
            Expect(Tok::Semicolon, isBreak ? "after 'break'" : "after 'continue'");
            return Seal(n);
        }
        case Tok::Return: {
            Advance();
            Node* n = Make(Op::Return, start);
            if (token_.kind != Tok::Semicolon)
                n->a = Expression();
            Expect(Tok::Semicolon, "after the return value");
            return Seal(n);
        }
        case Tok::Print: {
            Advance();
            Node* n = Make(Op::Print, start);
            n->a = Expression();
            Expect(Tok::Semicolon, "after the value to print");
            return Seal(n);
        }
        case Tok::LBrace: {
            Advance();
            Node* n = Make(Op::Block, start);
            while (token_.kind != Tok::RBrace) {
                if (token_.kind == Tok::End)
                    FailAt("expected '}' to close the block opened at line " + std::to_string(start.line) +
                               ", column " + std::to_string(start.column) + " but found the end of the program",
                           token_.line, token_.column);
                n->list.push_back(Statement(false));
            }
            Advance();
            return Seal(n);
        }
        default: {
            Node* n = Make(Op::ExprStmt, start);
            n->a = Expression();
            Expect(Tok::Semicolon, "after the expression");
            return Seal(n);
        }
        }
    }

    Node* LoopBody()
    {
        ++loops_;
        Node* body = Statement(false);
        --loops_;
        return body;
    }

    Node* Expression()
    {
        Nest nest(*this);
        Node* left = Binary(1);
        if (token_.kind != Tok::Assign)
            return left;
        const Token at = token_;
        if (left->op != Op::Name && left->op != Op::Field && left->op != Op::Index)
            FailAt("only a variable, a field or an item can be assigned to", at.line, at.column);
        Advance();
        Node* n = Make(Op::Assign, at);
        n->a = left;
        n->b = Expression();
        return Seal(n);
    }

    static int Precedence(Tok kind)
    {
        switch (kind) {
        case Tok::OrOr: return 1;
        case Tok::AndAnd: return 2;
        case Tok::Eq: case Tok::Ne: return 3;
        case Tok::Lt: case Tok::Le: case Tok::Gt: case Tok::Ge: return 4;
        case Tok::Plus: case Tok::Minus: return 5;
        case Tok::Star: case Tok::Slash: case Tok::Percent: return 6;
        default: return 0;
        }
    }

    static Op BinaryOp(Tok kind)
    {
        switch (kind) {
        case Tok::OrOr: return Op::Or;
        case Tok::AndAnd: return Op::And;
        case Tok::Eq: return Op::Eq;
        case Tok::Ne: return Op::Ne;
        case Tok::Lt: return Op::Lt;
        case Tok::Le: return Op::Le;
        case Tok::Gt: return Op::Gt;
        case Tok::Ge: return Op::Ge;
        case Tok::Plus: return Op::Add;
        case Tok::Minus: return Op::Sub;
        case Tok::Star: return Op::Mul;
        case Tok::Slash: return Op::Div;
        default: return Op::Mod;
        }
    }

    // Operators group to the left. A run of them, such as a + b - c + d, becomes one
    // flat chain that the evaluator walks in a loop, so its length costs no nesting.
    Node* Binary(int minPrecedence)
    {
        Node* first = Unary();
        std::vector<Node*> links;
        for (;;) {
            const int p = Precedence(token_.kind);
            if (p == 0 || p < minPrecedence)
                break;
            const Token at = token_;
            Advance();
            Node* link = Make(BinaryOp(at.kind), at);
            link->b = Binary(p + 1);
            links.push_back(link);
        }
        if (links.empty())
            return first;
        if (links.size() == 1) {
            links[0]->a = first;
            return Seal(links[0]);
        }
        Node* chain = Make(Op::Chain, first->line, first->column);
        chain->a = first;
        for (Node* link : links)
            Seal(link);
        chain->list = std::move(links);
        return Seal(chain);
    }

    Node* Unary()
    {
        if (token_.kind == Tok::Minus || token_.kind == Tok::Bang) {
            Nest nest(*this);
            const Token at = token_;
            Advance();
            Node* n = Make(at.kind == Tok::Minus ? Op::Neg : Op::Not, at);
            n->a = Unary();
            return Seal(n);
        }
        Node* n = Primary();
        for (;;) {
            if (token_.kind == Tok::Dot) {
                Advance();
                Token name = Expect(Tok::Name, "after '.'");
                Node* f = Make(Op::Field, name);
                f->name = name.text;
                f->a = n;
                n = Seal(f);
            } else if (token_.kind == Tok::LBracket) {
                const Token at = token_;
                Advance();
                Node* index = Make(Op::Index, at);
                index->a = n;
                index->b = Expression();
                Expect(Tok::RBracket, "to close the index");
                n = Seal(index);
            } else if (token_.kind == Tok::LParen) {
                if (n->op != Op::Name)
                    FailAt("only a function can be called, by its name", token_.line, token_.column);
                Advance();
                n->op = Op::Call;
                while (token_.kind != Tok::RParen) {
                    if (!n->list.empty())
                        Expect(Tok::Comma, "between arguments");
                    n->list.push_back(Expression());
                }
                Advance();
                n = Seal(n);
            } else {
                return n;
            }
        }
    }

    Node* Primary()
    {
        const Token at = token_;
        switch (token_.kind) {
        case Tok::Number: {
            Node* n = Make(Op::Const, at);
            n->value = Value(at.number);
            Advance();
            return n;
        }
        case Tok::String: {
            Node* n = Make(Op::Const, at);
            n->value = Value(new Str(nullptr, token_.string));
            Advance();
            return n;
        }
        case Tok::True:
        case Tok::False: {
            Node* n = Make(Op::Const, at);
            n->value = Value::Boolean(at.kind == Tok::True);
            Advance();
            return n;
        }
        case Tok::Nil: {
            Node* n = Make(Op::Const, at);
            Advance();
            return n;
        }
        case Tok::Name: {
            Node* n = Make(Op::Name, at);
            n->name = at.text;
            Advance();
            return n;
        }
        case Tok::LParen: {
            Advance();
            Node* n = Expression();
            Expect(Tok::RParen, "to close the parenthesis");
            return n;
        }
        case Tok::LBrace: {
            Advance();
            Node* n = Make(Op::ObjectLit, at);
            while (token_.kind != Tok::RBrace) {
                if (!n->list.empty())
                    Expect(Tok::Comma, "between fields");
                if (token_.kind == Tok::RBrace)
                    break;
                n->names.emplace_back(Expect(Tok::Name, "as a field name").text);
                Expect(Tok::Colon, "after the field name");
                n->list.push_back(Expression());
            }
            Advance();
            return Seal(n);
        }
        case Tok::LBracket: {
            Advance();
            Node* n = Make(Op::ArrayLit, at);
            while (token_.kind != Tok::RBracket) {
                if (!n->list.empty())
                    Expect(Tok::Comma, "between items");
                if (token_.kind == Tok::RBracket)
                    break;
                n->list.push_back(Expression());
            }
            Advance();
            return Seal(n);
        }
        default:
            FailAt("expected an expression but found " + Found(token_), at.line, at.column);
        }
    }

    Lexer lexer_;
    Program& program_;
    Token token_;
    int depth_ = 0;
    int loops_ = 0; // loops around the statement being read, for 'break' and 'continue'
};

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
            f.body = s->a;
            f.decl = s;
            program_.functions.push_back(std::move(f));
        }
        std::unordered_map<std::string, int> loopSlots;
        for (Node* s : program_.statements)
            CollectVars(s, globals_, loopSlots, program_.globals);
        for (Node* s : program_.statements)
            Resolve(s);
        for (Function& f : program_.functions) {
            locals_.clear();
            loopSlots.clear();
            std::vector<std::string> names;
            for (const std::string& p : f.params) {
                if (locals_.count(p) != 0)
                    FailAt("parameter '" + p + "' appears twice", f.decl);
                locals_.emplace(p, static_cast<int>(names.size()));
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
    void CollectVars(Node* n, std::unordered_map<std::string, int>& slots,
                     std::unordered_map<std::string, int>& loopSlots, std::vector<std::string>& names)
    {
        switch (n->op) {
        case Op::VarDecl:
            if (slots.count(n->name) != 0)
                FailAt("variable '" + n->name + "' is already declared", n);
            slots.emplace(n->name, static_cast<int>(names.size()));
            names.push_back(n->name);
            break;
        case Op::If:
            for (Node* branch = n; branch != nullptr; branch = branch->c) {
                CollectVars(branch->b, slots, loopSlots, names);
                if (branch->c != nullptr && branch->c->op != Op::If) {
                    CollectVars(branch->c, slots, loopSlots, names);
                    break;
                }
            }
            break;
        case Op::While:
            CollectVars(n->b, slots, loopSlots, names);
            break;
        case Op::For:
            if (n->a != nullptr && n->a->op == Op::VarDecl) {
                const auto [it, added] = loopSlots.emplace(n->a->name, static_cast<int>(names.size()));
                if (added)
                    names.push_back(n->a->name);
                n->a->slot = it->second;
            }
            CollectVars(n->d, slots, loopSlots, names);
            break;
        case Op::Block:
            for (Node* s : n->list)
                CollectVars(s, slots, loopSlots, names);
            break;
        default:
            break;
        }
    }

    std::unordered_map<std::string, int>& Scope() { return inFunction_ ? locals_ : globals_; }

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
        switch (n->op) {
        case Op::ExprStmt: case Op::TopExprStmt: case Op::DeclLocal: case Op::DeclGlobal:
        case Op::Print: case Op::If: case Op::While: case Op::Return:
            n->weight = 1 + Size(n->a);
            break;
        case Op::For:
            n->weight = 1 + Size(n->b) + Size(n->c);
            break;
        default:
            break;
        }
    }

    // The parts of an expression: each costs a step every time it runs.
    static int Size(const Node* n)
    {
        if (n == nullptr)
            return 0;
        int size = 1;
        if (n->op == Op::AppendLocal || n->op == Op::AppendGlobal) {
            for (const Node* add : n->list)
                size += 1 + Size(add->b);
            return size;
        }
        size += Size(n->a) + Size(n->b) + Size(n->c);
        for (const Node* child : n->list)
            size += Size(child);
        return size;
    }

    static bool Pure(const Node* n)
    {
        switch (n->op) {
        case Op::Const:
        case Op::Local:
        case Op::Global:
            return true;
        case Op::Field:
        case Op::Neg:
        case Op::Not:
            return n->a->pure;
        case Op::And: case Op::Or: case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Mod:
        case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: case Op::Index:
            return n->a->pure && n->b->pure;
        case Op::Chain:
            if (!n->a->pure)
                return false;
            for (const Node* link : n->list)
                if (!link->b->pure)
                    return false;
            return true;
        case Op::Builtin:
            if (n->slot == static_cast<int>(Builtin::Push) || n->slot == static_cast<int>(Builtin::Pop))
                return false;
            [[fallthrough]];
        case Op::ObjectLit:
        case Op::ArrayLit:
            for (const Node* v : n->list)
                if (!v->pure)
                    return false;
            return true;
        default:
            return false;
        }
    }

    // x = x + a + b ... appends in place when x holds the only reference to a string:
    // the '+' nodes to append, or none when the value is not of that form.
    static std::vector<Node*> Appended(Node* value, const std::string& target)
    {
        if (value->op == Op::Add && value->a->op == Op::Name && value->a->name == target)
            return {value};
        if (value->op != Op::Chain || value->a->op != Op::Name || value->a->name != target)
            return {};
        for (const Node* link : value->list)
            if (link->op != Op::Add)
                return {};
        return value->list;
    }

    void ResolveAssign(Node* n)
    {
        Node* target = n->a;
        Node* value = n->b;
        if (target->op == Op::Field) {
            Resolve(target->a);
            Resolve(value);
            n->op = Op::SetField;
            n->slot = Atom(target->name);
            n->name = target->name;
            n->a = target->a;
            n->b = value;
            return;
        }
        if (target->op == Op::Index) {
            Resolve(target->a);
            Resolve(target->b);
            Resolve(value);
            n->op = Op::SetIndex;
            n->line = target->line;
            n->column = target->column;
            n->a = target->a;
            n->b = target->b;
            n->c = value;
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
                Resolve(add->b);
            n->a = nullptr;
            n->line = n->list.front()->line;
            n->column = n->list.front()->column;
        } else {
            Resolve(value);
            n->op = local ? Op::SetLocal : Op::SetGlobal;
            n->a = value;
        }
        n->b = nullptr;
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
            params = static_cast<std::size_t>(BuiltinAt(builtin).arity);
        } else {
            FailAt("undefined function '" + n->name + "'", n);
        }
        if (params != n->list.size())
            FailAt("function '" + n->name + "' takes " + std::to_string(params) + " argument" +
                       (params == 1 ? "" : "s") + " but is given " + std::to_string(n->list.size()),
                   n);
        for (Node* arg : n->list)
            Resolve(arg);
    }

    // A loop's own variable is known by its name only inside the loop.
    void ResolveFor(Node* n)
    {
        Node* decl = n->a != nullptr && n->a->op == Op::VarDecl ? n->a : nullptr;
        if (decl != nullptr) {
            if (Scope().count(decl->name) != 0)
                FailAt("variable '" + decl->name + "' is already declared", decl);
            Scope().emplace(decl->name, decl->slot);
            Resolve(decl);
        } else if (n->a != nullptr) {
            Resolve(n->a->a);
            n->a->weight = 1 + Size(n->a->a);
        }
        for (Node* part : {n->b, n->c, n->d})
            if (part != nullptr)
                Resolve(part);
        if (decl != nullptr)
            Scope().erase(decl->name);
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
            Resolve(n->a);
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
            Resolve(n->a);
            for (Node* link : n->list)
                Resolve(link->b);
            break;
        case Op::ExprStmt:
            Resolve(n->a);
            if (!inFunction_)
                n->op = Op::TopExprStmt;
            break;
        case Op::VarDecl: {
            bool local;
            ResolveName(n, local, n->slot);
            n->op = local ? Op::DeclLocal : Op::DeclGlobal;
            if (n->a != nullptr)
                Resolve(n->a);
            break;
        }
        case Op::FunctionDecl:
            n->op = Op::Nop;
            break;
        case Op::If:
            // The chain's later branches are resolved here in turn, not by recursion.
            Resolve(n->a);
            Resolve(n->b);
            for (Node* branch = n->c; branch != nullptr; branch = branch->c) {
                if (branch->op != Op::If) {
                    Resolve(branch);
                    break;
                }
                Resolve(branch->a);
                Resolve(branch->b);
                branch->weight = 1 + Size(branch->a);
            }
            break;
        case Op::For:
            ResolveFor(n);
            break;
        default:
            for (Node* child : {n->a, n->b, n->c})
                if (child != nullptr)
                    Resolve(child);
            break;
        }
    }

    Program& program_;
    std::unordered_map<std::string, int> functions_;
    std::unordered_map<std::string, int> globals_;
    std::unordered_map<std::string, int> locals_;
    std::unordered_map<std::string, int> atoms_;
    bool inFunction_ = false;
};

} // namespace

void Compile(std::string_view source, Program& program)
{
    Parser(source, program).ParseProgram();
    Resolver(program).ResolveProgram();
}

} // namespace qav
