#include "framework/AsciiText.h"
#include "framework/HexText.h"
#include "framework/Surrogates.h"

#include <gtest/gtest.h>

namespace {

TEST(HexText, PadsToTheDigitsAskedForAndNoFurther)
{
    struct Case {
        uint64_t value;
        int digits;
        const wchar_t* digitsText;
    };
    const Case cases[] = {
        {0, 1, L"0"},
        {0xD800, 4, L"D800"},
        {0x1A, 8, L"0000001A"},
        {0x123456789ull, 4, L"123456789"},
        {0xFFFFFFFFFFFFFFFFull, 16, L"FFFFFFFFFFFFFFFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexDigits(c.value, c.digits), c.digitsText);
        EXPECT_EQ(HexText(c.value, c.digits), UnicodeString(L"0x") + c.digitsText);
    }
    EXPECT_EQ(AddressText(0x10).size(), 2 + 2 * sizeof(void*));
}

TEST(AsciiText, KeepsAsciiAndMarksEverythingElse)
{
    EXPECT_EQ(WidenAscii("GetQAVInterface@4"), L"GetQAVInterface@4");
    EXPECT_EQ(WidenAscii("caf\xC3\xA9"), L"caf??");
    EXPECT_EQ(WidenAscii(std::string_view("a\0b", 3)), UnicodeString(L"a\0b", 3));
    EXPECT_EQ(NarrowAscii(L"StopQAVInterface"), "StopQAVInterface");
    EXPECT_EQ(NarrowAscii(L"Ошибка \x00E9!"), "?????? ?!");
}

TEST(FirstUnpairedSurrogate, FindsOnlySurrogatesOutsideAPair)
{
    const size_t none = std::wstring_view::npos;
    struct Case {
        std::wstring text;
        size_t from;
        size_t found;
    };
    const Case cases[] = {
        {L"", 0, none},
        {L"plain text", 0, none},
        {L"a\xD83D\xDE00z", 0, none},            // a pair
        {L"a\xD800", 0, 1},                      // high at the end
        {L"a\xD800z", 0, 1},                     // high without its low
        {L"\xDC00\xD800", 0, 0},                 // low before high: both alone
        {L"\xD800\xD800\xDC00", 0, 0},           // the second high has the low
        {L"\xD83D\xDE00\xDE00", 0, 2},           // a low after a whole pair
        {L"\xDC00x\xD800", 1, 2},                // from skips the first
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstUnpairedSurrogate(c.text, c.from), c.found) << testing::PrintToString(c.text);
}

} // namespace
