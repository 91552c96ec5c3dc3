// What a MinGW C++ runtime writes on std::terminate, read back as the exception
// it names: on x86 an exception that escapes a library ends so.
#include "binding/CppExceptionText.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const wchar_t* written;
    bool names;
    const wchar_t* type;
    const wchar_t* what; // null: no what() line
};

class TerminateReportTest : public testing::TestWithParam<Row> {};

TEST_P(TerminateReportTest, NamesTheExceptionWhereTheTextDoes)
{
    const Row& r = GetParam();
    const auto report = TerminateReport(r.written);
    ASSERT_EQ(report.has_value(), r.names);
    if (!r.names)
        return;
    EXPECT_EQ(report->type, r.type);
    ASSERT_EQ(report->what.has_value(), r.what != nullptr);
    if (r.what) {
        EXPECT_EQ(*report->what, r.what);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TerminateReportTest,
    testing::Values(
        Row{L"terminate called after throwing an instance of 'std::runtime_error'\n  what():  fixture: boom\n", true,
            L"std::runtime_error", L"fixture: boom"},
        // A type that is no std::exception has no what() line.
        Row{L"terminate called after throwing an instance of 'CScriptException*'\n", true, L"CScriptException*",
            nullptr},
        // What the library wrote before, and the runtime's words after, stay out.
        Row{L"step 1\r\nterminate called after throwing an instance of 'E'\r\n  what():  it\r\n\r\nabnormal "
            L"program termination\r\n",
            true, L"E", L"it"},
        // The last of two names the exception that ended the call.
        Row{L"terminate called after throwing an instance of 'A'\nterminate called after throwing an instance of 'B'\n",
            true, L"B", nullptr},
        Row{L"terminate called recursively\n", false, L"", nullptr},
        Row{L"terminate called without an active exception\n", false, L"", nullptr},
        Row{L"terminate called after throwing an instance of 'cut", false, L"", nullptr},
        Row{L"", false, L"", nullptr}));

} // namespace
