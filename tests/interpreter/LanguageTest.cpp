// The language as the workbench sees it; the same cases run natively against the core
// and under Wine through QAV.dll's table.
#include "tests/interpreter/DocExamples.h"
#include "tests/interpreter/Outcome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

struct Expect {
    std::string program;
    std::string result;
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
        {"\xEF\xBB\xBFprint 1;\n2;", "2"},
        {"[1, \"a\", [true, nil], {}];", "#1 [1, \"a\", #2, #3]"},
        {"var a = [];\na;", "#1 []"},
        {"var a = [10, 20, 30,];\na[0] + a[2];", "40"},
        {"var a = [1, 2];\na[1] = a[0] + 5;\na;", "#1 [1, 6]"},
        {"var m = [[1, 2], [3, 4]];\nm[1][0] = 9;\nm[1][0] + m[0][1];", "11"},
        {"var o = {a: 1};\nvar k = \"b\";\no[k] = 2;\no[\"a\"] + o.b;", "3"},
        {"var o = {};\no[\"two words\"] = 1;\no;", "#1 {\"two words\": 1}"},
        {"var a = [1];\nvar b = a;\npush(b, 2);\na == b && len(a) == 2;", "true"},
        {"[1] == [1];", "false"},
        {"\"a\" + [1, \"x\"];", "a#1 [1, \"x\"]"},
        {"var s = 0;\nfor (var i = 0; i < 5; i = i + 1) s = s + i;\ns;", "10"},
        {"var s = \"\";\nfor (var i = 0; i < 10; i = i + 1) {\n  if (i % 2 == 0) continue;\n  if (i > 7) break;\n  s = s + i;\n}\ns;",
         "1357"},
        {"var i = 0;\nwhile (true) { i = i + 1; if (i < 3) continue; break; }\ni;", "3"},
        {"var n = 0;\nfor (;;) { n = n + 1; if (n == 4) break; }\nn;", "4"},
        {"var j;\nfor (j = 10; j > 7; j = j - 1) {}\nj;", "7"},
        {"var t = 0;\nfor (var i = 0; i < 3; i = i + 1) { for (var k = 0; k < 3; k = k + 1) { if (k == 1) break; t = t + 1; } }\nt;",
         "3"},
        {"var c = 0;\nfor (var i = 0; i < 2; i = i + 1) c = c + 1;\nfor (var i = 0; i < 3; i = i + 1) c = c + 1;\nc;", "5"},
        {"function f() { for (var i = 0; i < 10; i = i + 1) { if (i == 3) return i; } return -1; }\nf();", "3"},
        {"len(\"h\xC3\xA9llo\") + len([1, 2]) + len(\"\");", "7"},
        {"var a = [1];\npush(a, 2);\npush(a, 3);\nvar last = pop(a);\nlast * 10 + len(a);", "32"},
        {"str(12) + str(1.5) + str(nil) + str(\"s\") + str([2]);", "121.5nils#1 [2]"},
        {"num(\"42\") + num(\" -1.5e1 \") + num(\"+.5\");", "27.5"},
        {"[num(\"4x\"), num(\"\"), num(\"1e999\"), num(\"-\"), num(7)];", "#1 [nil, nil, nil, nil, 7]"},
        {"substr(\"hello\", 1, 3) + \"|\" + substr(\"hello\", 3, 100) + \"|\" + substr(\"hello\", 9, 1) + \"|\";",
         "ell|lo||"},
        {"substr(\"h\xC3\xA9llo \xE2\x9C\x93\", 1, 5);", "\xC3\xA9llo "},
        {"substr(\"abc\", 1, 1e12) + substr(\"abc\", 1e300, 1) + \"|\";", "bc|"},
        {"var o = {a: 1};\n[has(o, \"a\"), has(o, \"b\"), has(o, \"never a field\")];", "#2 [true, false, false]"},
        {"[find(\"hello\", \"l\"), find(\"hello\", \"lo\"), find(\"hello\", \"z\"), find(\"hi\", \"\"), find(\"\xC3\xA9t\xC3\xA9\", \"t\")];",
         "#1 [2, 3, -1, 0, 1]"},
        {"[floor(2.7), floor(-2.5), sqrt(9), abs(-4), abs(3)];", "#1 [2, -3, 3, 4, 3]"},
        {"var o = {b: 1, a: 2};\no.c = 3;\no[\"d\"] = 4;\nkeys(o);", "#2 [\"b\", \"a\", \"c\", \"d\"]"},
        {"[type(1), type(\"s\"), type(true), type(nil), type({}), type([])];",
         "#1 [\"number\", \"string\", \"boolean\", \"nil\", \"object\", \"array\"]"},
        {"function len(x) { return 99; }\nlen(\"abc\");", "99"},
        {"[7 % 3, -7 % 3, 7 % -3, -7 % -3, 7.5 % 2];", "#1 [1, -1, 1, -1, 1.5]"},
        {"[6 / 3, 7 / 2, 1e300 % 7 == 1e300 % 7];", "#1 [2, 3.5, true]"},
        // Every whole number below 1e21 in digits, every other number in its shortest form.
        {"[1e15, 1e15 + 1, 2e20, 1e21, 0.1 + 0.2, -0, 1 / 3, 1.5e-7];",
         "#1 [1000000000000000, 1000000000000001, 200000000000000000000, 1e+21, 0.30000000000000004, 0, "
         "0.3333333333333333, 1.5e-07]"},
        {"[1e300 * 1e10, -1e300 * 1e10, 1e300 * 1e10 - 1e300 * 1e10];", "#1 [inf, -inf, nan]"},
        // A field name that does not read as a name is quoted.
        {"var o = {a: 1};\no[\"}: \\\"{\"] = 2;\no[\"\"] = 3;\no[\"b2\"] = 4;\no;",
         "#1 {a: 1, \"}: \\\"{\": 2, \"\": 3, b2: 4}"},
        {"var a; var b; a = b = 3; a + b;", "6"},
        {"({ b: 1 });", "#1 {b: 1}"},
        // Too small to hold reads as 0; just above the smallest, as the nearest number.
        {"[1e-400, 2.4e-324, 2.5e-324 > 0, -1e-400, 0." + std::string(400, '0') + "1e50];", "#1 [0, 0, true, 0, 0]"},
        {"[num(\"1e-400\"), num(\" -1e-400 \"), num(\"1e-99999999999999999999\"), num(\"1e309\")];",
         "#1 [0, 0, 0, nil]"},
        // Whole numbers print every digit of the value they hold.
        {"12345678901234567890;", "12345678901234567168"},
        // A loop's variable is known only inside the loop: a var after it is another.
        {"for (var i = 0; i < 3; i = i + 1) {}\nvar i = 7;\ni;", "7"},
        {"function f() { for (var i = 0; i < 3; i = i + 1) {} var i = 7; return i; }\nf();", "7"},
        {"var s = \"\";\nfor (var i = 0; i < 2; i = i + 1) s = s + i;\nvar i = \"x\";\nfor (var k = 0; k < 2; k = k + 1) s = s + i;\ns;",
         "01xx"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(RunProgram(c.program).result, c.result);
    }
}

