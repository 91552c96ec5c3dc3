#include "tools/qavcheck/LineBreaks.h"

#include <algorithm>

namespace {

// Units shown on each side of the first lone break.
constexpr size_t Context = 24;

std::wstring Count(size_t n, const wchar_t* what)
{
    return std::to_wstring(n) + L" " + what;
}

} // namespace

LoneBreaks FindLoneBreaks(std::wstring_view text)
{
    LoneBreaks found;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n';
        if (pair) {
            ++i;
            continue;
        }
        if (text[i] != L'\r' && text[i] != L'\n')
            continue;
        ++(text[i] == L'\n' ? found.lf : found.cr);
        found.first = std::min(found.first, i);
    }
    return found;
}

void CheckLineBreaks(Report& report, std::wstring_view operation, std::wstring_view text)
{
    const LoneBreaks lone = FindLoneBreaks(text);
    if (lone.first == std::wstring::npos)
        return;
    std::wstring kinds;
    if (lone.lf > 0)
        kinds = Count(lone.lf, lone.lf == 1 ? L"lone LF" : L"lone LFs");
    if (lone.cr > 0)
        kinds += (kinds.empty() ? L"" : L" and ") + Count(lone.cr, lone.cr == 1 ? L"lone CR" : L"lone CRs");
    const size_t from = lone.first > Context ? lone.first - Context : 0;
    const std::wstring_view around = text.substr(from, lone.first - from + 1 + Context);
    report.Finding(Severity::Warning, operation,
                   L"the text breaks lines with " + kinds + L", the first at unit " + std::to_wstring(lone.first) +
                       L": " + (from > 0 ? L"..." : L"") + Preview(around, around.size()) +
                       L". The workbench cuts a pane's lines only at CR LF: Windows shows lines broken this way "
                       L"run together on one line.",
                   L"end every line with CR LF (L\"\\r\\n\"): convert the interpreter's line ends, \\n "
                   L"for most, when it builds the text it returns.");
}
