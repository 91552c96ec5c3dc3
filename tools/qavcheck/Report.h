// What the checker prints: a line per call with its time, a line per finding
// ("error: <operation>: <what is wrong>. Fix: <how>"), and a summary line.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

enum class Severity { Error, Warning };

struct Finding;

class Report {
public:
    // fullTexts: show returned texts whole instead of cut at PreviewUnits.
    explicit Report(bool fullTexts = false);

    void Heading(std::wstring_view line);
    // One call into the library: its operation, how long it took, and what it gave.
    void Call(std::wstring_view operation, double milliseconds, std::wstring_view outcome);
    // A finding about operation: "error: <operation>: <problem> Fix: <fix>".
    void Add(std::wstring_view operation, const Finding& finding);
    // A call given up as hung after waiting this long.
    void GaveUp(std::chrono::milliseconds waited);
    // A returned text for a call's line: quoted and escaped, whole or cut.
    std::wstring Shown(std::wstring_view text);

    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }
    int Calls() const { return calls_; }

    // The last line, after a note when texts were cut; checked false when the
    // library could not be checked at all.
    void Summary(bool checked, bool hung);

private:
    bool fullTexts_;
    bool cut_ = false;
    int errors_ = 0;
    int warnings_ = 0;
    int calls_ = 0;
    double milliseconds_ = 0;
    std::chrono::milliseconds waited_{0};
    std::chrono::steady_clock::time_point start_;
};

// Units of a returned text that a call's line shows unless asked for whole texts.
inline constexpr size_t PreviewUnits = 60;

// A text shown on one line: at most limit characters, line breaks and other
// control characters as escapes, in quotes.
std::wstring Preview(std::wstring_view text, size_t limit = PreviewUnits);

// Milliseconds with three decimals: "0.012 ms".
std::wstring FormatMilliseconds(double milliseconds);
