#include "tools/qavcheck/Report.h"

#include "framework/HexText.h"
#include "framework/Surrogates.h"
#include "tools/qavcheck/Console.h"
#include "tools/qavcheck/Findings.h"

#include <cwchar>

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

Report::Report(bool fullTexts) : fullTexts_(fullTexts), start_(std::chrono::steady_clock::now()) {}

void Report::Heading(std::wstring_view line)
{
    WriteLine(Stream::Out, line);
}

void Report::Call(std::wstring_view operation, double milliseconds, std::wstring_view outcome)
{
    ++calls_;
    milliseconds_ += milliseconds;
    std::wstring line = L"call: ";
    line += operation;
    line += L": " + FormatMilliseconds(milliseconds);
    if (!outcome.empty()) {
        line += L", ";
        line += outcome;
    }
    WriteLine(Stream::Out, line);
}

void Report::Add(std::wstring_view operation, const Finding& finding)
{
    const bool error = finding.severity == Severity::Error;
    ++(error ? errors_ : warnings_);
    std::wstring line = error ? L"error: " : L"warning: ";
    line += operation;
    line += L": ";
    line += finding.problem;
    if (!finding.fix.empty()) {
        line += L" Fix: ";
        line += finding.fix;
    }
    WriteLine(Stream::Out, line);
}

void Report::GaveUp(std::chrono::milliseconds waited)
{
    waited_ = waited;
}

std::wstring Report::Shown(std::wstring_view text)
{
    if (fullTexts_)
        return Preview(text, text.size());
    cut_ = cut_ || text.size() > PreviewUnits;
    return Preview(text);
}

void Report::Summary(bool checked, bool hung)
{
    if (cut_)
        WriteLine(Stream::Out, L"note: texts longer than " + std::to_wstring(PreviewUnits) +
                                   L" units are cut short above; --full-texts shows them whole.");
    std::wstring line = L"summary: ";
    if (!checked)
        line += L"not checked: the library could not be loaded; ";
    else if (hung)
        line += L"stopped at a hung call; ";
    else if (errors_ == 0 && warnings_ == 0)
        line += L"clean; ";
    line += Count(errors_, L"error", L"errors") + L", " + Count(warnings_, L"warning", L"warnings") + L", " +
            Count(calls_, L"call", L"calls") + L" in " + FormatMilliseconds(milliseconds_);
    // The calls above returned; the hung one held the check until it was given up.
    if (hung) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        wchar_t tail[96];
        std::swprintf(tail, 96, L", then one given up after %g s; the check took %.1f s",
                      static_cast<double>(waited_.count()) / 1000, seconds);
        line += tail;
    }
    WriteLine(Stream::Out, line);
}
