#include "interpreter/core/Utf.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace qav {

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t DecodeUtf8(std::string_view in, std::size_t i, char32_t& c)
{
    const auto b0 = static_cast<unsigned char>(in[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (in.size() - i < len)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(in[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return len;
}

std::size_t CountChars(std::string_view in)
{
    std::size_t n = 0;
    for (const char c : in)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

std::size_t ByteOffset(std::string_view in, std::size_t chars)
{
    return Forward(in, 0, chars);
}

namespace {

bool Starts(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Characters that start in 8 bytes: those that are not 10xxxxxx continuation bytes.
int StartsIn(const char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    const std::uint64_t continuation = w & ~(w << 1) & 0x8080808080808080ull;
    return 8 - std::popcount(continuation);
}

} // namespace

std::size_t Forward(std::string_view in, std::size_t from, std::size_t chars)
{
    std::size_t i = from;
    // Eight bytes at a time while the target lies beyond them.
    while (i + 8 <= in.size()) {
        const auto starts = static_cast<std::size_t>(StartsIn(in.data() + i));
        if (starts > chars)
            break;
        chars -= starts;
        i += 8;
    }
    for (; i < in.size(); ++i) {
        if (Starts(in[i])) {
            if (chars == 0)
                return i;
            --chars;
        }
    }
    return in.size();
}

std::size_t Backward(std::string_view in, std::size_t from, std::size_t chars)
{
    std::size_t i = from;
    while (i >= 8 && chars > 8) {
        const auto starts = static_cast<std::size_t>(StartsIn(in.data() + i - 8));
        if (starts >= chars)
            break;
        chars -= starts;
        i -= 8;
    }
    while (chars > 0 && i > 0) {
        --i;
        if (Starts(in[i]))
            --chars;
    }
    return i;
}

bool Utf16ToUtf8(std::u16string_view in, std::string& out, std::size_t& badIndex)
{
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF) {
                badIndex = i;
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            badIndex = i;
            return false;
        }
        AppendUtf8(out, c);
    }
    return true;
}

std::size_t ValidUtf8Prefix(std::string_view in)
{
    std::size_t i = 0;
    char32_t c;
    while (i < in.size()) {
        const std::size_t len = DecodeUtf8(in, i, c);
        if (len == 0)
            break;
        i += len;
    }
    return i;
}

std::u16string Utf8ToUtf16(std::string_view in)
{
    std::u16string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        char32_t c;
        std::size_t len = DecodeUtf8(in, i, c);
        if (len == 0) {
            c = 0xFFFD;
            len = 1;
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string JoinLines(const std::vector<std::string>& lines)
{
    std::u16string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += u"\r\n";
        out += Utf8ToUtf16(lines[i]);
    }
    return out;
}

} // namespace qav
