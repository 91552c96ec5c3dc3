// The command line: qavcheck [--program FILE] [--timeout SECONDS] [--stop-after MS] [--full-texts] PATH\TO\QAV.dll
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Arguments {
    std::wstring library;
    std::wstring programFile;                   // empty: the default program
    std::chrono::milliseconds timeout{10'000};  // a call running longer is hung
    // When Execute is asked through StopQAVInterface to stop; unset: once it has
    // run for the timeout, as a user presses Stop on a call that goes on.
    std::optional<std::chrono::milliseconds> stopAfter;
    bool fullTexts = false;                     // texts whole in the calls' lines
    bool help = false;
    // Set only on the command line of the process qavcheck runs the session in:
    // the handle, inherited from qavcheck, that it reports through.
    std::optional<uintptr_t> session;
};

// Throws Exception with a one-line reason when the arguments are not usable.
Arguments ParseArguments(const std::vector<std::wstring>& args);

// The option that makes a process the session's, followed by the handle.
inline constexpr const wchar_t* SessionOption = L"--session";

extern const wchar_t* const UsageText;
