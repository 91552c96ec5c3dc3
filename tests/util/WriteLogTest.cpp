#include "util/Myfunc.h"

#include "framework/Exception.h"
#include "tests/util/FileBytes.h"
#include "util/FileErrors.h"
#include "util/LogEntry.h"
#include "tests/support/TestDir.h"
#include "util/Utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

const LogFormats kDotted{L"dd.MM.yyyy", L"H:mm:ss"};

struct EntryCase {
    SYSTEMTIME when;
    LogFormats formats;
    const wchar_t* message;
    const wchar_t* expected;
};

class LogEntries : public testing::TestWithParam<EntryCase> {};

TEST_P(LogEntries, AreLaidOutByteForByte)
{
    const EntryCase& c = GetParam();
    EXPECT_EQ(LogEntry(c.when, c.formats, c.message), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EntryFormats, LogEntries, testing::Values(
    EntryCase{At(2025, 12, 8, 9, 5, 7), kDotted, L"StrToList(): Out of memory",
              L"[08.12.2025 9:05:07] : StrToList(): Out of memory\r\n"},
    EntryCase{At(2025, 12, 31, 23, 59, 59), kDotted, L"late", L"[31.12.2025 23:59:59] : late\r\n"},
    EntryCase{At(2026, 1, 1, 0, 0, 0), kDotted, L"two\r\nlines", L"[01.01.2026 0:00:00] : two\r\nlines\r\n"},
    EntryCase{At(2025, 3, 4, 15, 6, 7), LogFormats{L"yyyy-MM-dd", L"HH:mm:ss"}, L"",
              L"[2025-03-04 15:06:07] : \r\n"}),
    [](const testing::TestParamInfo<EntryCase>& info) { return "Case" + std::to_string(info.index); });

TEST(WriteLog, StampsWithTheLocalClockInTheUserFormats)
{
    SYSTEMTIME before{};
    SYSTEMTIME after{};
    GetLocalTime(&before);
    WriteLog(L"exceptions.log", L"m\u00e9ssage");
    GetLocalTime(&after);
    const std::string written = ReadBytes(TestDir() / "exceptions.log");
    const LogFormats formats = UserLogFormats();
    const std::string early = ToUtf8(LogEntry(before, formats, L"m\u00e9ssage"));
    const std::string late = ToUtf8(LogEntry(after, formats, L"m\u00e9ssage"));
    EXPECT_TRUE(written == early || written == late) << written;
}

TEST(WriteLog, EntriesStandInCallOrder)
{
    WriteLog(L"exceptions.log", L"first");
    WriteLog(L"exceptions.log", L"second");
    const std::string log = ReadBytes(TestDir() / "exceptions.log");
    const size_t first = log.find("] : first\r\n[");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("] : second\r\n"), log.size() - 12) << log;
    EXPECT_EQ(log.find('['), 0u);
}

TEST(WriteLog, ADirectoryOfTheLogsNameGivesTheCreationError)
{
    std::filesystem::create_directory(TestDir() / "exceptions.log");
    try {
        WriteLog(L"exceptions.log", L"lost");
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        const UnicodeString prefix =
            L"Cannot create file \"" + (std::filesystem::current_path() / "exceptions.log").wstring() + L"\". ";
        EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
        EXPECT_GT(e.Message().size(), prefix.size());
    }
}

} // namespace
