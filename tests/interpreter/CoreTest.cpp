// The core on its own: text it must refuse, and its limits set low.
#include "interpreter/core/Interpreter.h"
#include "interpreter/core/Utf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

qav::RunReport RunWith(std::string_view program, qav::Limits limits)
{
    return qav::Run(program, limits);
}

qav::RunReport RunUntimed(std::string_view program)
{
    return qav::Run(program, qav::Limits{});
}

TEST(Core, InvalidUtf8IsRefusedWithItsPosition)
{
    const qav::RunReport r = qav::Run(std::string_view("print 1;\nprint \"\xC3\xA9\xFF\";"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, "Run failed at line 2, column 9: the text is not valid UTF-8");
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_EQ(r.log[0], "Error at line 2, column 9: the text is not valid UTF-8");
}

TEST(Core, UnpairedSurrogateIsRefusedWithItsPosition)
{
    const std::u16string text = u"var a = 1;\r\nprint \"x\xD800\";";
    EXPECT_EQ(qav::Run(std::u16string_view(text)).result,
              "Run failed at line 2, column 9: the text holds an unpaired UTF-16 surrogate");
    const std::u16string low = u"\xDC00";
    EXPECT_EQ(qav::Run(std::u16string_view(low)).result,
              "Run failed at line 1, column 1: the text holds an unpaired UTF-16 surrogate");
}

TEST(Core, BinaryInputGivesAnError)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i * 37 + 11);
    const qav::RunReport r = qav::Run(std::string_view(bytes));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result.rfind("Run failed", 0), 0u);
    const std::string nul("print 1;\0print 2;", 17);
    EXPECT_EQ(qav::Run(std::string_view(nul)).result, "Run failed at line 1, column 9: unexpected character U+0000");
}

TEST(Core, TooLongProgramIsRefused)
{
    qav::Limits limits;
    limits.sourceBytes = 10;
    EXPECT_EQ(RunWith("print 12345678;", limits).result,
              "Run failed: program too long: 15 bytes, at most 10 are accepted");
    EXPECT_EQ(RunWith("print 1;", limits).result, "nil");
}

TEST(Core, StepBudgetCountsEachPartThatRuns)
{
    qav::Limits limits;
    // 'var i = 0;' costs 2 (the statement and its value) and the loop statement 1; each
    // turn of the loop below costs its test (1 for 'true'), 1 for the block and 5 for
    // 'i = i + 1;' (the statement, the assignment, the '+' and its two operands).
    limits.steps = 17;
    const qav::RunReport r = RunWith("var i = 0;\nvar j = 0;\nwhile (true) { i = i + 1; }", limits);
    EXPECT_EQ(r.result, "Run failed at line 3, column 16: step limit reached: the program ran more than 17 steps");
    EXPECT_EQ(r.variables, (std::vector<std::string>{"i = 1", "j = 0"}));
    // Four turns of 3 (the test 'i < 4') + 1 + 5, and the test that ends the loop:
    // 4 + 1 + 36 + 3 steps.
    limits.steps = 44;
    const qav::RunReport done = RunWith("var i = 0;\nvar j = 0;\nwhile (i < 4) { i = i + 1; }", limits);
    EXPECT_EQ(done.result, "4");
    EXPECT_EQ(done.steps, 44u);
    limits.steps = 43;
    EXPECT_EQ(RunWith("var i = 0;\nvar j = 0;\nwhile (i < 4) { i = i + 1; }", limits).result,
              "Run failed at line 3, column 10: step limit reached: the program ran more than 43 steps");
}

TEST(Core, BigExpressionsCostAStepForEachPart)
{
    qav::Limits limits;
    limits.steps = 1000;
    std::string sum = "0";
    for (int i = 0; i < 60; ++i)
        sum = "(" + sum + " + 1)";
    // 121 parts in the expression: the statement costs 122 steps.
    const qav::RunReport once = RunWith("var x = " + sum + ";\nx;", limits);
    EXPECT_EQ(once.result, "60");
    EXPECT_EQ(once.steps, 124u);
    const qav::RunReport loop = RunWith("var n = 0;\nwhile (true) { n = " + sum + "; }", limits);
    EXPECT_EQ(loop.variables, (std::vector<std::string>{"n = 60"}));
    EXPECT_NE(loop.result.find("step limit reached"), std::string::npos);
}

