// What the checker prints: a line per call with its time, a line per finding
// ("error: <operation>: <what is wrong>. Fix: <how>"), and a summary line.
#pragma once

#include <string>
#include <string_view>

enum class Severity { Error, Warning };

class Report {
public:
    void Heading(std::wstring_view line);
    // One call into the library: its operation, how long it took, and what it gave.
    void Call(std::wstring_view operation, double milliseconds, std::wstring_view outcome);
    void Finding(Severity severity, std::wstring_view operation, std::wstring_view problem, std::wstring_view fix);

    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }
    int Calls() const { return calls_; }

    // The last line; checked false when the library could not be checked at all.
    void Summary(bool checked, bool hung);

private:
    int errors_ = 0;
    int warnings_ = 0;
    int calls_ = 0;
    double milliseconds_ = 0;
};

// A text shown on one line: at most limit characters, line breaks and other
// control characters as escapes, in quotes.
std::wstring Preview(std::wstring_view text, size_t limit = 60);

// Milliseconds with three decimals: "0.012 ms".
std::wstring FormatMilliseconds(double milliseconds);