// Items, fields and number operators over variables and constants are worked out in
// place; every way off that path (an index that is no whole number in range, a value
// that is no number, a target that is no array, an item that holds its own array, a
// cache that misses) gives what the general way gives.
TEST(Language, ItemsFieldsAndNumbersReadInPlaceGiveWhatTheGeneralWayGives)
{
    const Expect cases[] = {
        {"var a = [1];\nvar k = \"0\";\na[k] + 1;",
         "Run failed at line 3, column 2: an array index must be a number, not a string"},
        {"var a = [1, 2];\nvar k = -1;\na[k] * 2;",
         "Run failed at line 3, column 2: index -1 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar k = 0.5;\na[k] - 1;",
         "Run failed at line 3, column 2: an array index must be a whole number, not 0.5"},
        {"var a = [1, 2];\nvar k = 2;\na[k] < 3;",
         "Run failed at line 3, column 2: index 2 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar k = 1e300 * 1e300;\na[k] + 1;",
         "Run failed at line 3, column 2: index inf is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar k = 0 - 1e300 * 1e300;\na[k] + 1;",
         "Run failed at line 3, column 2: index -inf is out of range: the array has 2 items"},
        {"var a = [1, 2];\na[9007199254740993] + 1;",
         "Run failed at line 2, column 2: index 9007199254740992 is out of range: the array has 2 items"},
        {"var a = [1, 2];\na[4503599627370496] + 1;",
         "Run failed at line 2, column 2: index 4503599627370496 is out of range: the array has 2 items"},
        // Past 2^32, where a 32-bit size would wrap round to a small index.
        {"var a = [1, 2];\na[4294967297] + 1;",
         "Run failed at line 2, column 2: index 4294967297 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar i = 4294967296;\na[i] = 5;",
         "Run failed at line 3, column 2: index 4294967296 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar i = 4294967295;\na[i] == nil;",
         "Run failed at line 3, column 2: index 4294967295 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar k = -0;\na[k] + a[k + 1];",
         "3"},
        {"var a = [\"x\", 2];\na[0] + a[1];",
         "x2"},
        {"var a = [\"x\", 2];\na[1] * a[0];",
         "Run failed at line 2, column 6: cannot apply '*' to a number and a string"},
        {"var a = [[1, 2], [3, 4]];\na[1][0] + a[0][1] * 10;",
         "23"},
        {"var ps = [{x: 1}, {x: 2}];\nps[1].x * 10 + ps[0].x;",
         "21"},
        {"var o = {};\nvar i = 0;\no[i] = 1;",
         "Run failed at line 3, column 2: a field name must be a string, not a number"},
        {"var n = 5;\nvar i = 0;\nn[i] = 1;",
         "Run failed at line 3, column 2: cannot index a number"},
        {"var n = 5;\nvar i = 0;\nn[i] + 1;",
         "Run failed at line 3, column 2: cannot index a number"},
        {"var s = \"abc\";\nvar i = 1;\ns[i] + 1;",
         "Run failed at line 3, column 2: cannot index a string"},
        {"var a = [1, 0, 2];\na[a[0]] = a[2] * 5;\na[1];",
         "10"},
        {"var a = [0];\na[0] = a;\nlen(a[0][0]);",
         "1"},
        {"var a = [\"s\"];\na[0] = a[0];\na[0] + \"!\";",
         "s!"},
        {"var a = [[1, 2]];\nvar i = 0;\na[i] = 7;\na[i];",
         "7"},
        {"var a = [1, 2, 3];\nvar i = 1;\na[i - 1] + a[i] * a[i + 1] - a[0];",
         "6"},
        {"var a = [1];\nvar s = \"0\";\na[s + 0];",
         "Run failed at line 3, column 2: an array index must be a number, not a string"},
        {"var a = [\"b\", \"a\"];\na[0] < a[1];",
         "false"},
        {"var a = [2];\n-a[0];",
         "-2"},
        {"var a = [\"x\"];\n-a[0];",
         "Run failed at line 2, column 1: cannot apply '-' to a string"},
        {"var o = {x: 1};\nvar p = {y: 2, x: 3};\nfunction f(q) { return q.x + 1; }\nf(o) + f(p) * 10;",
         "42"},
        {"var o = {x: 1};\nfunction f(q) { return q.x * 2; }\nf(o) + f({x: \"a\"});",
         "Run failed at line 2, column 28: cannot apply '*' to a string and a number"},
        {"var c = [false, 0, nil, \"\"];\n!c[0] && !c[2] && !!c[1] && !!c[3];",
         "true"},
        {"var c = [];\nif (!c[0]) 1;",
         "Run failed at line 2, column 7: index 0 is out of range: the array has 0 items"},
        {"var a = [1, 2];\na[0] + a[1] + \"x\" + a[0];",
         "3x1"},
        {"var a = [1, 2];\nvar i = 2;\na[i] = 5;",
         "Run failed at line 3, column 2: index 2 is out of range: the array has 2 items"},
        {"var a = [1, 2];\nvar i = 0.5;\na[i] = 5;",
         "Run failed at line 3, column 2: an array index must be a whole number, not 0.5"},
        {"var a = [1, 2];\nvar i = \"1\";\na[i] = 5;",
         "Run failed at line 3, column 2: an array index must be a number, not a string"},
        {"var a = [1, 2];\nvar i = 1;\na[i] = a[i] / 0;",
         "Run failed at line 3, column 13: division by zero"},
        {"var a = [1, 2];\nvar i = 1;\na[i - 1] = a[i] / 4;\na[0];",
         "0.5"},
        {"var a = [1, 2];\nvar i = 1;\na[i] = nil;\nstr(a);",
         "#1 [1, nil]"},
        {"var a = [1, 2];\nvar i = 1;\na[i + 1 - 1] = {v: a[i]};\na[1].v;",
         "2"},
        {"var o = {a: 1};\nvar k = \"a\";\no[k] = o[k] + 1;\no.a;",
         "2"},
        {"var a = [5, 6];\nvar i = 0;\nwhile (a[i] < 6) i = i + 1;\ni;",
         "1"},
        {"var a = [3, 1, 2];\nvar t = a[0]; a[0] = a[1]; a[1] = t;\nstr(a);",
         "#1 [1, 3, 2]"},
        {"var a = [1];\nvar b = [a];\nb[0][0] = 9;\na[0];",
         "9"},
        {"var x = 3;\nvar a = [1, 2];\nx * a[1] - -x;",
         "9"},
        {"var o = {x: 1};\nvar y = \"s\";\no.x = y;\no.x + 1;",
         "s1"},
        {"var o = {x: 1};\nvar p = {y: 1, x: 2};\nfunction f(q) { q.x = q.x * 3; return q.x; }\nf(o) + f(p) * 10;",
         "63"},
        {"var o = 5;\nvar i = 1;\no.x = i * 2;",
         "Run failed at line 3, column 3: cannot set field 'x' on a number"},
        {"var o = {x: \"a\"};\no.x = o.x * 2;",
         "Run failed at line 2, column 11: cannot apply '*' to a string and a number"},
        {"var a = [1, 2];\nvar i = 1;\na[i] = a[i - 1] * 3 + a[i];\nstr(a);",
         "#1 [1, 5]"},
        {"var a = [1, 2];\nvar i = 2;\na[i] = a[0] * 3;",
         "Run failed at line 3, column 2: index 2 is out of range: the array has 2 items"},
        {"var o = {n: 0};\nvar a = [o];\na[0].n = a[0].n - 2;\no.n;",
         "-2"},
        {"var a = [0, 0];\nvar o = {a: a};\no.a[1] = 4;\na[1];",
         "4"},
        {"var a = [\"p\", \"q\"];\nvar i = 0;\na[i] = a[i + 1];\na[0] + a[1];",
         "qq"},
        {"var o = {};\nvar n = 1;\no.x = n * 2;\no.x;",
         "2"},
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
        {"1 = 2;", "at line 1, column 3: only a variable, a field or an item can be assigned to"},
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
        {"var n = 3;\nn.size = 1;", "at line 2, column 3: cannot set field 'size' on a number"},
        {"var a\xC2\xA0= 1;", "at line 1, column 6: unexpected character U+00A0 no-break space"},
        {"var a = 1;\xE2\x80\x8B", "at line 1, column 11: unexpected character U+200B zero width space"},
        {"print 1;\xEF\xBB\xBF", "at line 1, column 9: unexpected character U+FEFF byte order mark"},
        {"\xEF\xBB\xBF#", "at line 1, column 1: unexpected character '#'"},
        {"print \xE2\x80\x9Chi\xE2\x80\x9D;",
         "at line 1, column 7: unexpected character '\xE2\x80\x9C' (U+201C left double quotation mark)"},
        {"var x = 1 \xE2\x88\x92 2;", "at line 1, column 11: unexpected character '\xE2\x88\x92' (U+2212 minus sign)"},
        {"var \xC3\xA9 = 1;", "at line 1, column 5: unexpected character '\xC3\xA9' (U+00E9)"},
        {"print [1, 2;", "at line 1, column 12: expected ',' between items but found ';'"},
        {"var a = [1];\nprint a[0;", "at line 2, column 10: expected ']' to close the index but found ';'"},
        {"var a = [1, 2];\nprint a[2];", "at line 2, column 8: index 2 is out of range: the array has 2 items"},
        {"var a = [1];\na[-1] = 0;", "at line 2, column 2: index -1 is out of range: the array has 1 item"},
        {"var a = [];\na[0] = 0;", "at line 2, column 2: index 0 is out of range: the array has 0 items"},
        {"var a = [1];\na[0.5];", "at line 2, column 2: an array index must be a whole number, not 0.5"},
        {"var a = [1];\na[\"0\"];", "at line 2, column 2: an array index must be a number, not a string"},
        {"var o = {};\no[1] = 2;", "at line 2, column 2: a field name must be a string, not a number"},
        {"var o = {a: 1};\nprint o[\"b\"];", "at line 2, column 8: object #1 has no field 'b'"},
        {"var n = 5;\nn[0];", "at line 2, column 2: cannot index a number"},
        {"var a = [];\na.size;", "at line 2, column 3: cannot read field 'size' of an array"},
        {"break;", "at line 1, column 1: 'break' can only be used inside a loop"},
        {"while (true) {}\nfunction f() { continue; }", "at line 2, column 16: 'continue' can only be used inside a loop"},
        {"for (var i = 0; i < 2) {}", "at line 1, column 22: expected ';' after the loop's condition but found ')'"},
        {"for (var i = 0; i < 2; i = i + 1) {}\ni;", "at line 2, column 1: undefined variable 'i'"},
        {"var i;\nfor (var i = 0; ; ) {}", "at line 2, column 10: variable 'i' is already declared"},
        {"for (var i = 0; ; ) {\n  for (var i = 0; ; ) {}\n}", "at line 2, column 12: variable 'i' is already declared"},
        {"for (var i = 0; ; ) {\n  var i = 1;\n}", "at line 2, column 7: variable 'i' is already declared"},
        {"function f(i) {\n  for (var i = 0; ; ) {}\n}", "at line 2, column 12: variable 'i' is already declared"},
        {"for (var i = 0; i < 1; i = i + 1) {}\nvar i;\nfor (var i = 0; ; ) {}",
         "at line 3, column 10: variable 'i' is already declared"},
        {"print 1e-400;\nprint 1e309;", "at line 2, column 7: number out of range: 1e309"},
        {"len(1, 2);", "at line 1, column 1: function 'len' takes 1 argument but is given 2"},
        {"var x = 1;\nlen(x);", "at line 2, column 1: len() needs a string or an array, not a number"},
        {"push({}, 1);", "at line 1, column 1: push() needs an array, not an object"},
        {"var a = [];\npop(a);", "at line 2, column 1: pop() needs an array with items, and this one is empty"},
        {"substr(\"abc\", 1.5, 1);", "at line 1, column 1: substr() needs a whole number of at least 0 as its start, not 1.5"},
        {"substr(\"abc\", 0, -1);", "at line 1, column 1: substr() needs a whole number of at least 0 as its count, not -1"},
        {"find(\"a\", nil);", "at line 1, column 1: find() needs two strings, not a string and nil"},
        {"num([]);", "at line 1, column 1: num() needs a string or a number, not an array"},
        {"floor(\"1\");", "at line 1, column 1: floor() needs a number, not a string"},
        {"sqrt(-4);", "at line 1, column 1: sqrt() needs a number of at least 0, not -4"},
        {"keys([]);", "at line 1, column 1: keys() needs an object, not an array"},
        {"has({}, 1);", "at line 1, column 1: has() needs an object and a string, not an object and a number"},
        {"var f = 1;\nf(2);",
         "at line 2, column 1: 'f' is a variable, not a function: only a function declared with 'function' can be "
         "called"},
        {"function g(x) { return x(1); }",
         "at line 1, column 24: 'x' is a variable, not a function: only a function declared with 'function' can be "
         "called"},
        {"{ b: 1 };",
         "at line 1, column 4: an object literal cannot start a statement, since '{' there starts a block: put it "
         "in parentheses, as in ({ b: ... });"},
        {"while (true) {\n    name: \"x\",\n}",
         "at line 2, column 9: an object literal cannot start a statement, since '{' there starts a block: put it "
         "in parentheses, as in ({ name: ... });"},
        {"{ var a = 1; b: 2; }", "at line 1, column 15: expected ';' after the expression but found ':'"},
        {"print 1" + std::string(400, '9') + "e999;",
         "at line 1, column 7: number out of range: 1" + std::string(99, '9') + "... (405 bytes)"},
        {"var x = 1" + std::string(300, '2') + "x;", "at line 1, column 9: malformed number"},
        {"var o = {};\no[\"" + std::string(1000, 'k') + "\"];",
         "at line 2, column 2: object #1 has no field '" + std::string(100, 'k') + "... (1000 bytes)'"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program.substr(0, 200));
        const Outcome o = RunProgram(c.program);
        EXPECT_EQ(o.result, "Run failed " + c.result);
        EXPECT_EQ(LastLine(o.log), "Error " + c.result);
    }
}

