#include "interpreter/core/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace qav {

namespace {

constexpr std::size_t kMaxShownParts = 100;
constexpr std::size_t kMaxShownString = 200;
// Program text and names in messages: enough to recognise them.
constexpr std::size_t kMaxExcerpt = 100;

// Each kind of value, in the order of Type: what type() gives, and how messages name it.
constexpr struct {
    const char* word;
    const char* name;
} kKinds[] = {
    {"nil", "nil"},       {"boolean", "a boolean"}, {"number", "a number"},
    {"string", "a string"}, {"object", "an object"},  {"array", "an array"},
};

std::string Quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : Cut(s, kMaxShownString)) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    out += '"';
    if (s.size() > kMaxShownString)
        out += "... (" + std::to_string(s.size()) + " bytes)";
    return out;
}

std::string ContainerName(const Container* c)
{
    std::string name(1, '#');
    name += std::to_string(c->id);
    return name;
}

// "#n", then count parts between the brackets, each added by part; past
// kMaxShownParts the rest is only counted.
template <typename Part>
std::string Listed(const Container* c, const char* brackets, std::size_t count, const char* noun, Part part)
{
    std::string out = ContainerName(c);
    out += ' ';
    out += brackets[0];
    for (std::size_t i = 0; i < count; ++i) {
        if (i == kMaxShownParts) {
            out += ", ... (" + std::to_string(count) + " " + noun + ")";
            break;
        }
        if (i > 0)
            out += ", ";
        part(out, i);
    }
    out += brackets[1];
    return out;
}

} // namespace

std::string_view Cut(std::string_view s, std::size_t max)
{
    if (s.size() <= max)
        return s;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

std::string Excerpt(std::string_view text)
{
    if (text.size() <= kMaxExcerpt)
        return std::string(text);
    return std::string(Cut(text, kMaxExcerpt)) + "... (" + std::to_string(text.size()) + " bytes)";
}

std::string FieldText(std::string_view name)
{
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    bool plain = !name.empty() && letter(name[0]);
    for (char c : name)
        plain = plain && (letter(c) || (c >= '0' && c <= '9'));
    return plain ? std::string(name) : Quote(name);
}

std::string FormatNumber(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d < 0 ? "-inf" : "inf";
    // The shortest text that reads back as the same number; whole numbers below 1e21
    // in digits, as JavaScript writes them, and others as to_chars picks.
    char buf[64];
    // The commonest, a whole number of 32 bits, as an integer: quicker everywhere, and
    // on 32-bit x86 by far.
    if (d > -2147483648.0 && d < 2147483648.0) {
        const auto whole = static_cast<std::int32_t>(d);
        if (static_cast<double>(whole) == d)
            return std::string(buf, std::to_chars(buf, buf + sizeof buf, whole).ptr);
    }
    const bool digits = d == std::trunc(d) && std::fabs(d) < 1e21;
    const auto [end, ec] = digits ? std::to_chars(buf, buf + sizeof buf, d == 0 ? 0.0 : d, std::chars_format::fixed)
                                  : std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

bool ReadDecimal(std::string_view text, double& out)
{
    const char* const end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, out, std::chars_format::general);
    if (stop != end)
        return false;
    if (ec == std::errc())
        return std::isfinite(out);
    if (ec != std::errc::result_out_of_range)
        return false;
    // Too large, or so small that it rounds to 0: the power of ten of the first digit
    // that is not 0 tells which, for no number lies between 10^-300 and 10^300 here.
    const std::size_t e = std::min(text.find_first_of("eE"), text.size());
    const std::string_view digits = text.substr(0, e);
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::size_t first = digits.find_first_of("123456789");
    long power = first < point ? static_cast<long>(point - first - 1) : -static_cast<long>(first - point);
    long exponent = 0;
    std::string_view written = e < text.size() ? text.substr(e + 1) : std::string_view();
    const bool negative = written.starts_with('-');
    if (negative || written.starts_with('+'))
        written.remove_prefix(1);
    for (const char c : written)
        exponent = std::min(exponent * 10 + (c - '0'), 100'000L);
    power += negative ? -exponent : exponent;
    if (power > -300)
        return false;
    out = 0;
    return true;
}

std::string Repr(const Value& v)
{
    switch (v.type()) {
    case Type::Nil: return "nil";
    case Type::Bool: return v.boolean() ? "true" : "false";
    case Type::Number: return FormatNumber(v.number());
    case Type::String: return Quote(v.str()->text);
    case Type::Object:
    case Type::Array: return ContainerName(v.container());
    }
    return "?";
}

std::string Display(const Value& v, const FieldNames& names)
{
    if (v.IsString())
        return v.str()->text;
    if (v.IsObject()) {
        const auto& fields = v.obj()->fields;
        return Listed(v.obj(), "{}", fields.size(), "fields", [&](std::string& out, std::size_t i) {
            out += FieldText(names.Text(fields[i].atom));
            out += ": ";
            out += Repr(fields[i].value);
        });
    }
    if (v.IsArray()) {
        const auto& items = v.arr()->items;
        return Listed(v.arr(), "[]", items.size(), "items",
                      [&](std::string& out, std::size_t i) { out += Repr(items[i]); });
    }
    return Repr(v);
}

const char* KindName(const Value& v)
{
    return kKinds[static_cast<std::size_t>(v.type())].name;
}

const char* TypeWord(const Value& v)
{
    return kKinds[static_cast<std::size_t>(v.type())].word;
}

} // namespace qav
