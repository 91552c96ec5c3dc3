#include "tools/qavcheck/Session.h"

#include "framework/CaughtException.h"
#include "framework/Win.h"
#include "tools/qavcheck/ContractCheck.h"
#include "tools/qavcheck/ProgramFile.h"
#include "tools/qavcheck/SessionPipe.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace {

// Set while the session runs, for the C runtime's handlers below; null once it has ended.
std::atomic<SessionWriter*> g_writer{nullptr};

void Mark(SessionMessage::Kind kind) noexcept
{
    if (SessionWriter* writer = g_writer.load()) {
        SessionMessage message;
        message.kind = kind;
        writer->Send(message);
    }
}

// abort() raises SIGABRT through the runtime this program shares with a library
// linked against msvcrt.dll, then ends the process with exit code 3, as it does
// after the handler returns.
void OnAbort(int) noexcept
{
    Mark(SessionMessage::Kind::Abort);
}

// exit() runs the handlers of that runtime's table before it ends the process.
void OnExit() noexcept
{
    Mark(SessionMessage::Kind::Exit);
}

} // namespace

int RunSession(const Arguments& arguments)
{
    const HANDLE pipe = reinterpret_cast<HANDLE>(*arguments.session); // inherited, open for the process's life
    // Processes the library starts must not hold the pipe open after this one has ended.
    SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
    SessionWriter writer(pipe);
    SessionMessage end;
    end.kind = SessionMessage::Kind::End;
    try {
        const std::wstring program =
            arguments.programFile.empty() ? std::wstring(DefaultProgram) : ReadProgramFile(arguments.programFile);
        Report report(arguments.fullTexts, [&writer](const ReportEntry& event) {
            SessionMessage message;
            message.event = event;
            writer.Send(message);
        });
        g_writer = &writer;
        std::signal(SIGABRT, OnAbort);
        std::atexit(OnExit);
        const CheckResult result =
            CheckLibrary({arguments.library, program, arguments.timeout, arguments.stopAfter}, report);
        g_writer = nullptr;
        end.end = result.hung                                     ? SessionEnd::Hung
                  : result.outcome == CheckOutcome::NotLoaded     ? SessionEnd::NotLoaded
                                                                  : SessionEnd::Finished;
        writer.Send(end);
        // A hung call may hold the loader's lock or never return: end here, without
        // unloading anything or waiting for the thread that runs it.
        if (result.hung)
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckOutcome::Found));
        return static_cast<int>(result.outcome);
    } catch (...) {
        g_writer = nullptr;
        end.kind = SessionMessage::Kind::Failed;
        end.text = SortCaughtException().exception.ToString();
        writer.Send(end);
        return static_cast<int>(CheckOutcome::NotLoaded);
    }
}
