// What a process writes to one of its standard streams, read from the pipe on a
// thread of its own as it comes, so that the writer never waits on a full pipe;
// only the last bytes are kept.
#pragma once

#include "framework/Win.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class OutputCapture {
public:
    // Kept: the last bytes written, this many at most.
    static constexpr size_t KeptBytes = 64 * 1024;

    // Creates the pipe; Writer() is what the process is given.
    OutputCapture();
    ~OutputCapture() = default;
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // The inheritable end to hand to the process; close it here (CloseWriter)
    // once the process has it, so that the pipe ends when the process does.
    HANDLE Writer() const;
    void CloseWriter();

    struct Taken {
        std::string bytes;   // the last KeptBytes at most
        uint64_t total = 0;  // how many were written in all
    };
    // What was written, once the pipe has ended or after waiting this long for
    // it to end (a process the writer started may hold it open).
    Taken Take(std::chrono::milliseconds wait);

    struct State;

private:
    std::shared_ptr<State> state_;
};

// Bytes a process wrote, as text: UTF-8 where they are, the system's code page otherwise.
std::wstring DecodeOutput(std::string bytes);
