#include "interpreter/core/ValueText.h"

#include <charconv>
#include <cmath>

namespace qav {

namespace {

constexpr std::size_t kMaxShownParts = 100;
constexpr std::size_t kMaxShownString = 200;

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

std::string FormatNumber(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d < 0 ? "-inf" : "inf";
    if (d == std::trunc(d) && std::fabs(d) < 1e15)
        return std::to_string(static_cast<long long>(d));
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
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

std::string Display(const Value& v, const std::vector<std::string>& atoms)
{
    if (v.IsString())
        return v.str()->text;
    if (v.IsObject()) {
        const Obj* o = v.obj();
        std::string out = ContainerName(o);
        out += " {";
        for (std::size_t i = 0; i < o->fields.size(); ++i) {
            if (i == kMaxShownParts) {
                out += ", ... (" + std::to_string(o->fields.size()) + " fields)";
                break;
            }
            if (i > 0)
                out += ", ";
            out += atoms[static_cast<std::size_t>(o->fields[i].atom)];
            out += ": ";
            out += Repr(o->fields[i].value);
        }
        out += "}";
        return out;
    }
    if (v.IsArray()) {
        const Arr* a = v.arr();
        std::string out = ContainerName(a);
        out += " [";
        for (std::size_t i = 0; i < a->items.size(); ++i) {
            if (i == kMaxShownParts) {
                out += ", ... (" + std::to_string(a->items.size()) + " items)";
                break;
            }
            if (i > 0)
                out += ", ";
            out += Repr(a->items[i]);
        }
        out += "]";
        return out;
    }
    return Repr(v);
}

const char* KindName(const Value& v)
{
    switch (v.type()) {
    case Type::Nil: return "nil";
    case Type::Bool: return "a boolean";
    case Type::Number: return "a number";
    case Type::String: return "a string";
    case Type::Object: return "an object";
    case Type::Array: return "an array";
    }
    return "a value";
}

const char* TypeWord(const Value& v)
{
    switch (v.type()) {
    case Type::Nil: return "nil";
    case Type::Bool: return "boolean";
    case Type::Number: return "number";
    case Type::String: return "string";
    case Type::Object: return "object";
    case Type::Array: return "array";
    }
    return "value";
}

} // namespace qav
