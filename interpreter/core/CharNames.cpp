#include "interpreter/core/CharNames.h"

#include "interpreter/core/Utf.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace qav {

namespace {

struct Named {
    char32_t first;
    char32_t last;
    bool visible; // shown in quotes as well as by code point
    const char* name;
};

// Characters that are invisible, or easily taken for others, in ascending order.
constexpr Named kNamed[] = {
    {0x00A0, 0x00A0, false, "no-break space"},
    {0x00AD, 0x00AD, false, "soft hyphen"},
    {0x0300, 0x036F, false, "combining mark"},
    {0x037E, 0x037E, true, "greek question mark"},
    {0x061C, 0x061C, false, "arabic letter mark"},
    {0x115F, 0x1160, false, "hangul filler"},
    {0x1680, 0x1680, false, "ogham space mark"},
    {0x180E, 0x180E, false, "mongolian vowel separator"},
    {0x2000, 0x200A, false, "typographic space"},
    {0x200B, 0x200B, false, "zero width space"},
    {0x200C, 0x200C, false, "zero width non-joiner"},
    {0x200D, 0x200D, false, "zero width joiner"},
    {0x200E, 0x200E, false, "left-to-right mark"},
    {0x200F, 0x200F, false, "right-to-left mark"},
    {0x2010, 0x2012, true, "hyphen"},
    {0x2013, 0x2013, true, "en dash"},
    {0x2014, 0x2014, true, "em dash"},
    {0x2018, 0x2018, true, "left single quotation mark"},
    {0x2019, 0x2019, true, "right single quotation mark"},
    {0x201C, 0x201C, true, "left double quotation mark"},
    {0x201D, 0x201D, true, "right double quotation mark"},
    {0x2028, 0x2028, false, "line separator"},
    {0x2029, 0x2029, false, "paragraph separator"},
    {0x202A, 0x202E, false, "text direction control"},
    {0x202F, 0x202F, false, "narrow no-break space"},
    {0x205F, 0x205F, false, "medium mathematical space"},
    {0x2060, 0x2060, false, "word joiner"},
    {0x2061, 0x2064, false, "invisible operator"},
    {0x2066, 0x2069, false, "text direction control"},
    {0x2212, 0x2212, true, "minus sign"},
    {0x3000, 0x3000, false, "ideographic space"},
    {0x3164, 0x3164, false, "hangul filler"},
    {0xE000, 0xF8FF, false, "private use character"},
    {0xFE00, 0xFE0F, false, "variation selector"},
    {0xFEFF, 0xFEFF, false, "byte order mark"},
    {0xFF1B, 0xFF1B, true, "fullwidth semicolon"},
    {0xFFA0, 0xFFA0, false, "hangul filler"},
    {0xFFF9, 0xFFFB, false, "interlinear annotation"},
    {0xFFFC, 0xFFFC, false, "object replacement character"},
    {0xFFFD, 0xFFFD, true, "replacement character"},
    {0xE0000, 0xE007F, false, "tag character"},
    {0xE0100, 0xE01EF, false, "variation selector"},
    {0xF0000, 0x10FFFF, false, "private use character"},
};

std::string CodePoint(char32_t c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

} // namespace

std::string DescribeChar(std::string_view text, std::size_t pos)
{
    char32_t c = 0;
    std::size_t len = DecodeUtf8(text, pos, c);
    if (len == 0) {
        c = static_cast<unsigned char>(text[pos]);
        len = 1;
    }
    if (c >= 0x21 && c < 0x7F)
        return std::string{'\'', static_cast<char>(c), '\''};
    if (c < 0xA0)
        return CodePoint(c); // a control character, or a space where none was expected
    const auto* named = std::upper_bound(std::begin(kNamed), std::end(kNamed), c,
                                         [](char32_t code, const Named& n) { return code < n.first; });
    std::string quoted(1, '\'');
    quoted.append(text.substr(pos, len));
    quoted += '\'';
    if (named == std::begin(kNamed) || c > std::prev(named)->last)
        return quoted + " (" + CodePoint(c) + ")";
    const Named& n = *std::prev(named);
    if (!n.visible)
        return CodePoint(c) + " " + n.name;
    return quoted + " (" + CodePoint(c) + " " + n.name + ")";
}

} // namespace qav