// Returns in a function's own body, items and fields read and set in place, and
// number operators worked out without values give the results and cost the steps
// the general way gives: the step counts below are those of the statements as they run.
TEST(Core, ShortcutsGiveTheResultsAndStepsOfTheGeneralWay)
{
    const struct {
        std::string program;
        std::string result;
        std::uint64_t steps;
    } cases[] = {
        {"function f(x) { if (x) return; return 2; }\n[f(true), f(false)];",
         "#1 [nil, 2]", 16484u},
        {"function g(x) { if (x < 0) return -x; else return x; }\ng(-3) + g(4);",
         "7", 27u},
        {"function h() { return; }\nh();",
         "nil", 5u},
        {"function k(x) { if (x > 1) { return x; } return 0; }\nk(5) + k(1);",
         "5", 26u},
        {"function m(x) { if (x) return x.y; return 1; }\nm({y: 3}) + m(nil);",
         "4", 16512u},
        {"function m(x) { if (x.y) return 1; return 2; }\nm(nil);",
         "Run failed at line 1, column 23: cannot read field 'y' of nil", 11u},
        {"function d(n) { if (n == 0) return 0; return 1 + d(n - 1); }\nd(20000);",
         "Run failed at line 1, column 50: call depth limit reached: more than 10000 nested calls", 189156u},
        {"function e() { var a = 1; if (a) return a + e2(); }\nfunction e2() { return x; }\nvar x = 5;\ne();",
         "6", 20u},
        {"function f(a) { return a[0] + a[1]; }\nf([1, 2]) + f([\"a\", 3]);",
         "3a3", 16757u},
        {"function f(n) { if (n < 2) return n; return f(n - 1) + f(n - 2); }\nf(15);",
         "610", 25649u},
        {"function w(n) { while (true) { if (n > 3) return n; n = n + 1; } }\nw(0);",
         "4", 60u},
        {"var a = [1, 2];\nvar k = -0;\na[k] + a[k + 1];",
         "3", 16483u},
        {"var a = [[1, 2], [3, 4]];\na[1][0] + a[0][1] * 10;",
         "23", 16650u},
        {"var ps = [{x: 1}, {x: 2}];\nps[1].x * 10 + ps[0].x;",
         "21", 16678u},
        {"var a = [1, 0, 2];\na[a[0]] = a[2] * 5;\na[1];",
         "10", 16500u},
        {"var a = [1, 2, 3];\nvar i = 1;\na[i - 1] + a[i] * a[i + 1] - a[0];",
         "6", 16507u},
        {"var a = [1, 2];\nvar i = 1;\na[i - 1] = a[i] / 4;\na[0];",
         "0.5", 16496u},
        {"var a = [5, 6];\nvar i = 0;\nwhile (a[i] < 6) i = i + 1;\ni;",
         "1", 16490u},
        {"var a = [3, 1, 2];\nvar t = a[0]; a[0] = a[1]; a[1] = t;\nstr(a);",
         "#1 [1, 3, 2]", 16607u},
        {"var t = {left: nil};\nvar u = {left: t};\n[t.left == nil, u.left == nil, u.left == t, u.left != t];",
         "#3 [true, false, true, false]", 16709u},
        {"var a = [\"ab\", \"a\" + \"b\", 1, 1.0, nil, false];\n[a[0] == a[1], a[2] == a[3], a[4] == a[5], a[0] != a[2]];",
         "#2 [true, true, false, true]", 16712u},
        {"var s = \"x\";\nwhile (len(s) < 200) s = s + s;\nvar a = [s, s + \"\"];\nvar i = 0;\nwhile (i < 100) { if (a[0] == a[1]) i = i + 1; }\ni;",
         "100", 19431u},
        {"var a = [1, 2, 3, 4];\nvar i = 0;\na[i] + a[i + 1] - a[i + 2] + a[i + 3] * 2 - a[0] + a[1];",
         "9", 16534u},
        {"var a = [1, \"x\", 3, 4];\nvar i = 0;\na[i] + a[i + 1] - a[i + 2] + a[i + 3] * 2 - a[0] + a[1];",
         "Run failed at line 3, column 17: cannot apply '-' to a string and a number", 16646u},
        {"var a = [\"p\", 1, 3, 4];\nvar i = 0;\na[i] + a[i + 1] + a[i + 2] + a[i + 3] + a[0] + a[1];",
         "p134p1", 16983u},
        {"var n = 0;\nwhile (n < 3) { var t = {v: [n]}; var x = t.v[0]; n = n + 1; }\nn;",
         "3", 16860u},
        {"function f() { var i = 0; var s = 0; while (i < 3) { var t = [[i]]; var u = t[0]; var w = u[0]; s = s + w; i = i + 1; } return s; }\nf();",
         "3", 16844u},
        {"function g(o) { var k = 0; while (k < 2) { var o2 = o.next; o = o2; k = k + 1; } return o.v; }\ng({next: {next: {v: 7}}});",
         "7", 16737u},
        {"var i = 0;\nwhile (i < 2) { var q = q.next; i = i + 1; }",
         "Run failed at line 2, column 27: cannot read field 'next' of nil", 11u},
        {"function h(a) { var x = a[5]; return x; }\nh([1]);",
         "Run failed at line 1, column 26: index 5 is out of range: the array has 1 item", 16467u},
        {"function h(a) { var x = a.f; return x; }\nh({g: 1});",
         "Run failed at line 1, column 27: object #1 has no field 'f'", 16518u},
        {"function h(a) { var x = a[0]; x = 2; return a[0]; }\nh([1]);",
         "1", 16475u},
        {"var a = [1, 2];\nvar i = 0;\nwhile (i < 2) { a[i] = a; i = i + 1; }\nlen(a[1][0]);",
         "2", 16517u},
        {"var a = [1, 2];\nvar b = \"s\";\nvar i = 0;\nwhile (i < 2) { a[i] = b; i = i + 1; }\na[0] + a[1];",
         "ss", 16564u},
        {"var a = [1, 2];\nvar i = 0;\nwhile (i < 2) { a[i + 5] = 1; i = i + 1; }",
         "Run failed at line 3, column 18: index 5 is out of range: the array has 2 items", 16483u},
        {"var o = {};\nvar i = 0;\nwhile (i < 2) { o[i] = 1; i = i + 1; }",
         "Run failed at line 3, column 18: a field name must be a string, not a number", 16471u},
        {"var a = [1, 2];\nvar i = 0;\nwhile (i < 2) { a[i] = a[i] * 10 + i; i = i + 1; }\nstr(a);",
         "#1 [10, 21]", 16607u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const qav::RunReport r = RunUntimed(c.program);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.steps, c.steps);
    }
}

