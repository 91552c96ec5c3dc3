// The language as the workbench sees it; the same cases run natively against the core
// and under Wine through QAV.dll's table.
#include "tests/interpreter/DocExamples.h"
#include "tests/interpreter/Outcome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Expect {
    const char* program;
    const char* result;
};

std::string LastLine(const std::string& text)
{
    const auto cut = text.rfind('\n');
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

std::size_t LineCount(const std::string& text)
{
    return text.empty() ? 0 : 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Language, EveryDocumentedExampleGivesItsDocumentedResultAndLog)
{
    const std::vector<DocExample> examples = ReadDocExamples(QAV_LANGUAGE_DOC);
    ASSERT_GE(examples.size(), 10u);
    for (const DocExample& e : examples) {
        SCOPED_TRACE("example at line " + std::to_string(e.line) + " of docs/language.md");
        const Outcome o = RunProgram(e.program);
        EXPECT_EQ(o.result, e.result);
        EXPECT_EQ(o.log, e.log);
    }
}

TEST(Language, ExpressionsAndStatementsGiveTheirValues)
{
    const Expect cases[] = {
        {"1 + 2 * 3 - 4 / 2;", "5"},
        {"-2 * -3;", "6"},
        {"!true == false;", "true"},
        {"1 < 2 && 2 < 3 || false;", "true"},
        {"10 % 4 + 2.5;", "4.5"},
        {"0.1 + 0.2;", "0.30000000000000004"},
        {"-7 % 3;", "-1"},
        {"\"a\" + nil + true;", "aniltrue"},
        {"\"abc\" == \"ab\" + \"c\";", "true"},
        {"nil == false;", "false"},
        {"var a = {}; var b = a; a == b;", "true"},
        {"({} == {});", "false"},
        {"\"q\\\"\\\\\";", "q\"\\"},
        {"", "nil"},
        {"// only a comment", "nil"},
        {"var a = 1;", "nil"},
        {"function f() {} f();", "nil"},
        {"function f(x) { x = x + 1; return x; } var y = 1; f(y); y;", "1"},
        {"function f() { return g(); } function g() { return 7; } f();", "7"},
        {"function get() { return later; } var later = 5; get();", "5"},
        {"var x = 1; function f() { var x = 2; return x; } f() + x;", "3"},
        {"var a = 1; { var b = a + 1; } b;", "2"},
        {"var o = {a: {b: 1}}; o.a;", "#2 {b: 1}"},
        {"var a = {}; a.self = a; a;", "#1 {self: #1}"},
        {"var s = \"h\xC3\xA9llo \xE2\x9C\x93\"; s;", "h\xC3\xA9llo \xE2\x9C\x93"},
        {"var n = 1; n = n + 2; n;", "3"},
        {"var n = 1; n = n; n;", "1"},
        {"var n = 1; n = n + 2 + \"a\" + n; n;", "3a1"},
        {"var n = 1; n = n + \"a\"; n;", "1a"},
        {"var s = \"ab\"; var t = s; s = s + \"c\"; t + \" \" + s;", "ab abc"},
        {"var o = {v: \"x\"}; var s = o.v; s = s + \"y\"; o.v + s;", "xxy"},
        {"var s = \"a\"; s = s + s; s = s + s; s;", "aaaa"},
        {"var s = \"a\"; function f() { s = \"z\"; return 1; } s = s + f(); s;", "a1"},
        {"var i = 0; var s = \"\"; while (i < 3) { s = s + i; i = i + 1; } s;", "012"},
        {"1e21;", "1e+21"},
        {"var x = 2; x = x * 3;", "6"},
        {"return 4; 5;", "4"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(RunProgram(c.program).result, c.result);
    }
}

TEST(Language, ErrorsGiveTheirLineAndColumn)
{
    const Expect cases[] = {
        {"var x = 1 # 2;", "at line 1, column 11: unexpected character '#'"},
        {"print 1;\n\x01", "at line 2, column 1: unexpected character U+0001"},
        {"var s = \"\xC3\xA9\xF0\x9F\x98\x80\"; #", "at line 1, column 16: unexpected character '#'"},
        {"print 1 & 2;", "at line 1, column 9: unexpected character '&' (did you mean '&&'?)"},
        {"print \"abc;\n", "at line 1, column 7: unterminated string"},
        {"print \"a\\qb\";", "at line 1, column 9: unknown escape '\\q' in string"},
        {"var n = 12abc;", "at line 1, column 9: malformed number"},
        {"var a = 1\nvar b = 2;", "at line 2, column 1: expected ';' after the variable declaration but found 'var'"},
        {"print (1 + 2;", "at line 1, column 13: expected ')' to close the parenthesis but found ';'"},
        {"if (true) {\n  print 1;\n",
         "at line 3, column 1: expected '}' to close the block opened at line 1, column 11 but found the end of "
         "the program"},
        {"1 = 2;", "at line 1, column 3: only a variable or a field can be assigned to"},
        {"if (true) { function f() { } }", "at line 1, column 13: functions can only be declared at the top level"},
        {"var a = b;", "at line 1, column 9: undefined variable 'b'"},
        {"var a = 1;\nmissing(a);", "at line 2, column 1: undefined function 'missing'"},
        {"function f(a, b) { return a; }\nf(1);", "at line 2, column 1: function 'f' takes 2 arguments but is given 1"},
        {"var a;\nvar a;", "at line 2, column 5: variable 'a' is already declared"},
        {"function f() {}\nfunction f() {}", "at line 2, column 10: function 'f' is already declared"},
        {"function f(a, a) { }", "at line 1, column 10: parameter 'a' appears twice"},
        {"var o = { a: 1, a: 2 };", "at line 1, column 20: field 'a' appears twice"},
        {"var z = 0;\nprint 5 % z;", "at line 2, column 9: division by zero"},
        {"print 1 + true;", "at line 1, column 9: cannot apply '+' to a number and a boolean"},
        {"print \"a\" - 1;", "at line 1, column 11: cannot apply '-' to a string and a number"},
        {"print 1 < \"2\";", "at line 1, column 9: cannot apply '<' to a number and a string"},
        {"print -\"x\";", "at line 1, column 7: cannot apply '-' to a string"},
        {"var n = nil;\nprint n.size;", "at line 2, column 9: cannot read field 'size' of nil"},
        {"var o = {};\nprint o.size;", "at line 2, column 9: object #1 has no field 'size'"},
        {"var n = 3;\nn.size = 1;", "at line 2, column 8: cannot set field 'size' on a number"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program);
        const Outcome o = RunProgram(c.program);
        EXPECT_EQ(o.result, std::string("Run failed ") + c.result);
        EXPECT_EQ(LastLine(o.log), std::string("Error ") + c.result);
    }
}

TEST(Language, DeepNestingInTheTextIsAnErrorNotACrash)
{
    const std::string programs[] = {
        "print " + std::string(5000, '(') + "1" + std::string(5000, ')') + ";",
        "print " + std::string(5000, '-') + "1;",
        std::string(5000, '{') + std::string(5000, '}'),
        [] {
            std::string s = "var x = 1";
            for (int i = 0; i < 20000; ++i)
                s += " + 1";
            return s + ";";
        }(),
        [] {
            std::string s = "var x = 0;\nif (x == 0) x = 1;";
            for (int i = 0; i < 5000; ++i)
                s += " else if (x == " + std::to_string(i) + ") x = 2;";
            return s;
        }(),
    };
    for (const std::string& p : programs) {
        SCOPED_TRACE(p.substr(0, 40));
        const Outcome o = RunProgram(p);
        EXPECT_EQ(o.result.find("Run failed at line "), 0u);
        EXPECT_NE(o.result.find("program nested too deeply (more than 150 levels)"), std::string::npos) << o.result;
    }
}

TEST(Language, CleanRunFillsVariablesObjectsAndFunctionsAndLeavesNoCalls)
{
    const Outcome o = RunProgram(R"(var limit = 3;
var shapes = { name: "square", side: 2 };
function area(s) { return s.side * s.side; }
function total(n) {
    var sum = 0;
    var i = 0;
    while (i < n) { sum = sum + area(shapes); i = i + 1; }
    return sum;
}
var answer = total(limit);
var temp = { note: "dropped" };
temp = nil;
print "answer " + answer;
answer;
)");
    EXPECT_EQ(o.result, "12");
    EXPECT_EQ(o.log, "answer 12");
    EXPECT_EQ(o.variables, "limit = 3\nshapes = #1\nanswer = 12\ntemp = nil");
    EXPECT_EQ(o.parameters, "");
    EXPECT_EQ(o.objects, "#1 {name: \"square\", side: 2}");
    EXPECT_EQ(o.functions, "area(s): called 3 times\ntotal(n): called 1 time");
}

TEST(Language, RuntimeErrorInANestedCallShowsTheCallChainAndWhatItHeld)
{
    const Outcome o = RunProgram(R"(var people = { first: { name: "Ann", age: 30 } };
function describe(p, label) {
    return label + ": " + p.name + " " + check(p.age, { limit: 18 });
}
function check(age, rule) {
    var gap = age - rule.limit;
    return gap / (rule.limit - 18);
}
print "checking";
describe(people.first, "person");
)");
    EXPECT_EQ(o.result, "Run failed at line 7, column 16: division by zero");
    EXPECT_EQ(o.log, "checking\nError at line 7, column 16: division by zero");
    EXPECT_EQ(o.variables, "people = #1");
    EXPECT_EQ(o.parameters, "check(age = 30, rule = #3)\ndescribe(p = #2, label = \"person\")");
    EXPECT_EQ(o.objects, "#1 {first: #2}\n#2 {name: \"Ann\", age: 30}\n#3 {limit: 18}");
    EXPECT_EQ(o.functions, "describe(p, label): called 1 time\ncheck(age, rule): called 1 time");
}

TEST(Language, RunawayRecursionStopsAtTheDepthLimitWithTheWholeChain)
{
    const Outcome o = RunProgram("function down(n) {\n    return down(n + 1);\n}\ndown(1);");
    EXPECT_EQ(o.result, "Run failed at line 2, column 12: call depth limit reached: more than 400 nested calls");
    EXPECT_EQ(LineCount(o.parameters), 400u);
    EXPECT_EQ(o.parameters.substr(0, o.parameters.find('\n')), "down(n = 400)");
    EXPECT_EQ(LastLine(o.parameters), "down(n = 1)");
    EXPECT_EQ(o.functions, "down(n): called 400 times");
}

TEST(Language, DeepRecursionWithNestedExpressionsStopsAtALimit)
{
    // Each level holds several evaluator frames; the call depth limit must come first.
    const Outcome o = RunProgram(R"(function f(n) {
    if (n >= 0) {
        while (true) {
            return 1 + (2 * (3 + (4 - f(n + 1))));
        }
    }
}
f(0);)");
    EXPECT_EQ(o.result, "Run failed at line 4, column 39: call depth limit reached: more than 400 nested calls");
}

TEST(Language, RunawayLoopStopsAtTheStepBudget)
{
    const Outcome o = RunProgram("var i = 0;\nwhile (true) {\n    i = i + 1;\n}");
    // Each turn costs three steps: its test, the block and the block's statement.
    EXPECT_EQ(o.result, "Run failed at line 3, column 5: step limit reached: the program ran more than 100000000 steps");
    EXPECT_EQ(o.variables, "i = 33333332");
    EXPECT_EQ(o.parameters, "");
}

TEST(Language, ObjectsHeldOnlyByACycleAreNotListed)
{
    const Outcome o = RunProgram("var a = {n: 1}; var b = {n: 2, other: a}; a.other = b; var keep = {n: 3}; a = nil; b = nil; 0;");
    EXPECT_EQ(o.objects, "#3 {n: 3}");
    EXPECT_EQ(o.variables, "a = nil\nb = nil\nkeep = #3");
}

} // namespace