TEST(Language, DeepNestingInTheTextIsAnErrorNotACrash)
{
    const std::string programs[] = {
        "print " + std::string(5000, '(') + "1" + std::string(5000, ')') + ";",
        "print " + std::string(5000, '-') + "1;",
        std::string(5000, '{') + std::string(5000, '}'),
        "print " + std::string(5000, '[') + std::string(5000, ']') + ";",
        [] {
            std::string s = "function f(x) { return x; }\nprint 1";
            for (int i = 0; i < 200; ++i)
                s += " + f(1";
            return s + std::string(200, ')') + ";";
        }(),
        [] {
            std::string s = "var x = 1;";
            for (int i = 0; i < 200; ++i)
                s += " if (x) {";
            return s + std::string(200, '}');
        }(),
    };
    for (const std::string& p : programs) {
        SCOPED_TRACE(p.substr(0, 40));
        const Outcome o = RunProgram(p);
        EXPECT_EQ(o.result.find("Run failed at line "), 0u);
        EXPECT_NE(o.result.find("program nested too deeply (more than 150 levels)"), std::string::npos) << o.result;
    }
}

// A long run of operators or of 'else if's reads as a list, not as nesting.
TEST(Language, FlatChainsOfOperatorsAndElseIfsAreNotNesting)
{
    const auto sum = [](int terms, const char* op) {
        std::string s = "1";
        for (int i = 1; i < terms; ++i)
            s += std::string(" ") + op + " 1";
        return s;
    };
    const auto elseIfs = [](int branches) {
        std::string s = "var x = " + std::to_string(branches - 1) + ";\nvar r = 0;\nif (x == 0) r = 1;";
        for (int i = 1; i < branches; ++i)
            s += " else if (x == " + std::to_string(i) + ") r = " + std::to_string(i + 1) + ";";
        return s + " else r = -1;\nr;";
    };
    const struct {
        std::string program;
        std::string result;
    } cases[] = {
        {"var x = " + sum(150, "+") + ";\nx;", "150"},
        {elseIfs(149), "149"},
        {"var x = " + sum(30000, "+") + ";\nx;", "30000"},
        {"var x = " + sum(20000, "-") + ";\nx;", "-19998"},
        {sum(20000, "&&") + ";", "1"},
        {"var s = \"n\" + " + sum(1000, "+") + ";\nlen(s);", "1001"},
        {elseIfs(10000), "10000"},
        {"var x = 5;\nif (x < 0) x = 0; else if (x < 3) x = 1; else x = 2;\nx;", "2"},
        {"1 + 2 * 3 - 4 / 2 + 10 % 4 - -1;", "8"},
        {"1 < 2 == true != false;", "true"},
        {"1 && nil || 0 && \"x\" || 7;", "x"},
        {"nil || false || 3 && 4;", "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.substr(0, 60));
        EXPECT_EQ(RunProgram(c.program).result, c.result);
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

TEST(Language, RunawayRecursionStopsAtTheDepthLimitWithItsInnermostCalls)
{
    const Outcome o = RunProgram("function down(n) {\n    return down(n + 1);\n}\ndown(1);");
    EXPECT_EQ(o.result, "Run failed at line 2, column 12: call depth limit reached: more than 10000 nested calls");
    EXPECT_EQ(LineCount(o.parameters), 1001u);
    EXPECT_EQ(o.parameters.substr(0, o.parameters.find('\n')), "down(n = 10000)");
    EXPECT_EQ(LastLine(o.parameters), "... (9000 more)");
    EXPECT_EQ(o.functions, "down(n): called 10000 times");
    EXPECT_EQ(RunProgram("function down(n) { return down(n + 1); }\ndown(1);", "depth=50").result,
              "Run failed at line 1, column 27: call depth limit reached: more than 50 nested calls");
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
    EXPECT_EQ(o.result, "Run failed at line 4, column 39: call depth limit reached: more than 10000 nested calls");
}

// Arguments already worked out for calls still in progress take room too: here each
// level holds one, and no function has a variable of its own.
TEST(Language, RecursionDeepInsideArgumentsReachesTheDepthLimit)
{
    const char* program = R"(function plus(a, b) { return a + b; }
function sum(n, x) {
    if (n == 0) return 0;
    return plus(n, sum(n - 1, x));
}
sum(%d, 1);)";
    char text[256];
    std::snprintf(text, sizeof text, program, 9000);
    EXPECT_EQ(RunProgram(text).result, "40504500");
    std::snprintf(text, sizeof text, program, 20000);
    EXPECT_EQ(RunProgram(text).result,
              "Run failed at line 4, column 12: call depth limit reached: more than 10000 nested calls");
}

// What a demanding user runs, at sizes light enough for a test: none may be refused.
TEST(Language, ProgramsOfRealSizeRunToTheirEnd)
{
    const Expect cases[] = {
        {R"(var n = 3200000;
var composite = [];
for (var i = 0; i <= n; i = i + 1) push(composite, false);
var count = 0;
for (var i = 2; i * i <= n; i = i + 1)
    if (!composite[i]) for (var j = i * i; j <= n; j = j + i) composite[j] = true;
for (var i = 2; i <= n; i = i + 1) if (!composite[i]) count = count + 1;
count;)",
         "230209"},
        {R"(var points = [];
for (var i = 0; i < 1000000; i = i + 1) push(points, {x: i, y: -i});
var sum = 0;
for (var i = 0; i < len(points); i = i + 1) sum = sum + points[i].x + points[i].y;
len(points) + " " + sum;)",
         "1000000 0"},
        {R"(var a = [];
for (var i = 0; i < 4000000; i = i + 1) push(a, i);
var sum = 0;
for (var i = 0; i < len(a); i = i + 1) sum = sum + a[i];
sum;)",
         "7999998000000"},
        {R"(function sumTo(n) { if (n == 0) return 0; return n + sumTo(n - 1); }
var list = nil;
for (var i = 0; i < 5000; i = i + 1) list = {next: list};
function length(l) { if (l == nil) return 0; return 1 + length(l.next); }
sumTo(5000) + " " + length(list);)",
         "12502500 5000"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program.substr(0, 60));
        EXPECT_EQ(RunProgram(c.program).result, c.result);
    }
}

