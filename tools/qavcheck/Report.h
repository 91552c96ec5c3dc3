// What the checker prints: a line per call with its time, a line per finding
// ("error: <operation>: <what is wrong>. Fix: <how>"), and a summary line.
// Every event is counted where it happens and then handed to the report's
// sink: printed by qavcheck's own process, sent to it by the session's.
#pragma once

#include "tools/qavcheck/ReportEntry.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

struct Finding;

// How the session ended, for the summary.
enum class SessionEnd {
    Finished,       // every call made
    NotLoaded,      // the library could not be loaded at all
    Hung,           // a call given up as hung
    EndedByLibrary, // the library ended the session's process
};

class Report {
public:
    using Sink = std::function<void(const ReportEntry&)>;

    // fullTexts: show returned texts whole instead of cut at PreviewUnits.
    Report(bool fullTexts, Sink sink);

    void Heading(std::wstring_view line);
    // A call into the library is about to be made.
    void Calling(std::wstring_view operation);
    // One call into the library: its operation, how long it took, and what it gave.
    void Call(std::wstring_view operation, double milliseconds, std::wstring_view outcome);
    // A finding about operation: "error: <operation>: <problem> Fix: <fix>".
    void Add(std::wstring_view operation, const Finding& finding);
    // The call begun last, given up as hung after waiting this long.
    void GaveUp(std::chrono::milliseconds waited);
    // A returned text for a call's line: quoted and escaped, whole or cut.
    std::wstring Shown(std::wstring_view text);

    // Counts the event and hands it to the sink.
    void Apply(const ReportEntry& event);

    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }
    int Calls() const { return calls_; }
    // The operation of the call begun and not yet returned; empty when none runs.
    const std::wstring& Running() const { return running_; }
    // The operation of the last call that returned; empty before the first.
    const std::wstring& LastReturned() const { return lastReturned_; }

    // The last line, after a note when texts were cut.
    void Summary(SessionEnd end);

private:
    bool fullTexts_;
    Sink sink_;
    bool cut_ = false;
    int errors_ = 0;
    int warnings_ = 0;
    int calls_ = 0;
    double milliseconds_ = 0;
    std::wstring running_;
    std::wstring lastReturned_;
    std::chrono::milliseconds waited_{0};
    std::chrono::steady_clock::time_point start_;
};

// Prints the lines of an event, as qavcheck's own report does.
void PrintEntry(const ReportEntry& event);

// Units of a returned text that a call's line shows unless asked for whole texts.
inline constexpr size_t PreviewUnits = 60;

// A text shown on one line: at most limit characters, line breaks and other
// control characters as escapes, in quotes.
std::wstring Preview(std::wstring_view text, size_t limit = PreviewUnits);

// Milliseconds with three decimals: "0.012 ms".
std::wstring FormatMilliseconds(double milliseconds);

// Seconds to three digits, as short as they read: "1.47 s", "0.5 s", "10 s", "86400 s".
std::wstring FormatSeconds(std::chrono::duration<double> seconds);
