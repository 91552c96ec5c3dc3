#include "framework/ErrorText.h"
#include "framework/CaughtException.h"
#include "framework/Exception.h"
#include "framework/HardwareFault.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

struct BoxCase {
    const wchar_t* message;
    const wchar_t* shown;
};

class ErrorBoxTextTest : public testing::TestWithParam<BoxCase> {};

TEST_P(ErrorBoxTextTest, AppendsAFullStopOnlyAfterCharactersAboveIt)
{
    EXPECT_EQ(ErrorBoxText(Exception(GetParam().message)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Endings, ErrorBoxTextTest,
                         testing::Values(BoxCase{L"Disk full", L"Disk full."}, BoxCase{L"Error 42", L"Error 42."},
                                         BoxCase{L"Why?", L"Why?."}, BoxCase{L"Done.", L"Done."},
                                         BoxCase{L"Stop!", L"Stop!"}, BoxCase{L"(bad)", L"(bad)"},
                                         BoxCase{L"trailing ", L"trailing "}, BoxCase{L"a-b-", L"a-b-"},
                                         BoxCase{L"path/", L"path/."}, BoxCase{L"Ошибка", L"Ошибка."},
                                         BoxCase{L"", L""}));

TEST(ErrorBoxText, ShowsTheInnermostNonEmptyMessage)
{
    const Exception innermost(L"innermost");
    const Exception middle(L"middle", innermost);
    EXPECT_EQ(ErrorBoxText(Exception(L"outer", middle)), L"innermost.");

    const Exception emptyInner(L"");
    EXPECT_EQ(ErrorBoxText(Exception(L"outer", emptyInner)), L"outer.");
}

TEST(DefaultTitle, IsTheFileNameCutAtTheFirstDotWithTheRestLowerCase)
{
    EXPECT_EQ(DefaultTitle(L"C:\\Program Files\\QAV\\QAVDemo.exe"), L"Qavdemo");
    EXPECT_EQ(DefaultTitle(L"Z:/tmp/my.tool.EXE"), L"my");
    EXPECT_EQ(DefaultTitle(L"C:\\a.b\\ABC"), L"Abc");
    EXPECT_EQ(DefaultTitle(L"xYZ.exe"), L"xyz");
    // Every letter, not only A to Z, by the system's own case mapping.
    EXPECT_EQ(DefaultTitle(L"C:\\ДЕМО.exe"), L"Демо");
    EXPECT_EQ(DefaultTitle(L"ÄÖÜ ΣΩ.exe"), L"Äöü σω");
}

TEST(Exception, ToStringJoinsEveryInnerMessageWithCrLf)
{
    const Exception inner(L"inner");
    const Exception middle(L"middle", inner);
    const Exception outer(L"outer", middle);
    EXPECT_EQ(outer.ToString(), L"outer\r\nmiddle\r\ninner");
    EXPECT_EQ(Exception(L"alone").ToString(), L"alone");
    EXPECT_EQ(outer.Innermost().Message(), L"inner");
}

template <class Thrown>
CaughtException Sorted(Thrown thrown)
{
    try {
        throw thrown;
    } catch (...) {
        return SortCaughtException();
    }
}

TEST(SortCaughtException, TakesTheStandardLibrarysExceptionsIntoTheFamily)
{
    struct Case {
        CaughtException caught;
        const wchar_t* message;
    };
    const Case cases[] = {
        {Sorted(std::bad_alloc()), L"Out of memory"},
        {Sorted(Exception(L"Cannot open file", Exception(L"inner"))), L"Cannot open file"},
        {Sorted(std::length_error("basic_string::_M_create")), L"Text or list too long"},
        {Sorted(std::runtime_error("plain")), L"plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.caught.kind, CaughtKind::Family) << c.message;
        EXPECT_EQ(c.caught.exception.Message(), c.message);
    }
    EXPECT_EQ(Sorted(Exception(L"outer", Exception(L"inner"))).exception.ToString(), L"outer\r\ninner");
}

TEST(SortCaughtException, WordsFaultsAndForeignTypesButKeepsThemApart)
{
    const auto fault = Sorted(HardwareFault(0xC0000094u, 0x1000, L"QAV.dll"));
    EXPECT_EQ(fault.kind, CaughtKind::Foreign);
    EXPECT_EQ(fault.exception.Message().rfind(L"Integer division by zero at address 0x", 0), 0u);

    const auto foreign = Sorted(42);
    EXPECT_EQ(foreign.kind, CaughtKind::Unknown);
    EXPECT_FALSE(foreign.exception.Message().empty());
}

// A handler that reports the family as text, as the Run command and StrToList do.
template <class Thrown>
UnicodeString Reported(Thrown thrown)
{
    try {
        throw thrown;
    } catch (...) {
        return CaughtFamilyOrRethrow().ToString();
    }
}

TEST(CaughtFamilyOrRethrow, GivesTheFamilysWordsAndPassesEverythingElseOnUnchanged)
{
    EXPECT_EQ(Reported(Exception(L"outer", Exception(L"inner"))), L"outer\r\ninner");
    EXPECT_EQ(Reported(std::bad_alloc()), L"Out of memory");
    EXPECT_EQ(Reported(std::runtime_error("plain")), L"plain");

    try {
        Reported(HardwareFault(0xC0000005u, 0x1000, L"QAV.dll"));
        ADD_FAILURE() << "a hardware fault was reported as text";
    } catch (const HardwareFault& fault) {
        EXPECT_EQ(fault.Code(), 0xC0000005u);
        EXPECT_EQ(fault.Module(), L"QAV.dll");
    }
    try {
        Reported(42);
        ADD_FAILURE() << "a foreign exception was reported as text";
    } catch (int thrown) {
        EXPECT_EQ(thrown, 42);
    }
}

// Addresses are as wide as a pointer; codes always have eight digits.
#if defined(_WIN64)
#define QAV_ADDRESS(low) L"0x00000000" low
#else
#define QAV_ADDRESS(low) L"0x" low
#endif

TEST(HardwareFault, NamesTheFaultItsAddressAndItsModule)
{
    EXPECT_EQ(HardwareFault(0xC0000005u, 0x6A1C1234u, L"QAV.dll", 0, false).Message(),
              L"Access violation at address " QAV_ADDRESS(L"6A1C1234") L" in module 'QAV.dll'. Read of address "
              QAV_ADDRESS(L"00000000") L".");
    EXPECT_EQ(HardwareFault(0xC0000094u, 0x401000u, L"QAV.dll").Message(),
              L"Integer division by zero at address " QAV_ADDRESS(L"00401000") L" in module 'QAV.dll'.");
    EXPECT_EQ(HardwareFault(0xC00000FDu, 0x10u, L"").Message(),
              L"Stack overflow at address " QAV_ADDRESS(L"00000010") L".");
    EXPECT_EQ(HardwareFault(0xE0001234u, 0x10u, L"x.dll").Message(),
              L"System exception 0xE0001234 at address " QAV_ADDRESS(L"00000010") L" in module 'x.dll'.");
}

} // namespace