// Only what the program can still reach counts against the memory limit; the names
// of fields that went go with them. Each of these objects had a key of its own, 1 KB
// long, and the limit is 16 MB.
TEST(Language, FieldNamesGoWithTheLastFieldThatHasThem)
{
    const std::string program = R"(var pad = "k";
while (len(pad) < 1000) pad = pad + pad;
var kept = {};
for (var i = 0; i < 100000; i = i + 1) {
    var o = {};
    o[pad + i] = i;
    if (i % 20000 == 0) kept[pad + i] = i;
}
len(keys(kept)) + " " + has(o, pad + 99999) + " " + has(kept, pad + 40000) + " " + has(kept, pad + 40001);)";
    EXPECT_EQ(RunProgram(program, "memory=16M").result, "5 true true false");
    // The same names, all kept, need more than the limit.
    const Outcome all = RunProgram(R"(var pad = "k";
while (len(pad) < 1000) pad = pad + pad;
var kept = {};
for (var i = 0; i < 100000; i = i + 1) kept[pad + i] = i;)",
                                   "memory=16M");
    EXPECT_NE(all.result.find(": memory limit reached: "), std::string::npos) << all.result;
}

// Nesting counts what the reader sees: each block, parenthesis, bracket, call, literal
// and body of an if, a loop or a function, and a block that is such a body only once.
TEST(Language, EveryConstructNestsToTheDocumentedDepth)
{
    const auto nest = [](int levels, const std::string& open, const std::string& inner, const std::string& close) {
        std::string s;
        for (int i = 0; i < levels; ++i)
            s += open;
        s += inner;
        for (int i = 0; i < levels; ++i)
            s += close;
        return s;
    };
    const struct {
        std::string open;
        std::string inner;
        std::string close;
        std::string prefix;
        std::string suffix;
    } constructs[] = {
        {"(", "1", ")", "var r = ", ";\nr;"},
        {"[", "1", "]", "var r = ", ";\nr != nil;"},
        {"f(", "1", ")", "function f(x) { return x; }\nvar r = ", ";\nr;"},
        {"{a: ", "1", "}", "var r = ", ";\nr != nil;"},
        {"-", "1", "", "var r = ", ";\nr;"},
        {"{ ", "r = 1;", " }", "var r = 0;\n", "\nr;"},
        {"if (r == 0) { ", "r = 1;", " }", "var r = 0;\n", "\nr;"},
        {"if (r == 0) ", "r = 1;", "", "var r = 0;\n", "\nr;"},
        {"while (r == 0) { ", "r = 1;", " }", "var r = 0;\n", "\nr;"},
        {"for (;r == 0;) { ", "r = 1;", " }", "var r = 0;\n", "\nr;"},
    };
    for (const auto& c : constructs) {
        SCOPED_TRACE(c.open);
        const Outcome deepest = RunProgram(c.prefix + nest(150, c.open, c.inner, c.close) + c.suffix);
        EXPECT_EQ(deepest.result.find("Run failed"), std::string::npos) << deepest.result;
        const Outcome deeper = RunProgram(c.prefix + nest(151, c.open, c.inner, c.close) + c.suffix);
        EXPECT_NE(deeper.result.find(": program nested too deeply (more than 150 levels)"), std::string::npos)
            << deeper.result;
    }
}

