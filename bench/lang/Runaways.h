// Programs that never end: the mistakes the step budget was measured on, and work that
// the steps could misjudge. Shared by the native benchmark and the one through QAV.dll.
#pragma once

#include <cstdio>
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


// What ended a run, from its result ("Run failed at line 1, column 5: step limit
// reached: ..."), in words joined by '_' so that a child can print it as one word.
inline constexpr const char* kStopped = "stopped_on_request";

inline std::string Ending(const std::string& result)
{
    if (result.rfind("Run failed", 0) != 0)
        return "finished";
    const std::size_t colon = result.find(": ");
    std::string ending = colon == std::string::npos ? result : result.substr(colon + 2);
    ending = ending.substr(0, ending.find(':'));
    for (char& c : ending)
        if (c == ' ')
            c = '_';
    return ending;
}

inline std::string Words(std::string ending)
{
    for (char& c : ending)
        if (c == '_')
            c = ' ';
    return ending;
}

// The stop column: the milliseconds from the request to the return, only for a run the
// stop ended; a run that a limit ended first shows none.
inline std::string StopFigure(const std::string& ending, double seconds)
{
    if (ending != kStopped)
        return "-";
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f", seconds * 1000);
    return figure;
}

inline std::string StopNote(const std::string& stopEnding)
{
    return stopEnding == kStopped ? "" : " (before the stop, " + Words(stopEnding) + ")";
}

inline constexpr const char* kRunaways[] = {"counter", "object3", "string4", "object16", "args10k",
                                     "cycles", "cycles-big", "new-names", "near-misses", "fill-objects",
                                     "fill-string", "print"};

} // namespace bench