// Work that grows with size costs steps by size, so that the budget tracks time: the
// same program with bigger data must cost at least that much more.
TEST(Core, WorkThatGrowsWithSizeCostsMoreSteps)
{
    const auto args = [](int n) {
        std::string params;
        std::string values;
        for (int i = 0; i < n; ++i) {
            params += (i > 0 ? ", p" : "p") + std::to_string(i);
            values += (i > 0 ? ", " : "") + std::to_string(i);
        }
        return "function f(" + params + ") { }\nf(" + values + ");";
    };
    const auto fields = [](int n) {
        std::string s = "var o = {";
        for (int i = 0; i < n; ++i)
            s += (i > 0 ? ", f" : "f") + std::to_string(i) + ": 0";
        return s + "};";
    };
    const std::string grow = "var s = \"x\"; var i = 0; while (i < 16) { s = s + s; i = i + 1; }\n";
    const struct {
        std::string small;
        std::string big;
        std::uint64_t atLeast;
    } cases[] = {
        {args(1), args(1000), 2 * 999},                      // an argument and its variable
        {fields(1), fields(1000), 4 * 999},                  // a part and a field added
        {"var a = [0];", "var a = [" + std::string(1999, '0').replace(1, 1997, [] {
             std::string items;
             for (int i = 0; i < 998; ++i)
                 items += ",0";
             return items.substr(0, 1997);
         }()) + "];", 999},
        {grow + "var t = \"x\" + \"\";", grow + "var t = s + \"\";", 65536 / 4}, // bytes copied
        {grow + "var t = s == \"x\";", grow + "var t = s == s + \"\";", 65536 / 80 + 65536 / 4},
        {grow + "var t = find(\"x\", \"y\");", grow + "var t = find(s, \"y\");", 65536 / 80},
        {"var o = {a: 1}; var k = keys(o);", "var o = {}; var i = 0; while (i < 100) { o[\"k\" + i] = i; i = i + 1; }"
                                              "\nvar k = keys(o);", 100 * 4},
        // A position far into a string of characters of two bytes: the bytes walked.
        {"var e = \"\xC3\xA9\"; while (len(e) < 65536) e = e + e;\nvar t = substr(e, 2, 1);",
         "var e = \"\xC3\xA9\"; while (len(e) < 65536) e = e + e;\nvar t = substr(e, 32768, 1);", 65536 / 8},
        {"var a = {}; a.me = a; a = nil;", "var i = 0; while (i < 100000) { var a = {}; a.me = a; i = i + 1; }", 100000 * 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.big.substr(0, 80));
        const qav::RunReport small = RunUntimed(c.small);
        const qav::RunReport big = RunUntimed(c.big);
        ASSERT_TRUE(small.ok) << small.result;
        ASSERT_TRUE(big.ok) << big.result;
        EXPECT_GE(big.steps, small.steps + c.atLeast);
    }
}