// A host sets the limits through Execute's options; a word it gets wrong is named.
TEST(Language, OptionsSetTheLimitsAndAMistakeIsNamed)
{
    const Expect cases[] = {
        {"steps=1000", "Run failed at line 1, column 35: step limit reached: the program ran more than 1000 steps"},
        {"steps=1000 depth=5", "Run failed at line 1, column 35: step limit reached: the program ran more than 1000 steps"},
        {"memory=1M",
         "Run failed at line 1, column 35: memory limit reached: strings, objects, arrays and variables take more "
         "than 1048576 bytes"},
        {"steps", "Run failed: option 'steps' has a value that is out of range or not a number"},
        {"depth=0", "Run failed: option 'depth=0' has a value that is out of range or not a number"},
        {"memory=12Q", "Run failed: option 'memory=12Q' has a value that is out of range or not a number"},
        {"speed=fast",
         "Run failed: unknown option 'speed=fast': the options are steps=N, depth=N and memory=N (with K, M or G)"},
        {"clock=off",
         "Run failed: unknown option 'clock=off': the options are steps=N, depth=N and memory=N (with K, M or G)"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.program);
        const Outcome o = RunProgram("var s = \"x\"; while (true) { s = s + s; }", c.program);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(LastLine(o.log), "Error" + c.result.substr(10));
    }
}

