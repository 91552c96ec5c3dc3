#include "util/Myfunc.h"

#include "framework/Exception.h"
#include "tests/util/FileBytes.h"
#include "framework/win32/SystemErrorText.h"
#include "util/FileErrors.h"
#include "tests/support/TestDir.h"
#include "framework/Win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>

namespace {

const std::filesystem::path kName = "out.txt";

std::string Bytes()
{
    return ReadBytes(TestDir() / kName);
}

UnicodeString FullPathOf(const std::filesystem::path& name)
{
    return (std::filesystem::current_path() / name).wstring();
}

// Another handle on the file, opened without sharing, as another program would hold it.
class HeldOpen {
public:
    explicit HeldOpen(const std::filesystem::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    ~HeldOpen() { CloseHandle(handle_); }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST(StrToFile, EmptyTextLeavesAnEmptyFile)
{
    WriteBytes(TestDir() / kName, "earlier content");
    StrToFile(kName.wstring(), L"");
    EXPECT_EQ(Bytes(), "");
}

TEST(StrToFile, ReplacesALongerContentWhole)
{
    WriteBytes(TestDir() / kName, "a much longer earlier content");
    StrToFile(kName.wstring(), L"short");
    EXPECT_EQ(Bytes(), "short");
}

TEST(StrToFile, WritesUtf8WithoutAByteOrderMark)
{
    StrToFile(kName.wstring(), L"caf\u00e9\r\n");
    EXPECT_EQ(Bytes(), "caf\xC3\xA9\x0D\x0A");
}

TEST(StrToFile, ResolvesARelativeNameAgainstTheCurrentDirectory)
{
    std::filesystem::create_directory(TestDir() / "sub");
    StrToFile(L"sub\\x.txt", L"x");
    EXPECT_EQ(ReadBytes(TestDir() / "sub" / "x.txt"), "x");
}

TEST(StrToFile, AFileHeldOpenGivesTheCreationErrorAndKeepsItsBytes)
{
    WriteBytes(TestDir() / kName, "kept");
    {
        HeldOpen other(TestDir() / kName);
        ASSERT_TRUE(other.Valid());
        try {
            StrToFile(kName.wstring(), L"new");
            FAIL() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), L"Cannot create file \"" + FullPathOf(kName) + L"\". " +
                                       SystemErrorText(ERROR_SHARING_VIOLATION));
        }
    }
    EXPECT_EQ(Bytes(), "kept");
}

TEST(AppendStrToFile, CreatesAMissingFileWithExactlyTheBytes)
{
    AppendStrToFile(kName.wstring(), L"\u00e9\r\n");
    EXPECT_EQ(Bytes(), "\xC3\xA9\r\n");
}

TEST(AppendStrToFile, EmptyTextLeavesAnExistingFileUnchanged)
{
    WriteBytes(TestDir() / kName, "as it was");
    AppendStrToFile(kName.wstring(), L"");
    EXPECT_EQ(Bytes(), "as it was");
}

struct ForeignContent {
    const char* name;
    std::string before;
};

class AppendAfter : public testing::TestWithParam<ForeignContent> {};

TEST_P(AppendAfter, AddsUtf8WithoutLookingAtTheContent)
{
    WriteBytes(TestDir() / kName, GetParam().before);
    AppendStrToFile(kName.wstring(), L"\u00e9\r\n");
    EXPECT_EQ(Bytes(), GetParam().before + "\xC3\xA9\r\n");
}

INSTANTIATE_TEST_SUITE_P(AppendEncodings, AppendAfter, testing::Values(
    ForeignContent{"Utf8Bom", std::string("\xEF\xBB\xBFx", 4)},
    ForeignContent{"Utf16", std::string("\xFF\xFE" "A\0", 4)},
    ForeignContent{"Cp1251", std::string("\xCF\xF0\xE8\xE2\xE5\xF2")},
    ForeignContent{"Binary", std::string("\0\x01\x02\xFF", 4)}),
    [](const testing::TestParamInfo<ForeignContent>& info) { return info.param.name; });

TEST(AppendStrToFile, AFileHeldOpenGivesTheOpenErrorAndKeepsItsBytes)
{
    WriteBytes(TestDir() / kName, "kept");
    {
        HeldOpen other(TestDir() / kName);
        ASSERT_TRUE(other.Valid());
        try {
            AppendStrToFile(kName.wstring(), L"more");
            FAIL() << "no error";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), L"Cannot open file \"" + FullPathOf(kName) + L"\". " +
                                       SystemErrorText(ERROR_SHARING_VIOLATION));
        }
    }
    EXPECT_EQ(Bytes(), "kept");
}

TEST(AppendStrToFile, AMissingFolderGivesTheCreationError)
{
    try {
        AppendStrToFile(L"missing\\out.txt", L"x");
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), L"Cannot create file \"" + FullPathOf("missing\\out.txt") + L"\". " +
                                   SystemErrorText(ERROR_PATH_NOT_FOUND));
    }
}

// Two writers appending to one log that neither finds at first: each entry must
// survive, none may be cut away by the other's creation of the file.
TEST(AppendStrToFile, ConcurrentWritersLoseNoEntry)
{
    const UnicodeString name = L"shared.log";
    auto writer = [&name](const UnicodeString& entry) {
        for (int attempt = 0; attempt < 100000; ++attempt) {
            try {
                AppendStrToFile(name, entry);
                return;
            } catch (const EStreamError&) {
                std::this_thread::yield();
            }
        }
    };
    for (int round = 0; round < 300; ++round) {
        std::filesystem::remove(TestDir() / "shared.log");
        std::thread first(writer, L"A\n");
        std::thread second(writer, L"B\n");
        first.join();
        second.join();
        const std::string bytes = ReadBytes(TestDir() / "shared.log");
        ASSERT_TRUE(bytes == "A\nB\n" || bytes == "B\nA\n") << "round " << round << ": " << bytes;
    }
}

// Wine maps the Unix device that refuses every byte, as a full disk does.
TEST(FileOutput, AShortWriteGivesTheWriteError)
{
    const UnicodeString full = L"Z:\\dev\\full";
    if (!HeldOpen(full.c_str()).Valid())
        GTEST_SKIP() << "no full device on this system";
    for (auto write : {&StrToFile, &AppendStrToFile}) {
        try {
            write(full, L"bytes");
            ADD_FAILURE() << "no error";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), L"Stream write error");
        }
    }
}

TEST(SystemErrorText, HasNoTrailingLineEndOrFullStop)
{
    for (DWORD code : std::initializer_list<DWORD>{ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_PATH_NOT_FOUND, 0xDEAD}) {
        const UnicodeString text = SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), L'.') << code;
        EXPECT_GT(text.back(), L' ') << code;
    }
}

} // namespace
