#include "interpreter/core/Lexer.h"

#include "interpreter/core/CharNames.h"
#include "interpreter/core/ValueText.h"


namespace qav {

namespace {

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct Keyword {
    std::string_view text;
    Tok kind;
};

constexpr Keyword kKeywords[] = {
    {"var", Tok::Var},       {"function", Tok::Function}, {"if", Tok::If},
    {"else", Tok::Else},     {"while", Tok::While},       {"for", Tok::For},
    {"break", Tok::Break},   {"continue", Tok::Continue}, {"return", Tok::Return},
    {"print", Tok::Print},   {"true", Tok::True},         {"false", Tok::False},
    {"nil", Tok::Nil},
};

} // namespace

const char* Describe(Tok kind)
{
    switch (kind) {
    case Tok::End: return "the end of the program";
    case Tok::Number: return "a number";
    case Tok::String: return "a string";
    case Tok::Name: return "a name";
    case Tok::Var: return "'var'";
    case Tok::Function: return "'function'";
    case Tok::If: return "'if'";
    case Tok::Else: return "'else'";
    case Tok::While: return "'while'";
    case Tok::For: return "'for'";
    case Tok::Break: return "'break'";
    case Tok::Continue: return "'continue'";
    case Tok::Return: return "'return'";
    case Tok::Print: return "'print'";
    case Tok::True: return "'true'";
    case Tok::False: return "'false'";
    case Tok::Nil: return "'nil'";
    case Tok::LParen: return "'('";
    case Tok::RParen: return "')'";
    case Tok::LBrace: return "'{'";
    case Tok::RBrace: return "'}'";
    case Tok::LBracket: return "'['";
    case Tok::RBracket: return "']'";
    case Tok::Comma: return "','";
    case Tok::Semicolon: return "';'";
    case Tok::Dot: return "'.'";
    case Tok::Colon: return "':'";
    case Tok::Plus: return "'+'";
    case Tok::Minus: return "'-'";
    case Tok::Star: return "'*'";
    case Tok::Slash: return "'/'";
    case Tok::Percent: return "'%'";
    case Tok::Bang: return "'!'";
    case Tok::Assign: return "'='";
    case Tok::Eq: return "'=='";
    case Tok::Ne: return "'!='";
    case Tok::Lt: return "'<'";
    case Tok::Le: return "'<='";
    case Tok::Gt: return "'>'";
    case Tok::Ge: return "'>='";
    case Tok::AndAnd: return "'&&'";
    case Tok::OrOr: return "'||'";
    }
    return "a token";
}

Lexer::Lexer(std::string_view source) : src_(source) {}

void Lexer::Fail(const std::string& message, int line, int column) const
{
    throw ScriptError{message, line, column};
}

// Moves past one character; columns count UTF-16 code units, as the editor does.
void Lexer::Advance()
{
    const auto c = static_cast<unsigned char>(src_[pos_]);
    if (c == '\n' || (c == '\r' && (pos_ + 1 >= src_.size() || src_[pos_ + 1] != '\n'))) {
        ++line_;
        column_ = 1;
    } else if (c == '\r') {
        // the CR of a CR LF pair: the LF ends the line
    } else if ((c & 0xC0) != 0x80) {
        column_ += c >= 0xF0 ? 2 : 1;
    }
    ++pos_;
}

void Lexer::SkipSpaceAndComments()
{
    while (pos_ < src_.size()) {
        const char c = src_[pos_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            Advance();
        } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
            while (pos_ < src_.size() && src_[pos_] != '\n' && src_[pos_] != '\r')
                Advance();
        } else {
            break;
        }
    }
}

void Lexer::ReadNumber(Token& token)
{
    const std::size_t start = pos_;
    while (pos_ < src_.size() && IsDigit(src_[pos_]))
        Advance();
    if (pos_ + 1 < src_.size() && src_[pos_] == '.' && IsDigit(src_[pos_ + 1])) {
        Advance();
        while (pos_ < src_.size() && IsDigit(src_[pos_]))
            Advance();
    }
    if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
        std::size_t look = pos_ + 1;
        if (look < src_.size() && (src_[look] == '+' || src_[look] == '-'))
            ++look;
        if (look < src_.size() && IsDigit(src_[look])) {
            while (pos_ < look)
                Advance();
            while (pos_ < src_.size() && IsDigit(src_[pos_]))
                Advance();
        }
    }
    if (pos_ < src_.size() && (IsNameStart(src_[pos_]) || IsDigit(src_[pos_])))
        Fail("malformed number", token.line, token.column);
    token.text = src_.substr(start, pos_ - start);
    if (!ReadDecimal(token.text, token.number))
        Fail("number out of range: " + Excerpt(token.text), token.line, token.column);
}