// The call depth a host may set is what the machine stack holds: the deepest of
// recursions reaches it.
TEST(Language, TheDeepestDepthOptionIsReachedAndOneMoreIsNamed)
{
    const std::string deepest = sizeof(void*) == 4 ? "200000" : "1000000";
    const std::string program = "function f(n) { if (n == 0) return 0; return f(n - 1) + 1; }\nf(" + deepest + " - 1);";
    EXPECT_EQ(RunProgram(program, "depth=" + deepest).result, std::to_string(std::stoi(deepest) - 1));
    EXPECT_EQ(RunProgram("1;", "depth=" + std::to_string(std::stoi(deepest) + 1)).result,
              "Run failed: option 'depth=" + std::to_string(std::stoi(deepest) + 1) +
                  "' is out of range: the machine stack holds at most " + deepest + " nested calls");
}

// Each part costs a step each time it runs, and only then, whichever of two equal forms
// is written: each program ends within its steps and not within one fewer.
TEST(Language, StepsCountEachPartAsOftenAsItRuns)
{
    const struct {
        std::string program;
        int steps;
    } cases[] = {
        {"var x = 1;\nx = x + 2;\nx;", 9},
        {"var x = 1;\nx = 2 + x;\nx;", 9},
        {"var x = 1;\nx = x + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1;\nx;", 25},
        {"var x = 1;\nx = 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + x;\nx;", 25},
        {"var x = 1;\nx = ((((((((x + 1) + 1) + 1) + 1) + 1) + 1) + 1) + 1) + 1;\nx;", 25},
        // 2 + the loop 1 + its start 2 + four tests of 3 + three turns of 5 and steps of 4 + 2.
        {"var n = 0;\nfor (var i = 0; i < 3; i = i + 1) n = n + i;\nn;", 46},
        {"for (var i = 0; i < 0; i = i + 1) {}\n0;", 8},
        {"var i = 0;\nwhile (i < 0) {}\n0;", 8},
        {"false && 1 + 2 + 3 == 6;", 3},
        {"true && 1 + 2 + 3 == 6;", 10},
        {"false || 1 + 2 + 3 == 6 || false;", 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const Outcome within = RunProgram(c.program, "steps=" + std::to_string(c.steps));
        EXPECT_EQ(within.result.find("Run failed"), std::string::npos) << within.result;
        const Outcome fewer = RunProgram(c.program, "steps=" + std::to_string(c.steps - 1));
        EXPECT_NE(fewer.result.find(": step limit reached: "), std::string::npos) << fewer.result;
    }
}

std::string Repeated(const char* part, int times, const char* separator)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += (i > 0 ? separator : "") + std::string(part) + std::to_string(i);
    return s;
}