// Each character's position is found from the last one looked up, so a walk along a
// string of two-byte characters costs its length once, not once for each character.
TEST(Core, WalkingAlongAStringCostsItsLengthOnce)
{
    const qav::RunReport r = RunUntimed(R"(var t = "éa";
while (len(t) < 400000) t = t + t;
var n = len(t);
var found = 0;
for (var i = 0; i < n; i = i + 1) { if (substr(t, i, 1) == "a") found = found + 1; }
for (var i = n - 1; i >= 0; i = i - 1) { if (substr(t, i, 1) == "a") found = found + 1; }
found;)");
    EXPECT_EQ(r.result, "524288");
    EXPECT_LT(r.steps, 524288u * 2 * 100);
}

// x = x + a + b grows x in place, however the '+'s are grouped: each turn costs
// what it appends, not the whole string again.
TEST(Core, AppendingInALoopCostsWhatIsAppended)
{
    const char* programs[] = {
        "var s = \"\"; for (var i = 0; i < 100000; i = i + 1) s = s + \"item \" + i + \";\"; len(s);",
        "var s = \"\"; var i = 0; while (i < 100000) { s = s + \"x\"; i = i + 1; } len(s) * 11 - 11 * 100000 + 1088890;",
        "function f() { var s = \"\"; for (var i = 0; i < 100000; i = i + 1) { s = s + \"item \" + i + \";\"; } "
        "return s; }\nlen(f());",
    };
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        const qav::RunReport r = RunUntimed(program);
        EXPECT_EQ(r.result, "1088890");
        EXPECT_LT(r.steps, 100000u * 150);
    }
}

TEST(Core, CallsWithManyVariablesCostMoreSteps)
{
    std::string vars;
    for (int i = 0; i < 160; ++i)
        vars += "var v" + std::to_string(i) + "; ";
    const std::string program = "function wide() { if (false) { " + vars +
                                "} }\nvar i = 0;\nwhile (i < 100) { wide(); i = i + 1; }\ni;";
    qav::Limits limits;
    limits.steps = 20000;
    // Each call sets up and clears its 160 variables, two steps each: 321 steps, more
    // than 200 a turn.
    const qav::RunReport r = RunWith(program, limits);
    EXPECT_NE(r.result.find("step limit reached"), std::string::npos) << r.result;
    limits.steps = 40000;
    EXPECT_EQ(RunWith(program, limits).result, "100");
}

