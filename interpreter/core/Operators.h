// The operators: one table that the parser's binding, the messages and the resolver's
// purity all read, and each number operation and comparison written once, over its
// operator, for every fast path and the general case alike.
#pragma once

#include "interpreter/core/Ast.h"
#include "interpreter/core/Lexer.h"

#include <cmath>
#include <cstdint>

namespace qav {

inline constexpr int kUnaryBinding = 7; // tighter than every binary operator

struct Operator {
    Tok token;
    Op op;
    int binding; // higher binds tighter; binary operators group to the left
    const char* text;
};

inline constexpr Operator kOperators[] = {
    {Tok::OrOr, Op::Or, 1, "'||'"},   {Tok::AndAnd, Op::And, 2, "'&&'"}, {Tok::Eq, Op::Eq, 3, "'=='"},
    {Tok::Ne, Op::Ne, 3, "'!='"},     {Tok::Lt, Op::Lt, 4, "'<'"},       {Tok::Le, Op::Le, 4, "'<='"},
    {Tok::Gt, Op::Gt, 4, "'>'"},      {Tok::Ge, Op::Ge, 4, "'>='"},      {Tok::Plus, Op::Add, 5, "'+'"},
    {Tok::Minus, Op::Sub, 5, "'-'"},  {Tok::Star, Op::Mul, 6, "'*'"},    {Tok::Slash, Op::Div, 6, "'/'"},
    {Tok::Percent, Op::Mod, 6, "'%'"}, {Tok::Minus, Op::Neg, kUnaryBinding, "'-'"},
    {Tok::Bang, Op::Not, kUnaryBinding, "'!'"},
};

// The binary operator a token starts, or null.
constexpr const Operator* BinaryOperator(Tok token)
{
    for (const Operator& o : kOperators)
        if (o.token == token && o.binding < kUnaryBinding)
            return &o;
    return nullptr;
}

// The unary operator a token starts, or null.
constexpr const Operator* UnaryOperator(Tok token)
{
    for (const Operator& o : kOperators)
        if (o.token == token && o.binding == kUnaryBinding)
            return &o;
    return nullptr;
}

// The table's entry for an operator node, or null for any other node.
constexpr const Operator* OperatorOf(Op op)
{
    for (const Operator& o : kOperators)
        if (o.op == op)
            return &o;
    return nullptr;
}

constexpr const char* OpText(Op op)
{
    const Operator* o = OperatorOf(op);
    return o != nullptr ? o->text : "?";
}

// x % y with the sign of x; whole numbers take an integer path, which is far quicker.
// In 32 bits where they fit: every processor divides those at once, and on 32-bit x86 a
// 64-bit division is a library call and its conversions go through the x87 unit, so
// there larger ones take fmod. -2^31 is left out, so that a % -1 cannot overflow.
inline double Remainder(double x, double y)
{
    constexpr double kWord = 2147483648.0; // 2^31
    if (x > -kWord && x < kWord && y > -kWord && y < kWord) {
        const auto a = static_cast<std::int32_t>(x);
        const auto b = static_cast<std::int32_t>(y);
        if (static_cast<double>(a) == x && static_cast<double>(b) == y)
            return static_cast<double>(a % b);
    }
    if constexpr (sizeof(void*) == 8) {
        constexpr double kWhole = 9007199254740992.0; // 2^53: every whole number up to it is exact
        if (x > -kWhole && x < kWhole && y > -kWhole && y < kWhole) {
            const auto a = static_cast<std::int64_t>(x);
            const auto b = static_cast<std::int64_t>(y);
            if (static_cast<double>(a) == x && static_cast<double>(b) == y)
                return static_cast<double>(a % b);
        }
    }
    return std::fmod(x, y);
}

// '/' and '%' refuse a zero divisor before they get here.
template <Op op>
inline double Arithmetic(double x, double y)
{
    if constexpr (op == Op::Add)
        return x + y;
    else if constexpr (op == Op::Sub)
        return x - y;
    else if constexpr (op == Op::Mul)
        return x * y;
    else if constexpr (op == Op::Div)
        return x / y;
    else
        return Remainder(x, y);
}

// '<', '<=', '>' and '>=' on two numbers, or on the order of two strings against 0.
template <Op op, typename T>
inline bool Ordered(T x, T y)
{
    if constexpr (op == Op::Lt)
        return x < y;
    else if constexpr (op == Op::Le)
        return x <= y;
    else if constexpr (op == Op::Gt)
        return x > y;
    else
        return x >= y;
}

// The same, for an operator known only at run time.
inline double Arithmetic(Op op, double x, double y)
{
    switch (op) {
    case Op::Add: return Arithmetic<Op::Add>(x, y);
    case Op::Sub: return Arithmetic<Op::Sub>(x, y);
    case Op::Mul: return Arithmetic<Op::Mul>(x, y);
    case Op::Div: return Arithmetic<Op::Div>(x, y);
    default: return Arithmetic<Op::Mod>(x, y);
    }
}

template <typename T>
inline bool Ordered(Op op, T x, T y)
{
    switch (op) {
    case Op::Lt: return Ordered<Op::Lt>(x, y);
    case Op::Le: return Ordered<Op::Le>(x, y);
    case Op::Gt: return Ordered<Op::Gt>(x, y);
    default: return Ordered<Op::Ge>(x, y);
    }
}

inline bool IsArithmetic(Op op)
{
    return op == Op::Add || op == Op::Sub || op == Op::Mul || op == Op::Div || op == Op::Mod;
}

inline bool IsOrdering(Op op)
{
    return op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge;
}

} // namespace qav
