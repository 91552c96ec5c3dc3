#include "app/ProgramRescue.h"
#include "framework/Exception.h"
#include "framework/Win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

struct NameCase {
    int year, month, day, hour, minute, second, number;
    const wchar_t* name;
};

class ProgramCopyNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(ProgramCopyNameTest, IsDateTimeAndNumber)
{
    const NameCase& c = GetParam();
    EXPECT_EQ(ProgramCopyName(c.year, c.month, c.day, c.hour, c.minute, c.second, c.number), c.name);
}

INSTANTIATE_TEST_SUITE_P(Times, ProgramCopyNameTest,
                         testing::Values(NameCase{2026, 12, 9, 19, 30, 12, 1, L"QAVDemo-program-20261209-193012.txt"},
                                         NameCase{2027, 1, 2, 3, 4, 5, 1, L"QAVDemo-program-20270102-030405.txt"},
                                         NameCase{2027, 1, 2, 3, 4, 5, 2, L"QAVDemo-program-20270102-030405-2.txt"},
                                         NameCase{2027, 1, 2, 0, 0, 0, 12, L"QAVDemo-program-20270102-000000-12.txt"}));

// The current directory is the test's own folder.
TEST(SaveProgramCopy, WritesEveryCharacterAsUtf8WithoutAMark)
{
    const std::wstring program = L"a\r\n\U0001F600\r\n\r\n\u00E9\tb";
    const std::wstring path = SaveProgramCopy(program);
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::current_path());
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "a\r\n\xF0\x9F\x98\x80\r\n\r\n\xC3\xA9\tb");
}

TEST(SaveProgramCopy, KeepsACopySavedBeforeUnderTheSameName)
{
    const std::wstring first = SaveProgramCopy(L"first");
    const std::wstring second = SaveProgramCopy(L"second");
    EXPECT_NE(first, second);
    std::ifstream in(std::filesystem::path(first), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "first");
}

TEST(SaveProgramCopy, WhereItCannotWriteSaysWhere)
{
    const std::filesystem::path own = std::filesystem::current_path();
    // A folder of a file system that nobody, not even root, can write in.
    std::filesystem::current_path(L"Z:\\proc");
    try {
        SaveProgramCopy(L"x");
        ADD_FAILURE() << "saved where nothing can be written";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind(L"Could not save the program: Cannot create file \"Z:\\proc\\QAVDemo-program-", 0), 0u);
        EXPECT_EQ(e.Message().back(), L'.');
    }
    std::filesystem::current_path(own);
}

} // namespace
