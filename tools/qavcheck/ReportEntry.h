// One thing the checks tell the report, as it happens: the unit in which the
// session's process hands its report to qavcheck's own (SessionPipe).
#pragma once

#include <string>

enum class Severity { Error, Warning };

struct ReportEntry {
    enum class Kind {
        Heading, // a line as it stands: text
        Calling, // a call into the library begins: operation
        Call,    // it returned: operation, milliseconds, what it gave (text)
        Finding, // operation, severity, what is wrong (text), how to fix it
        GaveUp,  // the call of the last Calling was given up as hung after milliseconds
        Cut,     // a text was shown cut short
    };
    Kind kind = Kind::Heading;
    std::wstring operation;
    std::wstring text;
    std::wstring fix;
    Severity severity = Severity::Error;
    double milliseconds = 0;
};
