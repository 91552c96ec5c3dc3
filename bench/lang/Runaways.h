// Programs that never end: the mistakes the step budget was measured on, and work that
// the steps could misjudge. Shared by the native benchmark and the one through QAV.dll.
#pragma once

#include <string>

namespace bench {

inline std::string Repeated(const char* part, int times, const char* separator)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += (i > 0 ? separator : "") + std::string(part) + std::to_string(i);
    return s;
}

inline std::string Runaway(const std::string& name)
{
    if (name == "counter")
        return "var i = 0; while (true) { i = i + 1; }";
    if (name == "object3")
        return "var i = 0; while (i < 10) { var o = { a: i, b: i, c: i }; }";
    if (name == "string4")
        return "var i = 0; while (i < 10) { var s = \"a\" + i + \"b\" + i; }";
    if (name == "object16")
        return "while (true) { var o = { " + Repeated("f", 16, ": 1, ") + ": 1 }; }";
    if (name == "args10k")
        return "function f(" + Repeated("a", 10000, ", ") + ") { }\nwhile (true) { f(" +
               Repeated("", 10000, ", ") + "); }";
    if (name == "cycles")
        return "var i = 0; while (true) { var a = { n: i }; a.me = a; i = i + 1; }";
    if (name == "cycles-big")
        return "var a = []; var i = 0; while (i < 100000) { push(a, { v: i }); i = i + 1; }\n"
               "while (true) { var x = { p: a }; x.q = x; }";
    if (name == "new-names")
        return "var o = {}; var i = 0; while (true) { o[\"k\" + i] = i; i = i + 1; }";
    if (name == "near-misses")
        return "var s = \"x\"; var i = 0; while (i < 20) { s = s + s; i = i + 1; }\n"
               "while (true) { var at = find(s, \"xy\"); }";
    if (name == "fill-objects")
        return "var a = []; while (true) { push(a, {}); }";
    if (name == "fill-string")
        return "var s = \"\"; var i = 0; while (true) { s = s + \"item \" + i + \";\"; i = i + 1; }";
    if (name == "print")
        return "var i = 0; while (true) { print \"line \" + i; i = i + 1; }";
    return "";
}


inline constexpr const char* kRunaways[] = {"counter", "object3", "string4", "object16", "args10k",
                                     "cycles", "cycles-big", "new-names", "near-misses", "fill-objects",
                                     "fill-string", "print"};

} // namespace bench
