#include "tools/qavcheck/LineBreaks.h"

#include "tools/qavcheck/Findings.h"

#include <algorithm>

namespace {

// Units shown on each side of the first lone break.
constexpr size_t Context = 24;

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
    const size_t from = lone.first > Context ? lone.first - Context : 0;
    const std::wstring_view around = text.substr(from, lone.first - from + 1 + Context);
    report.Add(operation, finding::LoneBreaks(lone.lf, lone.cr, lone.first, from > 0, around));
}
