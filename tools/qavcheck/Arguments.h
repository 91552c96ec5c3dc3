// The command line: qavcheck [--program FILE] [--timeout SECONDS] [--full-texts] PATH\TO\QAV.dll
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct Arguments {
    std::wstring library;
    std::wstring programFile;                   // empty: the default program
    std::chrono::milliseconds timeout{10'000};  // a call running longer is hung
    bool fullTexts = false;                     // texts whole in the calls' lines
    bool help = false;
};

// Throws Exception with a one-line reason when the arguments are not usable.
Arguments ParseArguments(const std::vector<std::wstring>& args);

extern const wchar_t* const UsageText;
