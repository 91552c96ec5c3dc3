#include "tools/qavcheck/Arguments.h"

#include "framework/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cwchar>

const wchar_t* const UsageText =
    L"Usage: qavcheck [--program FILE] [--timeout SECONDS] [--full-texts] PATH\\TO\\QAV.dll\r\n"
    L"Checks an interpreter library against the workbench's contract.\r\n"
    L"  --program FILE     the program given to Execute (UTF-8 or UTF-16 with a byte-order mark)\r\n"
    L"  --timeout SECONDS  a call still running after this long is hung (default 10)\r\n"
    L"  --full-texts       show each returned text whole, not cut at 60 UTF-16 units\r\n"
    L"Exit code: 0 clean, 1 something found, 2 the library could not be checked.";

namespace {

std::chrono::milliseconds ParseTimeout(const std::wstring& text)
{
    wchar_t* end = nullptr;
    errno = 0;
    const double seconds = std::wcstod(text.c_str(), &end);
    // Up to a day: longer is surely a typo, and the milliseconds stay far from overflow.
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(seconds) ||
        seconds <= 0 || seconds > 86'400)
        throw Exception(L"--timeout needs a number of seconds above 0, up to 86400: '" + text + L"'");
    return std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

} // namespace

Arguments ParseArguments(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            parsed.help = true;
        } else if (arg == L"--full-texts") {
            parsed.fullTexts = true;
        } else if (arg == L"--program" || arg == L"--timeout") {
            if (i + 1 == args.size())
                throw Exception(arg + L" needs a value");
            const std::wstring& value = args[++i];
            if (arg == L"--program")
                parsed.programFile = value;
            else
                parsed.timeout = ParseTimeout(value);
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
