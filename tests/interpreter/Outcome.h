// What one run shows in the workbench's panes, each text's lines joined by "\n".
#pragma once

#include <string>
#include <string_view>

struct Outcome {
    std::string result;
    std::string log;
    std::string variables;
    std::string parameters;
    std::string objects;
    std::string functions;
};

// Runs UTF-8 program text with the library's default limits, or as the options change
// them (Execute's second argument); defined once per test program: natively by the
// core, under Wine through QAV.dll.
Outcome RunProgram(std::string_view program, std::string_view options = "");
