// The messages from the process that runs the session with the library to
// qavcheck's own, over an anonymous pipe: the report's events as they happen,
// marks of how the library is ending the process where the C runtime tells
// it, and the session's end. Whatever the session's process had sent before
// it ended reaches qavcheck whole; a message cut short by the end is dropped.
#pragma once

#include "tools/qavcheck/Report.h"

#include "framework/Win.h"

#include <mutex>
#include <optional>
#include <string>

struct SessionMessage {
    enum class Kind {
        Event,  // a report event
        Abort,  // abort() raised SIGABRT in a call (the C runtime the checker shares with the library)
        Exit,   // exit() ran the runtime's exit handlers in a call
        End,    // the session is over: end
        Failed, // qavcheck itself failed in the session's process: text
    };
    Kind kind = Kind::Event;
    ReportEntry event;
    SessionEnd end = SessionEnd::Finished;
    std::wstring text;
};

// The session's side; safe to call from any thread, one message at a time.
class SessionWriter {
public:
    explicit SessionWriter(HANDLE pipe) : pipe_(pipe) {}
    void Send(const SessionMessage& message) noexcept;

private:
    HANDLE pipe_; // borrowed: inherited, and open until the process ends
    std::mutex lock_;
};

// qavcheck's side: the next whole message, or nullopt once the pipe has ended.
std::optional<SessionMessage> ReadMessage(HANDLE pipe);