// Mistakes that never end stop at the step budget, and the message names it. A host
// without a stop control waits that long: about 10 seconds with the default budget
// (bench/lang prints how long each takes); here a lower one keeps the test short.
TEST(Language, RunawayProgramsStopAtTheStepBudgetThatTheMessageNames)
{
    const std::string programs[] = {
        "var i = 0;\nwhile (true) {\n    i = i + 1;\n}",
        "var i = 0;\nwhile (i < 10) {\n    var o = { a: i, b: i, c: i };\n}",
        "var i = 0;\nwhile (i < 10) {\n    var s = \"a\" + i + \"b\" + i;\n}",
        "while (true) {\n    var o = { " + Repeated("f", 16, ": 1, ") + ": 1 };\n}",
        "function f(" + Repeated("a", 10000, ", ") + ") { }\nwhile (true) {\n    f(" +
            Repeated("", 10000, ", ") + ");\n}",
        "var o = {}; var i = 0;\nwhile (true) { o[\"k\" + i] = i; i = i + 1; }",
        "var s = \"x\"; var i = 0; while (i < 20) { s = s + s; i = i + 1; }\nwhile (true) { var at = find(s, \"xy\"); }",
    };
    for (const std::string& p : programs) {
        SCOPED_TRACE(p.substr(0, 60));
        const Outcome o = RunProgram(p, "steps=20000000");
        EXPECT_EQ(o.result.rfind("Run failed at line ", 0), 0u) << o.result;
        EXPECT_NE(o.result.find(": step limit reached: the program ran more than 20000000 steps"), std::string::npos)
            << o.result;
        EXPECT_EQ(LastLine(o.log), "Error" + o.result.substr(10));
        EXPECT_EQ(o.parameters, "");
    }
}

