#include "util/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Utf8Case {
    UnicodeString text;
    std::string bytes;
};

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, EncodesWithoutAByteOrderMark)
{
    EXPECT_EQ(ToUtf8(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Utf8Texts, Utf8, testing::Values(
    Utf8Case{L"", ""},
    Utf8Case{L"plain\r\n", "plain\x0D\x0A"},
    Utf8Case{L"\u00e9", "\xC3\xA9"},
    Utf8Case{L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    Utf8Case{UnicodeString(L"a\0b", 3), std::string("a\0b", 3)},
    // Unpaired surrogates become U+FFFD.
    Utf8Case{L"\xD800x", "\xEF\xBF\xBDx"},
    Utf8Case{L"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    Utf8Case{L"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return "Case" + std::to_string(info.index); });

} // namespace