// A host's other thread sets the flag; the run ends soon after, saying so, with the
// stacks as they were, and the next run, with the flag down again, is sound.
TEST(Core, StopFlagEndsARunSoonAndTheNextRunIsSound)
{
    const char* runaways[] = {
        "var i = 0;\nwhile (true) {\n    i = i + 1;\n}",
        "var a = [];\nwhile (true) { push(a, {n: len(a)}); if (len(a) > 100000) a = []; }",
        "var s = \"x\"; var i = 0; while (i < 20) { s = s + s; i = i + 1; }\nwhile (true) { var at = find(s, \"xy\"); }",
        "function f(n) { if (n == 0) return 1; return f(n - 1) + f(n - 1); }\nvar calls = 0;\n"
        "while (true) { calls = calls + f(24); }",
    };
    for (const char* program : runaways) {
        SCOPED_TRACE(program);
        std::atomic<bool> stop{false};
        qav::Limits limits;
        limits.stop = &stop;
        std::chrono::steady_clock::time_point asked;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            asked = std::chrono::steady_clock::now();
            stop.store(true);
        });
        const qav::RunReport r = qav::Run(std::string_view(program), limits);
        const auto took = std::chrono::steady_clock::now() - asked;
        stopper.join();
        EXPECT_EQ(r.result.rfind("Run failed at line ", 0), 0u) << r.result;
        EXPECT_NE(r.result.find(": stopped on request"), std::string::npos) << r.result;
        EXPECT_EQ(r.log.back(), "Error" + r.result.substr(10));
        EXPECT_FALSE(r.variables.empty());
        EXPECT_LT(took, std::chrono::milliseconds(200));
        stop.store(false);
        EXPECT_EQ(qav::Run(std::string_view("var a = [1, 2];\nlen(a);"), limits).result, "2");
    }
}

TEST(Core, StackGuardStopsRecursionBeforeTheMachineStackRunsOut)
{
    qav::Limits limits;
    limits.callDepth = 1'000'000;
    limits.stackBytes = 64 * 1024;
    const qav::RunReport r = RunWith("function f(n) { return f(n + 1) + 1; }\nf(0);", limits);
    EXPECT_EQ(r.result, "Run failed at line 1, column 24: program nested too deeply for the machine stack");
    EXPECT_GT(r.parameters.size(), 10u);
}

TEST(Core, MemoryLimitStopsGrowingStringsAndObjects)
{
    qav::Limits limits;
    limits.heapBytes = 1 << 20;
    const char* programs[] = {
        "var s = \"x\";\nwhile (true) { s = s + s; }",
        "var s = \"x\";\nvar t = s;\nwhile (true) { t = s; s = s + s; }",
        "var head = nil;\nwhile (true) { head = {next: head}; }",
    };
    for (const char* p : programs) {
        SCOPED_TRACE(p);
        const qav::RunReport r = RunWith(p, limits);
        EXPECT_EQ(r.result.rfind("Run failed at line ", 0), 0u) << r.result;
        EXPECT_NE(r.result.find("memory limit reached"), std::string::npos) << r.result;
    }
}

// Collections run in the middle of building literals, arguments and strings: what is
// half built is held only by the evaluator, and must survive them.
TEST(Core, CollectingCyclesKeepsWhatTheEvaluatorHolds)
{
    const std::string program = R"(function junk() {
    var i = 0;
    while (i < 3000) { var a = {}; a.me = a; i = i + 1; }
    return "j";
}
function g(p, q, r) { return [p, q, r]; }
var x = { a: junk(), b: [junk(), { c: junk() }], d: junk() + junk() };
var y = g({ k: junk() }, [junk()], junk());
var z = [{ n: 1 }, junk()];
var w = {};
w[junk()] = [junk(), w];
str(x) + str(y) + str(z) + str(w);
)";
    // Each junk() makes more than this; the value stack takes 64 KB of it.
    qav::Limits tight;
    tight.heapBytes = 512 * 1024;
    const qav::RunReport collected = RunWith(program, tight);
    const qav::RunReport roomy = RunUntimed(program);
    ASSERT_TRUE(collected.ok) << collected.result;
    EXPECT_EQ(collected.result, roomy.result);
    EXPECT_EQ(collected.objects, roomy.objects);
    EXPECT_EQ(collected.variables, roomy.variables);
    EXPECT_EQ(collected.result.substr(0, 30), "#1 {a: \"j\", b: #3002, d: \"jj\"}");
}

