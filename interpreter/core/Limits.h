// What a run may use, and what it reports: the contract between the core and its hosts.
// Every limit names itself in the message of a run it stops; docs/language.md lists
// them with their reasons, and a host changes them through Execute's options.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qav {

// A 32-bit process has 2 GB of address space for everything; a 64-bit one has room.
inline constexpr bool kSmallAddressSpace = sizeof(void*) == 4;

// The deepest calls a host may allow, and the machine stack a run's thread reserves for
// each call its depth limit allows (stackBytes at the least): a call that nests a few
// expressions takes under 500 bytes of it in the 64-bit library and less in the 32-bit
// one, so the deepest recursion fits with room to spare. A 32-bit process has too
// little address space to reserve a gigabyte in.
inline constexpr int kMaxCallDepth = kSmallAddressSpace ? 200'000 : 1'000'000;
inline constexpr std::size_t kStackPerCall = kSmallAddressSpace ? 512 : 1024;

struct Limits {
    // Parts of statements and expressions run, and their work: about 10 seconds on a
    // typical machine in the 64-bit library (up to about 14 in the 32-bit one), the
    // most a host without a stop control should wait.
    std::uint64_t steps = 10'000'000'000;
    // Nested function calls: deep enough for recursive code over big data.
    int callDepth = 10'000;
    // Machine stack the evaluator may use: reserved, and taken only as it is used. A
    // call takes well under 1 KB of it, so 10,000 calls fit with room for deep
    // expressions inside each; a deeper limit reserves more (kStackPerCall).
    std::size_t stackBytes = std::size_t{64} << 20;
    std::size_t sourceBytes = 4 * 1024 * 1024; // program text, in UTF-8
    // Strings, objects, arrays, field names and variables alive at once.
    std::size_t heapBytes = kSmallAddressSpace ? std::size_t{256} << 20 : std::size_t{1} << 30;
    std::size_t logBytes = 1024 * 1024; // printed text kept in the log
    // Set by another thread to end the run: it is looked at every 32,768 steps, about
    // every 30 microseconds, and the run ends with "stopped on request".
    const std::atomic<bool>* stop = nullptr;
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
