#include "tools/qavcheck/Report.h"

#include "framework/HexText.h"
#include "framework/Surrogates.h"
#include "tools/qavcheck/Console.h"
#include "tools/qavcheck/Findings.h"

#include <cmath>
#include <cwchar>
#include <utility>

namespace {

std::wstring Count(int n, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

} // namespace

std::wstring FormatMilliseconds(double milliseconds)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%.3f ms", milliseconds);
    return text;
}

std::wstring FormatSeconds(std::chrono::duration<double> seconds)
{
    wchar_t text[32];
    std::swprintf(text, 32, seconds.count() >= 100 ? L"%.0f s" : L"%.3g s", seconds.count());
    return text;
}

std::wstring Preview(std::wstring_view text, size_t limit)
{
    std::wstring shown = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == limit) {
            shown += L"...";
            break;
        }
        const wchar_t c = text[i];
        if (c == L'\r') {
            shown += L"\\r";
        } else if (c == L'\n') {
            shown += L"\\n";
        } else if (c < 0x20 || IsSurrogate(c)) {
            shown += L"\\u" + HexDigits(c, 4);
        } else {
            shown += c;
        }
    }
    return shown + L"\"";
}

void PrintEntry(const ReportEntry& event)
{
    std::wstring line;
    switch (event.kind) {
    case ReportEntry::Kind::Heading:
        WriteLine(Stream::Out, event.text);
        return;
    case ReportEntry::Kind::Call:
        line = L"call: " + event.operation + L": " + FormatMilliseconds(event.milliseconds);
        if (!event.text.empty())
            line += L", " + event.text;
        WriteLine(Stream::Out, line);
        return;
    case ReportEntry::Kind::Finding:
        line = (event.severity == Severity::Error ? L"error: " : L"warning: ") + event.operation + L": " + event.text;
        if (!event.fix.empty())
            line += L" Fix: " + event.fix;
        WriteLine(Stream::Out, line);
        return;
    case ReportEntry::Kind::Calling:
    case ReportEntry::Kind::GaveUp:
    case ReportEntry::Kind::Cut:
        return;
    }
}

Report::Report(bool fullTexts, Sink sink)
    : fullTexts_(fullTexts), sink_(std::move(sink)), start_(std::chrono::steady_clock::now())
{
}

void Report::Apply(const ReportEntry& event)
{
    switch (event.kind) {
    case ReportEntry::Kind::Heading: break;
    case ReportEntry::Kind::Calling: running_ = event.operation; break;
    case ReportEntry::Kind::Call:
        ++calls_;
        milliseconds_ += event.milliseconds;
        running_.clear();
        lastReturned_ = event.operation;
        break;
    case ReportEntry::Kind::Finding: ++(event.severity == Severity::Error ? errors_ : warnings_); break;
    case ReportEntry::Kind::GaveUp: waited_ = std::chrono::milliseconds(std::llround(event.milliseconds)); break;
    case ReportEntry::Kind::Cut: cut_ = true; break;
    }
    sink_(event);
}

void Report::Heading(std::wstring_view line)
{
    ReportEntry event;
    event.text = line;
    Apply(event);
}

void Report::Calling(std::wstring_view operation)
{
    ReportEntry event;
    event.kind = ReportEntry::Kind::Calling;
    event.operation = operation;
    Apply(event);
}

void Report::Call(std::wstring_view operation, double milliseconds, std::wstring_view outcome)
{
    ReportEntry event;
    event.kind = ReportEntry::Kind::Call;
    event.operation = operation;
    event.milliseconds = milliseconds;
    event.text = outcome;
    Apply(event);
}

void Report::Add(std::wstring_view operation, const Finding& finding)
{
    ReportEntry event;
    event.kind = ReportEntry::Kind::Finding;
    event.operation = operation;
    event.severity = finding.severity;
    event.text = finding.problem;
    event.fix = finding.fix;
    Apply(event);
}

void Report::GaveUp(std::chrono::milliseconds waited)
{
    ReportEntry event;
    event.kind = ReportEntry::Kind::GaveUp;
    event.milliseconds = static_cast<double>(waited.count());
    Apply(event);
}

std::wstring Report::Shown(std::wstring_view text)
{
    if (fullTexts_)
        return Preview(text, text.size());
    if (text.size() > PreviewUnits && !cut_) {
        ReportEntry event;
        event.kind = ReportEntry::Kind::Cut;
        Apply(event);
    }
    return Preview(text);
}

void Report::Summary(SessionEnd end)
{
    if (cut_)
        WriteLine(Stream::Out, L"note: texts longer than " + std::to_wstring(PreviewUnits) +
                                   L" units are cut short above; --full-texts shows them whole.");
    std::wstring line = L"summary: ";
    switch (end) {
    case SessionEnd::NotLoaded: line += L"not checked: the library could not be loaded; "; break;
    case SessionEnd::Hung: line += L"stopped at a hung call; "; break;
    case SessionEnd::EndedByLibrary: line += L"the library ended the process; "; break;
    case SessionEnd::Finished:
        if (errors_ == 0 && warnings_ == 0)
            line += L"clean; ";
        break;
    }
    line += Count(errors_, L"error", L"errors") + L", " + Count(warnings_, L"warning", L"warnings") + L", " +
            Count(calls_, L"call", L"calls") + L" in " + FormatMilliseconds(milliseconds_);
    // The calls above returned; the hung one held the check until it was given up.
    if (end == SessionEnd::Hung) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        wchar_t tail[96];
        std::swprintf(tail, 96, L", then one given up after %g s; the check took %.1f s",
                      static_cast<double>(waited_.count()) / 1000, seconds);
        line += tail;
    }
    WriteLine(Stream::Out, line);
}
