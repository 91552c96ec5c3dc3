#include "tests/util/LiteralSplit.h"
#include "util/FileErrors.h"
#include "util/Myfunc.h"

#include "framework/Exception.h"
#include "tests/util/FileBytes.h"
#include "framework/Strings.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using Items = std::vector<UnicodeString>;

Items Split(const UnicodeString& text, const UnicodeString& delimiter)
{
    TStringList list;
    StrToList(list, text, delimiter);
    return list.Items();
}

Items Reference(const UnicodeString& text, const UnicodeString& delimiter)
{
    Items items;
    LiteralSplit(text, delimiter, [&items](const UnicodeString& item) { items.push_back(item); });
    return items;
}

struct SplitCase {
    const wchar_t* text;
    const wchar_t* delimiter;
    Items expected;
};

class StrToListCases : public testing::TestWithParam<SplitCase> {};

TEST_P(StrToListCases, GivesTheItemsOfTheRules)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(Split(c.text, c.delimiter), c.expected);
}

INSTANTIATE_TEST_SUITE_P(SplitRules, StrToListCases, testing::Values(
    // The LF of each CR LF stays at the front of the next item.
    SplitCase{L"a\r\nb\r\n", L"0", {L"a", L"\nb"}},
    SplitCase{L"a\r\nb", L"0", {L"a", L"\nb"}},
    SplitCase{L"a\r\nb\r\nc", L"0", {L"a", L"\nb", L"\nc"}},
    SplitCase{L"", L"0", {}},
    // An item "0" is left out, a rest "0" is not.
    SplitCase{L"0", L"0", {L"0"}},
    SplitCase{L"\r\n", L"0", {}},
    SplitCase{L"\r\n\r\n", L"0", {L"\n"}},
    SplitCase{L"a\r\n\r\nb", L"0", {L"a", L"\n", L"\nb"}},
    SplitCase{L"0\r\na", L"0", {L"\na"}},
    SplitCase{L"a\r\n\r", L"0", {L"a"}},
    SplitCase{L"\n\r", L"0", {}},
    SplitCase{L"a0b", L"0", {L"a0b"}},
    SplitCase{L"a,b,,c,", L",", {L"a", L"b", L"c"}},
    SplitCase{L"a,0,b", L",", {L"a", L"b"}},
    SplitCase{L",a", L",", {L"a"}},
    SplitCase{L"a b", L"", {L"a b"}},
    SplitCase{L"a,\r\n", L",", {L"a", L"\r\n"}},
    // Only the first character of a longer delimiter is consumed; the search is case-sensitive.
    SplitCase{L"x::y", L"::", {L"x", L":y"}},
    SplitCase{L"aaa", L"aa", {L"a"}},
    SplitCase{L"A,a", L"a", {L"A,"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return "Case" + std::to_string(info.index); });

TEST(StrToList, ReplacesWhatTheListHeld)
{
    TStringList list;
    list.Add(L"old");
    StrToList(list, L"new", L"0");
    EXPECT_EQ(list.Items(), Items{L"new"});
    StrToList(list, L"", L"0");
    EXPECT_EQ(list.Count(), 0);
}

TEST(StrToList, MatchesTheLiteralStepsOnRandomTexts)
{
    const UnicodeString pieces[] = {L"\r", L"\n", L"0", L"a", L","};
    const UnicodeString delimiters[] = {L"0", L",", L"\r\n", L"", L"\r\n0", L"a,a"};
    std::mt19937 random(20251208);
    std::uniform_int_distribution<int> pick(0, 4);
    std::uniform_int_distribution<int> length(0, 30);
    for (const UnicodeString& delimiter : delimiters) {
        for (int round = 0; round < 4000; ++round) {
            UnicodeString text;
            for (int n = length(random); n > 0; --n)
                text += pieces[pick(random)];
            ASSERT_EQ(Split(text, delimiter), Reference(text, delimiter))
                << "round " << round << ", delimiter of " << delimiter.size() << " characters";
        }
    }
}

// A list that accepts two items and then fails the way the test asks.
class FailingList : public TStringList {
public:
    enum class Failure { Family, Nested, OutOfMemory, Foreign };
    explicit FailingList(Failure failure) : failure_(failure) {}

    void Add(const UnicodeString& line) override
    {
        if (Count() == 2) {
            switch (failure_) {
            case Failure::Family: throw Exception(L"list full");
            case Failure::Nested: throw Exception(L"outer", Exception(L"inner"));
            case Failure::OutOfMemory: throw std::bad_alloc();
            case Failure::Foreign: throw 42;
            }
        }
        TStringList::Add(line);
    }

private:
    Failure failure_;
};

std::string LogText()
{
    return ReadBytes(TestDir() / "exceptions.log");
}

const std::regex kStamp(R"(\[[^\] ]+ [^\]]+\] : )");

struct LoggedCase {
    FailingList::Failure failure;
    const char* message;
};

class StrToListFailure : public testing::TestWithParam<LoggedCase> {};

TEST_P(StrToListFailure, KeepsTheItemsAddedAndLogsOneEntry)
{
    FailingList list(GetParam().failure);
    StrToList(list, L"a\r\nb\r\nc\r\nd", L"0");
    EXPECT_EQ(list.Items(), (Items{L"a", L"\nb"}));
    const std::string log = LogText();
    std::smatch stamp;
    ASSERT_TRUE(std::regex_search(log, stamp, kStamp, std::regex_constants::match_continuous)) << log;
    EXPECT_EQ(stamp.suffix().str(), std::string("StrToList(): ") + GetParam().message + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(SplitFailures, StrToListFailure, testing::Values(
    LoggedCase{FailingList::Failure::Family, "list full"},
    LoggedCase{FailingList::Failure::Nested, "outer\r\ninner"},
    LoggedCase{FailingList::Failure::OutOfMemory, "Out of memory"}),
    [](const testing::TestParamInfo<LoggedCase>& info) { return "Case" + std::to_string(info.index); });

TEST(StrToList, LogsAFailingClear)
{
    struct : TStringList {
        void Clear() override { throw Exception(L"cannot clear"); }
    } list;
    list.TStringList::Add(L"kept");
    StrToList(list, L"x", L"0");
    EXPECT_EQ(list.Items(), Items{L"kept"});
    EXPECT_NE(LogText().find("] : StrToList(): cannot clear\r\n"), std::string::npos);
}

TEST(StrToList, LetsForeignExceptionsPass)
{
    FailingList list(FailingList::Failure::Foreign);
    EXPECT_THROW(StrToList(list, L"a,b,c", L","), int);
    EXPECT_FALSE(std::filesystem::exists(TestDir() / "exceptions.log"));
}

TEST(StrToList, AnUnwritableLogLeavesTheCall)
{
    std::filesystem::create_directory(TestDir() / "exceptions.log");
    FailingList list(FailingList::Failure::Family);
    EXPECT_THROW(StrToList(list, L"a,b,c", L","), EFCreateError);
    EXPECT_EQ(list.Items(), (Items{L"a", L"b"}));
}

} // namespace
