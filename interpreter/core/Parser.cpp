#include "interpreter/core/Parser.h"

#include "interpreter/core/Lexer.h"

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

    // Sets a node's height from its children; the evaluator recurses that deep.
    Node* Seal(Node* n)
    {
        int h = 0;
        for (const Node* child : {n->a, n->b, n->c})
            if (child != nullptr && child->height > h)
                h = child->height;
        for (const Node* child : n->list)
            if (child->height > h)
                h = child->height;
        n->height = h + 1;
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
            Advance();
            Node* n = Make(Op::If, start);
            Expect(Tok::LParen, "after 'if'");
            n->a = Expression();
            Expect(Tok::RParen, "after the condition");
            n->b = Statement(false);
            if (token_.kind == Tok::Else) {
                Advance();
                n->c = Statement(false);
            }
            return Seal(n);
        }
        case Tok::While: {
            Advance();
            Node* n = Make(Op::While, start);
            Expect(Tok::LParen, "after 'while'");
            n->a = Expression();
            Expect(Tok::RParen, "after the condition");
            n->b = Statement(false);
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

    Node* Expression()
    {
        Nest nest(*this);
        Node* left = Binary(1);
        if (token_.kind != Tok::Assign)
            return left;
        const Token at = token_;
        if (left->op != Op::Name && left->op != Op::Field)
            FailAt("only a variable or a field can be assigned to", at.line, at.column);
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

    // Operators of one precedence level group to the left.
    Node* Binary(int minPrecedence)
    {
        Node* left = Unary();
        for (;;) {
            const int p = Precedence(token_.kind);
            if (p == 0 || p < minPrecedence)
                return left;
            const Token at = token_;
            Advance();
            Node* n = Make(BinaryOp(at.kind), at);
            n->a = left;
            n->b = Binary(p + 1);
            left = Seal(n);
        }
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
        default:
            FailAt("expected an expression but found " + Found(token_), at.line, at.column);
        }
    }

    Lexer lexer_;
    Program& program_;
    Token token_;
    int depth_ = 0;
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
        for (Node* s : program_.statements)
            CollectVars(s, globals_, program_.globals);
        for (Node* s : program_.statements)
            Resolve(s);
        for (Function& f : program_.functions) {
            locals_.clear();
            std::vector<std::string> names;
            for (const std::string& p : f.params) {
                if (locals_.count(p) != 0)
                    FailAt("parameter '" + p + "' appears twice", f.decl);
                locals_.emplace(p, static_cast<int>(names.size()));
                names.push_back(p);
            }
            CollectVars(f.body, locals_, names);
            f.locals = static_cast<int>(names.size());
            inFunction_ = true;
            Resolve(f.body);
            inFunction_ = false;
        }
    }

private:
    // Every var of a function body (or of the top level) gets a slot, in the order written.
    void CollectVars(Node* n, std::unordered_map<std::string, int>& slots, std::vector<std::string>& names)
    {
        switch (n->op) {
        case Op::VarDecl:
            if (slots.count(n->name) != 0)
                FailAt("variable '" + n->name + "' is already declared", n);
            slots.emplace(n->name, static_cast<int>(names.size()));
            names.push_back(n->name);
            break;
        case Op::If:
            CollectVars(n->b, slots, names);
            if (n->c != nullptr)
                CollectVars(n->c, slots, names);
            break;
        case Op::While:
            CollectVars(n->b, slots, names);
            break;
        case Op::Block:
            for (Node* s : n->list)
                CollectVars(s, slots, names);
            break;
        default:
            break;
        }
    }

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
            n->weight = 1 + Size(n->a) / kNodesPerStep;
            break;
        default:
            break;
        }
    }

    // One step covers this many parts of an expression, so that a statement's cost
    // stays bounded however big its expression is.
    static constexpr int kNodesPerStep = 16;

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
        case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
            return n->a->pure && n->b->pure;
        case Op::ObjectLit:
            for (const Node* v : n->list)
                if (!v->pure)
                    return false;
            return true;
        default:
            return false;
        }
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
        case Op::Assign: {
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
                break;
            }
            bool local;
            ResolveName(target, local, n->slot);
            n->name = target->name;
            // x = x + a + b ... appends in place when x holds the only reference to a string.
            std::vector<Node*> adds;
            Node* left = value;
            while (left->op == Op::Add) {
                adds.push_back(left);
                left = left->a;
            }
            if (!adds.empty() && left->op == Op::Name && left->name == target->name) {
                n->op = local ? Op::AppendLocal : Op::AppendGlobal;
                n->list.assign(adds.rbegin(), adds.rend());
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
            break;
        }
        case Op::Field:
            Resolve(n->a);
            n->slot = Atom(n->name);
            break;
        case Op::Call: {
            auto it = functions_.find(n->name);
            if (it == functions_.end())
                FailAt("undefined function '" + n->name + "'", n);
            n->slot = it->second;
            const Function& f = program_.functions[static_cast<std::size_t>(n->slot)];
            if (f.params.size() != n->list.size())
                FailAt("function '" + f.name + "' takes " + std::to_string(f.params.size()) + " argument" +
                           (f.params.size() == 1 ? "" : "s") + " but is given " + std::to_string(n->list.size()),
                       n);
            for (Node* arg : n->list)
                Resolve(arg);
            break;
        }
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
        case Op::Block:
            for (Node* s : n->list)
                Resolve(s);
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