void Lexer::ReadString(Token& token)
{
    const std::size_t start = pos_;
    Advance();
    for (;;) {
        if (pos_ >= src_.size() || src_[pos_] == '\n' || src_[pos_] == '\r')
            Fail("unterminated string", token.line, token.column);
        const char c = src_[pos_];
        if (c == '"') {
            Advance();
            break;
        }
        if (c == '\\') {
            const int line = line_;
            const int column = column_;
            Advance();
            const char e = pos_ < src_.size() ? src_[pos_] : '\0';
            switch (e) {
            case 'n': token.string += '\n'; break;
            case 't': token.string += '\t'; break;
            case 'r': token.string += '\r'; break;
            case '"': token.string += '"'; break;
            case '\\': token.string += '\\'; break;
            default:
                if (pos_ >= src_.size() || e == '\n' || e == '\r')
                    Fail("unterminated string", token.line, token.column);
                if (static_cast<unsigned char>(e) > 0x20 && static_cast<unsigned char>(e) < 0x7F)
                    Fail(std::string("unknown escape '\\") + e + "' in string", line, column);
                Fail("unknown escape in string", line, column);
            }
            Advance();
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            Fail("control character " + DescribeChar(src_, pos_) + " in string", line_, column_);
        token.string += c;
        Advance();
    }
    token.text = src_.substr(start, pos_ - start);
}

Token Lexer::Next()
{
    SkipSpaceAndComments();
    Token token;
    token.line = line_;
    token.column = column_;
    if (pos_ >= src_.size())
        return token;
    const std::size_t start = pos_;
    const char c = src_[pos_];
    if (IsDigit(c)) {
        token.kind = Tok::Number;
        ReadNumber(token);
        return token;
    }
    if (c == '"') {
        token.kind = Tok::String;
        ReadString(token);
        return token;
    }
    if (IsNameStart(c)) {
        while (pos_ < src_.size() && (IsNameStart(src_[pos_]) || IsDigit(src_[pos_])))
            Advance();
        token.text = src_.substr(start, pos_ - start);
        token.kind = Tok::Name;
        for (const Keyword& k : kKeywords)
            if (k.text == token.text)
                token.kind = k.kind;
        return token;
    }
    const char next = pos_ + 1 < src_.size() ? src_[pos_ + 1] : '\0';
    auto two = [&](Tok kind) {
        Advance();
        Advance();
        token.kind = kind;
    };
    auto one = [&](Tok kind) {
        Advance();
        token.kind = kind;
    };
    switch (c) {
    case '(': one(Tok::LParen); break;
    case ')': one(Tok::RParen); break;
    case '{': one(Tok::LBrace); break;
    case '}': one(Tok::RBrace); break;
    case '[': one(Tok::LBracket); break;
    case ']': one(Tok::RBracket); break;
    case ',': one(Tok::Comma); break;
    case ';': one(Tok::Semicolon); break;
    case '.': one(Tok::Dot); break;
    case ':': one(Tok::Colon); break;
    case '+': one(Tok::Plus); break;
    case '-': one(Tok::Minus); break;
    case '*': one(Tok::Star); break;
    case '/': one(Tok::Slash); break;
    case '%': one(Tok::Percent); break;
    case '!': next == '=' ? two(Tok::Ne) : one(Tok::Bang); break;
    case '=': next == '=' ? two(Tok::Eq) : one(Tok::Assign); break;
    case '<': next == '=' ? two(Tok::Le) : one(Tok::Lt); break;
    case '>': next == '=' ? two(Tok::Ge) : one(Tok::Gt); break;
    case '&':
        if (next != '&')
            Fail("unexpected character '&' (did you mean '&&'?)", line_, column_);
        two(Tok::AndAnd);
        break;
    case '|':
        if (next != '|')
            Fail("unexpected character '|' (did you mean '||'?)", line_, column_);
        two(Tok::OrOr);
        break;
    default:
        Fail("unexpected character " + DescribeChar(src_, pos_), line_, column_);
    }
    token.text = src_.substr(start, pos_ - start);
    return token;
}

} // namespace qav
