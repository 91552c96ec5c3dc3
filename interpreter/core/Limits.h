// What a run may use, and what it reports: the contract between the core and its hosts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qav {

struct Limits {
    std::uint64_t steps = 500'000'000;         // parts of statements and expressions run, and their work
    std::chrono::milliseconds time{600};       // run time: the last guard, where steps misjudge the work
    int callDepth = 400;                       // nested function calls
    std::size_t stackBytes = 640 * 1024;       // machine stack the evaluator may use
    std::size_t sourceBytes = 4 * 1024 * 1024; // program text, in UTF-8
    std::size_t heapBytes = 64 * 1024 * 1024;  // strings, objects and arrays alive at once
    std::size_t logBytes = 1024 * 1024;        // printed text kept in the log
    // x = x + ... grows x's string in place when nothing else holds it. Off, every
    // such '+' makes a new string: for tests that the shortcut changes no result.
    bool appendInPlace = true;
};

struct RunReport {
    bool ok = true;
    std::string result;
    std::vector<std::string> log;
    std::vector<std::string> variables;
    std::vector<std::string> parameters;
    std::vector<std::string> objects;
    std::vector<std::string> functions;
    std::uint64_t steps = 0; // steps the run took
};

} // namespace qav
