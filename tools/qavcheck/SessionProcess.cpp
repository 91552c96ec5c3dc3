#include "tools/qavcheck/SessionProcess.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"
#include "framework/win32/SystemErrorText.h"
#include "framework/win32/UniqueHandle.h"
#include "tools/qavcheck/CommandLine.h"
#include "tools/qavcheck/Console.h"
#include "tools/qavcheck/ContractCheck.h"
#include "tools/qavcheck/Findings.h"
#include "tools/qavcheck/OutputCapture.h"
#include "tools/qavcheck/LibraryEnding.h"
#include "tools/qavcheck/SessionPipe.h"

#include <optional>

namespace {

// How long the session's process may take to end once it has said it is done, or its pipe has ended.
constexpr std::chrono::milliseconds EndingTime{5000};
// How long its output may still come once it has ended (a process it started may hold the pipes).
constexpr std::chrono::milliseconds OutputTime{1000};
// Lines of a stream shown at most: the last ones, where an end of the process leaves its words.
constexpr size_t ShownLines = 40;

[[noreturn]] void Fail(const wchar_t* what)
{
    const DWORD error = GetLastError();
    throw Exception(UnicodeString(what) + L": " + ErrorCodeText(error));
}

// The session's process, in a job that ends it if qavcheck is ended first.
class SessionChild {
public:
    explicit SessionChild(const std::vector<std::wstring>& args)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE reader = nullptr, writer = nullptr;
        if (!CreatePipe(&reader, &writer, &inherit, 0))
            Fail(L"cannot create the pipe to the session's process");
        pipe_.Reset(reader);
        UniqueFile pipeWriter(writer);
        SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);

        const std::wstring self = ModuleFileName(nullptr);
        std::vector<std::wstring> line{self, SessionOption, std::to_wstring(reinterpret_cast<uintptr_t>(writer))};
        line.insert(line.end(), args.begin(), args.end());
        std::wstring commandLine = JoinCommandLine(line);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE); // borrowed
        startup.hStdOutput = out_.Writer();
        startup.hStdError = err_.Writer();
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
            Fail(L"cannot start the session's process");
        process_.Reset(info.hProcess);
        const UniqueKernelObject thread(info.hThread);
        JoinJob();
        ResumeThread(thread.Get());
        // Only the session's process holds the writing ends now: each pipe ends with it.
        pipeWriter.Reset();
        out_.CloseWriter();
        err_.CloseWriter();
    }

    ~SessionChild()
    {
        if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.Get(), static_cast<UINT>(CheckOutcome::Found));
    }

    SessionChild(const SessionChild&) = delete;
    SessionChild& operator=(const SessionChild&) = delete;

    HANDLE Pipe() const { return pipe_.Get(); }

    // Its exit code, once it has ended; one still running after wait is ended here.
    uint32_t Ended(std::chrono::milliseconds wait)
    {
        if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(wait.count())) != WAIT_OBJECT_0) {
            TerminateProcess(process_.Get(), static_cast<UINT>(CheckOutcome::Found));
            WaitForSingleObject(process_.Get(), INFINITE);
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.Get(), &code);
        return code;
    }

    OutputCapture::Taken Out() { return out_.Take(OutputTime); }
    OutputCapture::Taken Err() { return err_.Take(OutputTime); }

private:
    // A job that ends the session's process, and whatever the library started,
    // when qavcheck ends; where jobs cannot be had, the check runs all the same.
    void JoinJob()
    {
        job_.Reset(CreateJobObjectW(nullptr, nullptr));
        if (!job_)
            return;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
            AssignProcessToJobObject(job_.Get(), process_.Get());
    }

    OutputCapture out_;
    OutputCapture err_;
    UniqueFile pipe_;
    UniqueKernelObject process_;
    UniqueKernelObject job_;
};

// What the session's process wrote to one stream, a line each: "stderr: ...".
void ShowOutput(const wchar_t* stream, const OutputCapture::Taken& taken)
{
    std::wstring text = DecodeOutput(taken.bytes);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    if (text.empty())
        return;
    std::vector<std::wstring> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    const std::wstring prefix = std::wstring(stream) + L": ";
    const bool cut = lines.size() > ShownLines || taken.total > taken.bytes.size();
    if (cut)
        WriteLine(Stream::Out, prefix + L"... (" + std::to_wstring(taken.total) +
                                   L" bytes in all; the last lines follow)");
    for (size_t i = lines.size() > ShownLines ? lines.size() - ShownLines : 0; i < lines.size(); ++i) {
        // Control characters as escapes, as in a call's line, without the quotes around it.
        const std::wstring shown = Preview(lines[i], lines[i].size());
        WriteLine(Stream::Out, prefix + shown.substr(1, shown.size() - 2));
    }
}

// Where the session's process was when the library ended it.
void ReportEnded(Report& report, const LibraryEnding& end, bool wroteStderr)
{
    const std::wstring running = report.Running();
    std::wstring during;
    finding::EndPlace place = finding::EndPlace::GuardedCall;
    if (!running.empty()) {
        during = L"during " + running;
        place = running == L"LoadLibrary" ? finding::EndPlace::Loading
              : running == L"FreeLibrary" ? finding::EndPlace::Unloading
                                          : finding::EndPlace::GuardedCall;
    } else {
        place = finding::EndPlace::NoCall;
        during = report.LastReturned().empty() ? L"before the first call"
                                               : L"after " + report.LastReturned() + L" returned, while no call ran";
    }
    report.Add(running.empty() ? L"process" : running, finding::EndedProcess(end, during, place, wroteStderr));
}

} // namespace

int CheckInSessionProcess(const Arguments& arguments, const std::vector<std::wstring>& args)
{
    Report report(arguments.fullTexts, PrintEntry);
    SessionChild child(args);
    bool abortRaised = false, exitCalled = false;
    std::optional<SessionEnd> end;
    std::optional<std::wstring> failure;
    while (!end && !failure) {
        const std::optional<SessionMessage> message = ReadMessage(child.Pipe());
        if (!message)
            break;
        switch (message->kind) {
        case SessionMessage::Kind::Event: report.Apply(message->event); break;
        case SessionMessage::Kind::Abort: abortRaised = true; break;
        case SessionMessage::Kind::Exit: exitCalled = true; break;
        case SessionMessage::Kind::End: end = message->end; break;
        case SessionMessage::Kind::Failed: failure = message->text; break;
        }
    }
    const uint32_t exitCode = child.Ended(EndingTime);
    const OutputCapture::Taken out = child.Out();
    const OutputCapture::Taken err = child.Err();
    ShowOutput(L"stdout", out);
    ShowOutput(L"stderr", err);
    if (failure) {
        WriteLine(Stream::Error, L"qavcheck: " + *failure);
        return static_cast<int>(CheckOutcome::NotLoaded);
    }
    if (!end) {
        ReportEnded(report, JudgeLibraryEnding(exitCode, DecodeOutput(err.bytes), abortRaised, exitCalled),
                    !err.bytes.empty());
        end = SessionEnd::EndedByLibrary;
    }
    report.Summary(*end);
    if (*end == SessionEnd::NotLoaded)
        return static_cast<int>(CheckOutcome::NotLoaded);
    const bool found = *end != SessionEnd::Finished || report.Errors() > 0 || report.Warnings() > 0;
    return static_cast<int>(found ? CheckOutcome::Found : CheckOutcome::Clean);
}
