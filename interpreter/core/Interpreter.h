// The language's entry point: runs a program text from a fresh state and reports
// its result, its log and its state at the end as lines of UTF-8 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct Limits {
    std::uint64_t steps = 100'000'000;         // statements and loop turns per run
    int callDepth = 400;                       // nested function calls
    std::size_t stackBytes = 640 * 1024;       // machine stack the evaluator may use
    std::size_t sourceBytes = 4 * 1024 * 1024; // program text, in UTF-8
    std::size_t heapBytes = 64 * 1024 * 1024;  // strings and objects alive at once
    std::size_t logBytes = 1024 * 1024;        // printed text kept in the log
};

struct RunReport {
    bool ok = true;
    std::string result;
    std::vector<std::string> log;
    std::vector<std::string> variables;
    std::vector<std::string> parameters;
    std::vector<std::string> objects;
    std::vector<std::string> functions;
};

// Runs UTF-8 program text; invalid UTF-8 is reported as an error.
RunReport Run(std::string_view source, const Limits& limits = {});

// Runs UTF-16 program text; an unpaired surrogate is reported as an error.
RunReport Run(std::u16string_view source, const Limits& limits = {});

// The library's name and version.
const char* VersionText();

} // namespace qav
