#include "interpreter/core/Options.h"

#include "interpreter/core/ValueText.h"

#include <charconv>
#include <cstdint>
#include <algorithm>
#include <limits>

namespace qav {

namespace {

// A whole number of at least 1, with a K, M or G after it when allowed.
bool Number(std::string_view text, bool sized, std::uint64_t& out)
{
    std::uint64_t scale = 1;
    if (sized && !text.empty()) {
        switch (text.back()) {
        case 'K': scale = std::uint64_t{1} << 10; break;
        case 'M': scale = std::uint64_t{1} << 20; break;
        case 'G': scale = std::uint64_t{1} << 30; break;
        default: break;
        }
        if (scale != 1)
            text.remove_suffix(1);
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > std::numeric_limits<std::uint64_t>::max() / scale)
        return false;
    out = value * scale;
    return true;
}

std::string Apply(std::string_view word, Limits& limits)
{
    const std::size_t equals = word.find('=');
    const std::string_view name = word.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    std::uint64_t n = 0;
    if (name == "steps" && Number(value, false, n)) {
        limits.steps = n;
    } else if (name == "depth" && Number(value, false, n) && n <= static_cast<std::uint64_t>(kMaxCallDepth)) {
        limits.callDepth = static_cast<int>(n);
        limits.stackBytes = std::max(limits.stackBytes, static_cast<std::size_t>(n) * kStackPerCall);
    } else if (name == "depth" && Number(value, false, n)) {
        return "option '" + Excerpt(word) + "' is out of range: the machine stack holds at most " +
               std::to_string(kMaxCallDepth) + " nested calls";
    } else if (name == "memory" && Number(value, true, n) && n <= std::numeric_limits<std::size_t>::max()) {
        limits.heapBytes = static_cast<std::size_t>(n);
    } else if (name == "steps" || name == "depth" || name == "memory") {
        return "option '" + Excerpt(word) + "' has a value that is out of range or not a number";
    } else {
        return "unknown option '" + Excerpt(word) +
               "': the options are steps=N, depth=N and memory=N (with K, M or G)";
    }
    return {};
}

} // namespace

std::string ApplyOptions(std::string_view words, Limits& limits)
{
    while (!words.empty()) {
        const std::size_t start = words.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        words.remove_prefix(start);
        const std::size_t end = std::min(words.find(' '), words.size());
        if (std::string error = Apply(words.substr(0, end), limits); !error.empty())
            return error;
        words.remove_prefix(end);
    }
    return {};
}

} // namespace qav
