// Growing a string in place is a shortcut that no program may notice: random programs
// that share, append to and keep strings must give the same report with it on and off.
#include "interpreter/core/Interpreter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Random programs over three string variables that share values with each other, an
// array, an object and the result, and append inside functions and in every kind of
// statement.
class ProgramMaker {
public:
    explicit ProgramMaker(unsigned seed) : random_(seed) {}

    std::string Make()
    {
        std::string p = "var s0 = \"a\" + \"b\";\nvar s1 = \"c\";\nvar s2 = s0;\nvar a = [s1];\nvar o = {k: s0};\n"
                        "var n = 0;\n"
                        "function f(x) { " + Var() + " = " + Var() + " + x; return 1; }\n"
                        "function g() { var t = " + Var() + "; t = t + \"g\"; " + Var() + " = t; return t; }\n";
        const int count = Pick(4, 14);
        for (int i = 0; i < count; ++i)
            p += Statement(2) + "\n";
        if (Pick(0, 3) == 0)
            p += "return " + Var() + ";\n";
        return p;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string Var() { return std::string{'s', static_cast<char>('0' + Pick(0, 2))}; }

    std::string Expr(int depth)
    {
        switch (depth > 0 ? Pick(0, 9) : Pick(0, 3)) {
        case 0: return std::string{'"', static_cast<char>('p' + Pick(0, 5)), '"'};
        case 1: return Var();
        case 2: return std::to_string(Pick(0, 99));
        case 3: return "a[0]";
        case 4: return "f(" + Expr(depth - 1) + ")";
        case 5: return "g()";
        case 6: return "(" + Append() + ")";
        case 7: return "substr(" + Var() + ", 1, 3)";
        case 8: return "str(len(" + Var() + "))";
        default: return Expr(depth - 1) + " + " + Expr(depth - 1);
        }
    }

    std::string Append()
    {
        const std::string v = Var();
        std::string e = v + " = " + v + " + " + Expr(1);
        if (Pick(0, 1) == 0)
            e += " + " + Expr(1);
        return e;
    }

    std::string Statement(int depth)
    {
        switch (depth > 0 ? Pick(0, 13) : Pick(0, 7)) {
        case 0:
        case 1: return Append() + ";";
        case 2: return "print " + Append() + ";";
        case 3: return Var() + " = " + Var() + ";";
        case 4: return Var() + ";";
        case 5: return "push(a, " + Var() + ");";
        case 6: return "o.k = " + Var() + ";";
        case 7: return "a[0] = " + Expr(1) + ";";
        case 8: return "var v" + std::to_string(vars_++) + " = " + Append() + ";";
        case 9: return "if (f(" + Expr(1) + ")) { " + Statement(depth - 1) + " } else { " + Statement(depth - 1) + " }";
        case 10: return "n = 0;\nwhile (n < 3) { " + Statement(depth - 1) + " n = n + 1; }";
        case 11: return "for (n = 0; n < 2; n = n + f(" + Var() + ")) { " + Statement(depth - 1) + " }";
        case 12: return "print " + Var() + " + g();";
        default: return "if (len(" + Var() + ") > 4) { " + Statement(depth - 1) + " }";
        }
    }

    std::mt19937 random_;
    int vars_ = 0;
};

TEST(AppendInPlace, RandomProgramsGiveTheSameReportWithTheShortcutOnAndOff)
{
    qav::Limits on;
    qav::Limits off;
    off.appendInPlace = false;
    int compared = 0;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        const std::string program = ProgramMaker(seed).Make();
        SCOPED_TRACE(program);
        const qav::RunReport a = qav::Run(std::string_view(program), on);
        const qav::RunReport b = qav::Run(std::string_view(program), off);
        ASSERT_EQ(a.result.find("limit reached"), std::string::npos) << a.result;
        EXPECT_EQ(a.ok, b.ok);
        EXPECT_EQ(a.result, b.result);
        EXPECT_EQ(a.log, b.log);
        EXPECT_EQ(a.variables, b.variables);
        EXPECT_EQ(a.parameters, b.parameters);
        EXPECT_EQ(a.objects, b.objects);
        EXPECT_EQ(a.functions, b.functions);
        compared += a.ok ? 1 : 0;
    }
    // Most programs run to the end, so the comparison covers whole runs.
    EXPECT_GT(compared, 300);
}

} // namespace