TEST(Core, CyclesOfTheFirstReportAreFreed)
{
    // It stopped at i = 599,186 with "memory limit reached" while one object was live.
    const qav::RunReport r = RunUntimed(
        "var i = 0;\nwhile (i < 2000000) { var a = { n: i }; a.me = a; i = i + 1; }\ni;");
    EXPECT_EQ(r.result, "2000000");
    EXPECT_EQ(r.objects, (std::vector<std::string>{"#2000000 {n: 1999999, me: #2000000}"}));
}

TEST(Core, LongChainsOfObjectsAreFreedWithoutRecursion)
{
    const qav::RunReport dropped = RunUntimed(
        "var head = nil; var i = 0; while (i < 400000) { head = {next: head}; i = i + 1; } head = nil; i;");
    EXPECT_EQ(dropped.result, "400000");
    EXPECT_TRUE(dropped.objects.empty());

    const qav::RunReport kept = RunUntimed(
        "var head = nil; var i = 0; while (i < 300000) { head = {next: head}; i = i + 1; } i;");
    EXPECT_EQ(kept.result, "300000");
    ASSERT_EQ(kept.objects.size(), 1001u);
    EXPECT_EQ(kept.objects[0], "#1 {next: nil}");
    EXPECT_EQ(kept.objects[1000], "... (299000 more)");
}

TEST(Core, StacksStopGrowingAtTheirSizeLimitAndSaySo)
{
    std::string fields;
    for (int i = 0; i < 100; ++i)
        fields += (i > 0 ? ", f" : "f") + std::to_string(i) + ": s";
    const qav::RunReport r = RunUntimed(
        "var s = \"x\"; var k = 0; while (k < 8) { s = s + s; k = k + 1; }\n"
        "var list = nil; var i = 0; while (i < 30) { list = {next: list, data: {" + fields + "}}; i = i + 1; } 0;");
    EXPECT_EQ(r.result, "0");
    std::size_t bytes = 0;
    for (const std::string& line : r.objects)
        bytes += line.size();
    EXPECT_LE(bytes, 256u * 1024);
    ASSERT_GT(r.objects.size(), 10u);
    ASSERT_LT(r.objects.size(), 60u);
    EXPECT_EQ(r.objects.back(), "... (" + std::to_string(60 - (r.objects.size() - 1)) + " more)");
}

TEST(Core, LogStopsGrowingAtItsLimitAndSaysSo)
{
    qav::Limits limits;
    limits.logBytes = 100;
    const qav::RunReport r =
        RunWith("var i = 0; while (i < 100) { print \"0123456789\"; i = i + 1; } i;", limits);
    EXPECT_EQ(r.result, "100");
    ASSERT_EQ(r.log.size(), 9u);
    EXPECT_EQ(r.log[7], "0123456789");
    EXPECT_EQ(r.log[8], "(log cut: the program printed more than 100 bytes)");
}

TEST(Core, LongStringsAreShortenedInTheStacks)
{
    const qav::RunReport r = qav::Run(std::string_view(
        "var s = \"ab\"; var i = 0; while (i < 10) { s = s + s; i = i + 1; } s = s + \"\\n\";"));
    ASSERT_EQ(r.variables.size(), 2u);
    EXPECT_EQ(r.variables[0], "s = \"" + std::string(200, 'a').replace(1, 199, [] {
                                  std::string ab;
                                  while (ab.size() < 199)
                                      ab += "ba";
                                  return ab.substr(0, 199);
                              }()) + "\"... (2049 bytes)");
}

TEST(Core, Utf16ConversionRoundTripsAndJoinsLinesWithCrLf)
{
    const std::u16string text = u"a\u00E9\u2713\U0001F600";
    std::string utf8;
    std::size_t bad = 0;
    ASSERT_TRUE(qav::Utf16ToUtf8(text, utf8, bad));
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x9C\x93\xF0\x9F\x98\x80");
    EXPECT_EQ(qav::Utf8ToUtf16(utf8), text);
    EXPECT_EQ(qav::JoinLines({"one", "two", ""}), u"one\r\ntwo\r\n");
    const char* malformed[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x9C"};
    for (const char* m : malformed)
        EXPECT_EQ(qav::ValidUtf8Prefix(m), 0u) << m;
}

} // namespace
