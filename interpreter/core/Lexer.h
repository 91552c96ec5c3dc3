// Cuts program text into tokens, one at a time, tracking line and column.
#pragma once

#include "interpreter/core/Error.h"

#include <string>
#include <string_view>

namespace qav {

enum class Tok {
    End, Number, String, Name,
    Var, Function, If, Else, While, For, Break, Continue, Return, Print, True, False, Nil,
    LParen, RParen, LBrace, RBrace, LBracket, RBracket, Comma, Semicolon, Dot, Colon,
    Plus, Minus, Star, Slash, Percent, Bang, Assign,
    Eq, Ne, Lt, Le, Gt, Ge, AndAnd, OrOr,
};

struct Token {
    Tok kind = Tok::End;
    int line = 1;
    int column = 1;
    std::string_view text; // the token as written
    double number = 0;     // a Number's value
    std::string string;    // a String's value, escapes decoded
};

// Describes a token kind for messages, e.g. "';'" or "a name".
const char* Describe(Tok kind);

class Lexer {
public:
    // The text must be valid UTF-8 and outlive the lexer.
    explicit Lexer(std::string_view source);

    // The next token; throws ScriptError on a malformed one.
    Token Next();

private:
    void SkipSpaceAndComments();
    void Advance();
    [[noreturn]] void Fail(const std::string& message, int line, int column) const;
    void ReadNumber(Token& token);
    void ReadString(Token& token);

    std::string_view src_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
};

} // namespace qav
