#include "interpreter/core/Parser.h"

#include "interpreter/core/Lexer.h"
#include "interpreter/core/Operators.h"

#include <algorithm>

namespace qav {

namespace {

[[noreturn]] void FailAt(const std::string& message, int line, int column)
{
    throw ScriptError{message, line, column};
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

std::string TooDeep()
{
    return "program nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)";
}

class Parser {
public:
    Parser(std::string_view source, Program& program) : lexer_(source), program_(program)
    {
        token_ = lexer_.Next();
    }

    // program: statement*
    void ParseProgram()
    {
        while (token_.kind != Tok::End)
            program_.statements.push_back(Statement(true));
    }

private:
    // Counts the parser's own recursion, which deeply nested text would otherwise exhaust.
    struct Level {
        explicit Level(Parser& p) : parser(p)
        {
            if (++parser.depth_ > kMaxNesting)
                FailAt(TooDeep(), parser.token_.line, parser.token_.column);
        }
        ~Level() { --parser.depth_; }
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
        for (const Node* child : n->kids)
            if (child != nullptr && child->height > h)
                h = child->height;
        for (const Node* child : n->list)
            if (child->height > h)
                h = child->height;
        n->height = h + 1;
        if (n->op == Op::If && n->otherwise() != nullptr && n->otherwise()->op == Op::If)
            n->height = std::max({n->cond()->height + 1, n->then()->height + 1, n->otherwise()->height});
        if (n->height > kMaxNesting)
            FailAt(TooDeep(), n->line, n->column);
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

    // statement: varDecl | functionDecl | if | while | for | 'break' ';' | 'continue' ';'
    //          | 'return' expression? ';' | 'print' expression ';' | block | expression ';'
    Node* Statement(bool topLevel)
    {
        Level level(*this);
        const Token start = token_;
        switch (token_.kind) {
        case Tok::Var: {
            Node* n = VarDecl();
            Expect(Tok::Semicolon, "after the variable declaration");
            return n;
        }
        case Tok::Function:
            if (!topLevel)
                FailAt("functions can only be declared at the top level", start.line, start.column);
            return FunctionDecl();
        case Tok::If:
            return If();
        case Tok::While: {
            // while: 'while' '(' expression ')' statement
            Advance();
            Node* n = Make(Op::While, start);
            Expect(Tok::LParen, "after 'while'");
            n->cond() = Expression();
            Expect(Tok::RParen, "after the condition");
            n->body() = LoopBody();
            return Seal(n);
        }
        case Tok::For:
            return For();
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
                n->value() = Expression();
            Expect(Tok::Semicolon, "after the return value");
            return Seal(n);
        }
        case Tok::Print: {
            Advance();
            Node* n = Make(Op::Print, start);
            n->value() = Expression();
            Expect(Tok::Semicolon, "after the value to print");
            return Seal(n);
        }
        case Tok::LBrace:
            return Block();
        default: {
            Node* n = Make(Op::ExprStmt, start);
            n->value() = Expression();
            Expect(Tok::Semicolon, "after the expression");
            return Seal(n);
        }
        }
    }

    // The keyword read, then the name a declaration gives, where the node is placed.
    Node* Named(Op op, const char* after)
    {
        Advance();
        const Token name = Expect(Tok::Name, after);
        Node* n = Make(op, name);
        n->name = name.text;
        return n;
    }

    // varDecl: 'var' name ('=' expression)?
    Node* VarDecl()
    {
        Node* n = Named(Op::VarDecl, "after 'var'");
        if (token_.kind == Tok::Assign) {
            Advance();
            n->value() = Expression();
        }
        return Seal(n);
    }

    // functionDecl: 'function' name '(' (name (',' name)*)? ')' block
    Node* FunctionDecl()
    {
        Node* n = Named(Op::FunctionDecl, "after 'function'");
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
        n->body() = Statement(false);
        return Seal(n);
    }

    // if: 'if' '(' expression ')' statement ('else' statement)?
    // An 'else if' chain is read in a loop, however long, not by recursion.
    Node* If()
    {
        std::vector<Node*> chain;
        Token at = token_;
        for (;;) {
            Advance();
            Node* n = Make(Op::If, at);
            Expect(Tok::LParen, "after 'if'");
            n->cond() = Expression();
            Expect(Tok::RParen, "after the condition");
            n->then() = Statement(false);
            chain.push_back(n);
            if (token_.kind != Tok::Else)
                break;
            Advance();
            if (token_.kind != Tok::If) {
                n->otherwise() = Statement(false);
                break;
            }
            at = token_;
        }
        for (std::size_t i = chain.size(); i-- > 0;) {
            if (i + 1 < chain.size())
                chain[i]->otherwise() = chain[i + 1];
            Seal(chain[i]);
        }
        return chain.front();
    }

    // for: 'for' '(' (varDecl | expression)? ';' expression? ';' expression? ')' statement
    Node* For()
    {
        Node* n = Make(Op::For, token_);
        Advance();
        Expect(Tok::LParen, "after 'for'");
        if (token_.kind == Tok::Var) {
            n->init() = VarDecl();
        } else if (token_.kind != Tok::Semicolon) {
            Node* init = Make(Op::ExprStmt, token_);
            init->value() = Expression();
            n->init() = Seal(init);
        }
        Expect(Tok::Semicolon, "after the loop's start");
        if (token_.kind != Tok::Semicolon)
            n->cond() = Expression();
        Expect(Tok::Semicolon, "after the loop's condition");
        if (token_.kind != Tok::RParen)
            n->step() = Expression();
        Expect(Tok::RParen, "after the loop's step");
        n->body() = LoopBody();
        return Seal(n);
    }

    // block: '{' statement* '}'
    Node* Block()
    {
        const Token start = token_;
        Advance();
        Node* n = Make(Op::Block, start);
        while (token_.kind != Tok::RBrace) {
            if (token_.kind == Tok::End)
                FailAt("expected '}' to close the block opened at line " + std::to_string(start.line) + ", column " +
                           std::to_string(start.column) + " but found the end of the program",
                       token_.line, token_.column);
            n->list.push_back(Statement(false));
        }
        Advance();
        return Seal(n);
    }

    Node* LoopBody()
    {
        ++loops_;
        Node* body = Statement(false);
        --loops_;
        return body;
    }

    // expression: binary(1) ('=' expression)?
    // Only a variable, a field or an item can stand left of '='.
    Node* Expression()
    {
        Level level(*this);
        Node* left = Binary(1);
        if (token_.kind != Tok::Assign)
            return left;
        const Token at = token_;
        if (left->op != Op::Name && left->op != Op::Field && left->op != Op::Index)
            FailAt("only a variable, a field or an item can be assigned to", at.line, at.column);
        Advance();
        Node* n = Make(Op::Assign, at);
        n->target() = left;
        n->value() = Expression();
        return Seal(n);
    }

    // binary(p): unary (operator binary(binding + 1))*, for operators binding at least p.
    // A run of them, such as a + b - c + d, becomes one flat chain that the evaluator
    // walks in a loop, so its length costs no nesting.
    Node* Binary(int minBinding)
    {
        Node* first = Unary();
        std::vector<Node*> links;
        for (;;) {
            const Operator* o = BinaryOperator(token_.kind);
            if (o == nullptr || o->binding < minBinding)
                break;
            const Token at = token_;
            Advance();
            Node* link = Make(o->op, at);
            link->right() = Binary(o->binding + 1);
            links.push_back(link);
        }
        if (links.empty())
            return first;
        if (links.size() == 1) {
            links[0]->left() = first;
            return Seal(links[0]);
        }
        Node* chain = Make(Op::Chain, first->line, first->column);
        chain->left() = first;
        for (Node* link : links)
            Seal(link);
        chain->list = std::move(links);
        return Seal(chain);
    }

    // unary: ('-' | '!') unary | primary ('.' name | '[' expression ']' | '(' arguments ')')*
    Node* Unary()
    {
        if (const Operator* o = UnaryOperator(token_.kind)) {
            Level level(*this);
            const Token at = token_;
            Advance();
            Node* n = Make(o->op, at);
            n->operand() = Unary();
            return Seal(n);
        }
        Node* n = Primary();
        for (;;) {
            if (token_.kind == Tok::Dot) {
                Advance();
                Token name = Expect(Tok::Name, "after '.'");
                Node* f = Make(Op::Field, name);
                f->name = name.text;
                f->object() = n;
                n = Seal(f);
            } else if (token_.kind == Tok::LBracket) {
                const Token at = token_;
                Advance();
                Node* index = Make(Op::Index, at);
                index->object() = n;
                index->key() = Expression();
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

    // primary: number | string | 'true' | 'false' | 'nil' | name | '(' expression ')'
    //        | '{' (name ':' expression (',' name ':' expression)* ','?)? '}'
    //        | '[' (expression (',' expression)* ','?)? ']'
    Node* Primary()
    {
        const Token at = token_;
        switch (token_.kind) {
        case Tok::Number: {
            Node* n = Make(Op::Const, at);
            n->constant = Value(at.number);
            Advance();
            return n;
        }
        case Tok::String: {
            Node* n = Make(Op::Const, at);
            n->constant = Value(new Str(nullptr, token_.string));
            Advance();
            return n;
        }
        case Tok::True:
        case Tok::False: {
            Node* n = Make(Op::Const, at);
            n->constant = Value::Boolean(at.kind == Tok::True);
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
        case Tok::LBrace:
            return List(Op::ObjectLit, Tok::RBrace, "between fields");
        case Tok::LBracket:
            return List(Op::ArrayLit, Tok::RBracket, "between items");
        default:
            FailAt("expected an expression but found " + Found(token_), at.line, at.column);
        }
    }

    // The items of an object or array literal, up to its closing token.
    Node* List(Op op, Tok close, const char* between)
    {
        Node* n = Make(op, token_);
        Advance();
        while (token_.kind != close) {
            if (!n->list.empty())
                Expect(Tok::Comma, between);
            if (token_.kind == close)
                break;
            if (op == Op::ObjectLit) {
                n->names.emplace_back(Expect(Tok::Name, "as a field name").text);
                Expect(Tok::Colon, "after the field name");
            }
            n->list.push_back(Expression());
        }
        Advance();
        return Seal(n);
    }

    Lexer lexer_;
    Program& program_;
    Token token_;
    int depth_ = 0;
    int loops_ = 0; // loops around the statement being read, for 'break' and 'continue'
};

} // namespace

void Parse(std::string_view source, Program& program)
{
    Parser(source, program).ParseProgram();
}

} // namespace qav
