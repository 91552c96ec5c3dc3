// Runs qavcheck.exe of this build as a user would, and what it printed.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

struct CheckerRun {
    unsigned long exitCode = 0;
    std::vector<std::wstring> out; // stdout, a line each
    std::vector<std::wstring> err; // stderr, a line each
    std::chrono::milliseconds took{0};

    // The lines of stdout that start with prefix.
    std::vector<std::wstring> Starting(const std::wstring& prefix) const;
    // The lines that report findings ("error: ..." and "warning: ...").
    std::vector<std::wstring> Findings() const;
    // Everything it printed, for a failure message.
    std::string Transcript() const;
};

// Starts exe (by default qavcheck.exe beside the tests) with the arguments, in
// the current folder, and waits for it; one still running after timeout is
// killed and reported as a failure by a thrown runtime_error.
CheckerRun RunChecker(const std::vector<std::wstring>& args,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds{60000},
                      const std::filesystem::path& exe = {});
