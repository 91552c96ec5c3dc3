#include "tools/qavcheck/Arguments.h"

#include "framework/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cwchar>

const wchar_t* const UsageText =
    L"Usage: qavcheck [--program FILE] [--timeout SECONDS] [--stop-after MS] [--full-texts] PATH\\TO\\QAV.dll\r\n"
    L"Checks an interpreter library against the workbench's contract.\r\n"
    L"  --program FILE     the program given to Execute (UTF-8 or UTF-16 with a byte-order mark); give one in\r\n"
    L"                     your interpreter's language: without it, Execute gets a short program of the\r\n"
    L"                     sample interpreter's language\r\n"
    L"  --timeout SECONDS  a call still running after this long is hung (default 10)\r\n"
    L"  --stop-after MS    call StopQAVInterface once Execute has run this many milliseconds, and time how\r\n"
    L"                     long it takes to return (default: once it has run for the timeout)\r\n"
    L"  --full-texts       show each returned text whole, not cut at 60 UTF-16 units\r\n"
    L"Exit code: 0 clean, 1 something found (the library ending the process too), 2 the library could not "
    L"be checked.";

namespace {

// A number of the unit within (0, most], as a count of milliseconds; perUnit: milliseconds in one unit.
std::chrono::milliseconds ParseDuration(const std::wstring& option, const std::wstring& text, double perUnit,
                                        double most, const wchar_t* unit)
{
    wchar_t* end = nullptr;
    errno = 0;
    const double value = std::wcstod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value) || value <= 0 ||
        value > most) {
        wchar_t limit[32];
        std::swprintf(limit, 32, L"%.0f", most);
        throw Exception(option + L" needs a number of " + unit + L" above 0, up to " + limit + L": '" + text + L"'");
    }
    return std::chrono::milliseconds(std::max<long long>(1, std::llround(value * perUnit)));
}

uintptr_t ParseHandle(const std::wstring& text)
{
    wchar_t* end = nullptr;
    const unsigned long long value = std::wcstoull(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size())
        throw Exception(std::wstring(SessionOption) + L" needs a handle");
    return static_cast<uintptr_t>(value);
}

} // namespace

Arguments ParseArguments(const std::vector<std::wstring>& args)
{
    // Up to a day: longer is surely a typo, and the milliseconds stay far from overflow.
    constexpr double Day = 86'400;
    Arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            parsed.help = true;
        } else if (arg == L"--full-texts") {
            parsed.fullTexts = true;
        } else if (arg == L"--program" || arg == L"--timeout" || arg == L"--stop-after" || arg == SessionOption) {
            if (i + 1 == args.size())
                throw Exception(arg + L" needs a value");
            const std::wstring& value = args[++i];
            if (arg == L"--program")
                parsed.programFile = value;
            else if (arg == L"--timeout")
                parsed.timeout = ParseDuration(arg, value, 1000, Day, L"seconds");
            else if (arg == L"--stop-after")
                parsed.stopAfter = ParseDuration(arg, value, 1, Day * 1000, L"milliseconds");
            else
                parsed.session = ParseHandle(value);
        } else if (arg.size() > 1 && arg[0] == L'-') {
            throw Exception(L"unknown option " + arg);
        } else if (parsed.library.empty()) {
            parsed.library = arg;
        } else {
            throw Exception(L"one library at a time: '" + arg + L"' is one too many");
        }
    }
    if (parsed.library.empty() && !parsed.help)
        throw Exception(L"no library given");
    return parsed;
}
