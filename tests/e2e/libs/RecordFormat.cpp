#include "tests/e2e/libs/RecordFormat.h"

namespace qavrec {

std::string Escape(std::wstring_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        if (c == L'\\') {
            out += "\\\\";
        } else if (c == L'\r') {
            out += "\\r";
        } else if (c == L'\n') {
            out += "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            const auto u = static_cast<unsigned>(c);
            out += "\\u";
            out += hex[(u >> 12) & 0xF];
            out += hex[(u >> 8) & 0xF];
            out += hex[(u >> 4) & 0xF];
            out += hex[u & 0xF];
        }
    }
    return out;
}

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::wstring Unescape(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += static_cast<wchar_t>(static_cast<unsigned char>(c));
            continue;
        }
        const char kind = text[i + 1];
        if (kind == '\\' || kind == 'r' || kind == 'n') {
            out += kind == '\\' ? L'\\' : kind == 'r' ? L'\r' : L'\n';
            ++i;
            continue;
        }
        if (kind == 'u' && i + 5 < text.size()) {
            unsigned value = 0;
            bool valid = true;
            for (size_t k = i + 2; k < i + 6; ++k) {
                const int digit = HexValue(text[k]);
                valid = valid && digit >= 0;
                value = value * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
            }
            if (valid) {
                out += static_cast<wchar_t>(value);
                i += 5;
                continue;
            }
        }
        out += L'\\';
    }
    return out;
}

std::wstring NumberedLines(std::wstring_view prefix, int count)
{
    std::wstring out;
    out.reserve(static_cast<size_t>(count) * (prefix.size() + 9));
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            out += L"\r\n";
        out += prefix;
        out += std::to_wstring(i);
    }
    return out;
}

} // namespace qavrec