// The result is the value of the last expression statement: a string it holds must not
// grow when the variable that shares it is appended to in a later statement of any kind.
TEST(Language, ResultKeepsItsValueWhenAStringItSharesIsAppendedToLater)
{
    const std::string start = "var s = \"a\" + \"b\";\ns = s + \"c\";\n";
    const std::string append = "function f() { s = s + \"d\"; return 1; }\n";
    const std::string programs[] = {
        start + "print s = s + \"d\";",
        start + append + "var x = f();",
        start + append + "print f();",
        start + append + "if (f()) { }",
        start + append + "while (f() < 1) { }",
        start + append + "for (var i = f(); i < 1; i = i + 1) { }",
        start + "var t = [s = s + \"d\"];",
        start + "var o = {v: s = s + \"d\"};",
    };
    for (const std::string& p : programs) {
        SCOPED_TRACE(p);
        const Outcome o = RunProgram(p);
        EXPECT_EQ(o.result, "abc");
        EXPECT_EQ(o.variables.substr(0, 10), "s = \"abcd\"");
    }
}

// Objects that only refer to each other are freed while the program runs, so only live
// memory counts against the limit: here 100 MB of them come and go, 2 KB at a time.
// (Core.CyclesOfTheFirstReportAreFreed runs the program of the report itself.)
TEST(Language, CyclesAreFreedWhileTheProgramRuns)
{
    const Outcome o = RunProgram(R"(var pad = "x";
while (len(pad) < 2000) pad = pad + pad;
var i = 0;
while (i < 50000) { var a = { s: pad + i }; a.me = a; i = i + 1; }
len(a.s);
)");
    EXPECT_EQ(o.result, "2053");
    EXPECT_EQ(o.objects, "#50000 {s: \"" + std::string(200, 'x') + "\"... (2053 bytes), me: #50000}");
}

TEST(Language, StacksShowArraysAsTheyShowObjects)
{
    const Outcome clean = RunProgram(R"(var list = [1, "two", [3]];
var pet = { name: "Rex", tags: ["good", "loud"] };
push(list, pet);
var gone = [0];
gone = nil;
for (var i = 0; i < 2; i = i + 1) { }
len(list);
)");
    EXPECT_EQ(clean.result, "4");
    EXPECT_EQ(clean.variables, "list = #1\npet = #3\ngone = nil\ni = 2");
    EXPECT_EQ(clean.objects, "#1 [1, \"two\", #2, #3]\n#2 [3]\n#3 {name: \"Rex\", tags: #4}\n#4 [\"good\", \"loud\"]");

    const Outcome failed = RunProgram(R"(function last(items, n) {
    return items[len(items) - n];
}
var xs = [10, 20];
print last(xs, 1);
last(xs, 0);
)");
    EXPECT_EQ(failed.result, "Run failed at line 2, column 17: index 2 is out of range: the array has 2 items");
    EXPECT_EQ(failed.log, "20\nError at line 2, column 17: index 2 is out of range: the array has 2 items");
    EXPECT_EQ(failed.parameters, "last(items = #1, n = 0)");
    EXPECT_EQ(failed.objects, "#1 [10, 20]");
    EXPECT_EQ(failed.functions, "last(items, n): called 2 times");
}

TEST(Language, ObjectsHeldOnlyByACycleAreNotListed)
{
    const Outcome o = RunProgram("var a = {n: 1}; var b = {n: 2, other: a}; a.other = b; var keep = {n: 3}; a = nil; b = nil; 0;");
    EXPECT_EQ(o.objects, "#3 {n: 3}");
    EXPECT_EQ(o.variables, "a = nil\nb = nil\nkeep = #3");
}

} // namespace
