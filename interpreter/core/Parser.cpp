#include "interpreter/core/Parser.h"

#include "interpreter/core/Lexer.h"
#include "interpreter/core/Operators.h"
#include "interpreter/core/ValueText.h"

#include <utility>


namespace qav {

namespace {

[[noreturn]] void FailAt(const std::string& message, int line, int column)
{
    throw ScriptError{message, line, column};
}

std::string Found(const Token& t)
{
    switch (t.kind) {
    case Tok::Name: return "name '" + Excerpt(t.text) + "'";
    case Tok::Number: return "number " + Excerpt(t.text);
    case Tok::String: return "a string";
    default: return Describe(t.kind);
    }
}

// Operators in a run that are nested rather than kept as a flat chain: few enough
// that the evaluator's recursion stays shallow.
constexpr std::size_t kMaxNestedLinks = 8;

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
        const Token start = token_;
        const bool firstInBlock = std::exchange(blockOpened_, false);
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
        case Tok::While:
            // while: 'while' '(' expression ')' statement
            return Guarded(Op::While, start, "after 'while'");
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
            return n;
        }
        case Tok::Return: {
            Advance();
            Node* n = Make(Op::Return, start);
            if (token_.kind != Tok::Semicolon)
                n->value() = Expression();
            Expect(Tok::Semicolon, "after the return value");
            return n;
        }
        case Tok::Print: {
            Advance();
            Node* n = Make(Op::Print, start);
            n->value() = Expression();
            Expect(Tok::Semicolon, "after the value to print");
            return n;
        }
        case Tok::LBrace: {
            Level level(*this);
            return Block();
        }
        default: {
            Node* n = Make(Op::ExprStmt, start);
            n->value() = Expression();
            // '{ b: 1 };' reads as a block whose first statement is 'b'.
            if (token_.kind == Tok::Colon && n->value()->op == Op::Name && firstInBlock)
                FailAt("an object literal cannot start a statement, since '{' there starts a block: put it in "
                       "parentheses, as in ({ " + Excerpt(n->value()->name) + ": ... });",
                       token_.line, token_.column);
            Expect(Tok::Semicolon, "after the expression");
            return n;
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
        return n;
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
        n->body() = Body(false);
        return n;
    }

    // The keyword read, then '(' expression ')' statement: an if's or a while's
    // condition and the statement it guards (an if's then() is a loop's body() place).
    Node* Guarded(Op op, const Token& at, const char* after)
    {
        Advance();
        Node* n = Make(op, at);
        Expect(Tok::LParen, after);
        n->cond() = Expression();
        Expect(Tok::RParen, "after the condition");
        n->body() = Body(op == Op::While);
        return n;
    }

    // if: 'if' '(' expression ')' statement ('else' statement)?
    // An 'else if' chain is read in a loop, however long, not by recursion.
    Node* If()
    {
        std::vector<Node*> chain;
        Token at = token_;
        for (;;) {
            Node* n = Guarded(Op::If, at, "after 'if'");
            chain.push_back(n);
            if (token_.kind != Tok::Else)
                break;
            Advance();
            if (token_.kind != Tok::If) {
                n->otherwise() = Body(false);
                break;
            }
            at = token_;
        }
        for (std::size_t i = 0; i + 1 < chain.size(); ++i)
            chain[i]->otherwise() = chain[i + 1];
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
            n->init() = init;
        }
        Expect(Tok::Semicolon, "after the loop's start");
        if (token_.kind != Tok::Semicolon)
            n->cond() = Expression();
        Expect(Tok::Semicolon, "after the loop's condition");
        if (token_.kind != Tok::RParen)
            n->step() = Expression();
        Expect(Tok::RParen, "after the loop's step");
        n->body() = Body(true);
        return n;
    }

    // block: '{' statement* '}'
    Node* Block()
    {
        const Token start = token_;
        Advance();
        Node* n = Make(Op::Block, start);
        blockOpened_ = true;
        while (token_.kind != Tok::RBrace) {
            if (token_.kind == Tok::End)
                FailAt("expected '}' to close the block opened at line " + std::to_string(start.line) + ", column " +
                           std::to_string(start.column) + " but found the end of the program",
                       token_.line, token_.column);
            n->list.push_back(Statement(false));
        }
        blockOpened_ = false;
        Advance();
        return n;
    }

    // The statement an if, a loop or a function runs: one level deeper, and a block
    // there is that level, not one more.
    Node* Body(bool loop)
    {
        Level level(*this);
        loops_ += loop ? 1 : 0;
        Node* body = token_.kind == Tok::LBrace ? Block() : Statement(false);
        loops_ -= loop ? 1 : 0;
        return body;
    }

    // expression: binary(1) ('=' binary(1))*, grouped to the right
    // Only a variable, a field or an item can stand left of '='. Each '=' after the
    // first nests the one before it in the tree, and counts as a level.
    Node* Expression()
    {
        Node* value = Binary(1);
        std::vector<std::pair<Node*, Token>> targets;
        while (token_.kind == Tok::Assign) {
            if (value->op != Op::Name && value->op != Op::Field && value->op != Op::Index)
                FailAt("only a variable, a field or an item can be assigned to", token_.line, token_.column);
            if (depth_ + static_cast<int>(targets.size()) > kMaxNesting)
                FailAt(TooDeep(), token_.line, token_.column);
            targets.emplace_back(value, token_);
            Advance();
            value = Binary(1);
        }
        for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
            Node* n = Make(Op::Assign, it->second);
            n->target() = it->first;
            n->value() = value;
            value = n;
        }
        return value;
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
        // A short run nests, each operator on the one before, and so takes the
        // evaluator's fast paths for each; a long one stays flat.
        if (links.size() <= kMaxNestedLinks) {
            Node* left = first;
            for (Node* link : links) {
                link->left() = left;
                left = link;
            }
            return left;
        }
        Node* chain = Make(Op::Chain, first->line, first->column);
        chain->left() = first;
        chain->list = std::move(links);
        return chain;
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
            return n;
        }
        Node* n = Primary();
        for (;;) {
            if (token_.kind == Tok::Dot) {
                Advance();
                Token name = Expect(Tok::Name, "after '.'");
                Node* f = Make(Op::Field, name);
                f->name = name.text;
                f->object() = n;
                n = f;
            } else if (token_.kind == Tok::LBracket) {
                Level level(*this);
                const Token at = token_;
                Advance();
                Node* index = Make(Op::Index, at);
                index->object() = n;
                index->key() = Expression();
                Expect(Tok::RBracket, "to close the index");
                n = index;
            } else if (token_.kind == Tok::LParen) {
                if (n->op != Op::Name)
                    FailAt("only a function can be called, by its name", token_.line, token_.column);
                Level level(*this);
                Advance();
                n->op = Op::Call;
                while (token_.kind != Tok::RParen) {
                    if (!n->list.empty())
                        Expect(Tok::Comma, "between arguments");
                    n->list.push_back(Expression());
                }
                Advance();
                n = n;
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
            Level level(*this);
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
        Level level(*this);
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
        return n;
    }

    Lexer lexer_;
    Program& program_;
    Token token_;
    int depth_ = 0;
    int loops_ = 0; // loops around the statement being read, for 'break' and 'continue'
    bool blockOpened_ = false; // the next statement is the first of a block
};

} // namespace

void Parse(std::string_view source, Program& program)
{
    Parser(source, program).ParseProgram();
}

} // namespace qav
