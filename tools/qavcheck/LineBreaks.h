// Line ends in a text bound for a pane: the workbench cuts lines only at CR LF.
#pragma once

#include "tools/qavcheck/Report.h"

#include <cstddef>
#include <string>
#include <string_view>

struct LoneBreaks {
    size_t lf = 0;                     // LFs without a CR before them
    size_t cr = 0;                     // CRs without an LF after them
    size_t first = std::wstring::npos; // the unit of the first of either
};

LoneBreaks FindLoneBreaks(std::wstring_view text);

// A warning for operation when text breaks lines anywhere but at CR LF.
void CheckLineBreaks(Report& report, std::wstring_view operation, std::wstring_view text);
