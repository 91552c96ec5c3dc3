#include "app/Main.h"
#include "binding/Binding.h"
#include "framework/Application.h"
#include "framework/AsciiText.h"
#include "framework/Exception.h"
#include "framework/HardwareFault.h"
#include "tests/app/AllocationFailure.h"
#include "tests/app/FakeInterpreter.h"
#include "tests/support/RunOrder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The exception log's entries, without their line ends.
std::vector<std::string> ReadLog(const std::wstring& name)
{
    std::ifstream in(std::filesystem::path(name), std::ios::binary);
    std::vector<std::string> entries;
    for (std::string line; std::getline(in, line);)
        entries.push_back(line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0)));
    return entries;
}

const Calls AllSix = RunOperations();

void Close(TIDEForm& form)
{
    TCloseAction action = TCloseAction::caHide;
    form.FormClose(&form, action);
}

class RunClickTest : public testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TIDEForm>(Application);
        ASSERT_EQ(fake.calls, (Calls{"GetQAVInterface", "GetVersion"}));
        fake.calls.clear();
        // What a user left in the window before pressing Run.
        form->Result->SetText(L"old result");
        form->Log->SetText(L"start-up line");
        form->Stacks->SetText(L"old stacks");
    }

    void TearDown() override { Close(*form); }

    void Run() { form->RunClick(form->Run); }

    FakeInterpreter fake;
    FakeLibrary library{fake};
    std::unique_ptr<TIDEForm> form;
};

TEST_F(RunClickTest, SendsTheEditorTextAndShowsEverySection)
{
    form->Text->SetText(L"x = 1\r\nprint x");
    fake.result = L"42";
    fake.log = L"first\r\nsecond\r\n";
    fake.varStack = L"x = 1";
    fake.paramStack = L"";
    fake.objectStack = L"o1\r\n\r\no2";
    fake.functionStack = L"f(a)";

    Run();

    EXPECT_EQ(fake.calls, AllSix);
    EXPECT_EQ(fake.program, L"x = 1\r\nprint x");
    EXPECT_TRUE(fake.optionsEmpty);
    EXPECT_EQ(fake.mode, 1);
    EXPECT_EQ(form->Result->Text(), L"42");
    EXPECT_EQ(form->Log->Text(), L"first\r\nsecond");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nx = 1\r\nParam stack:\r\nObject stack:\r\no1\r\n\r\no2\r\n"
                                    L"Function stack:\r\nf(a)");
}

std::wstring JoinLines(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? L"\r\n" : L"") + lines[i];
    return text;
}

// A blank line of a section is a line of its pane wherever it stands, also last
// with something after it: the next section's header or a failure line. (The
// splitter drops an empty first item, so a text opens with a blank line by two
// line breaks.)
TEST_F(RunClickTest, EverySectionKeepsItsBlankLinesWhateverFollows)
{
    struct Blank {
        const char* where;
        const wchar_t* text;
        std::vector<std::wstring> lines;
    };
    const Blank blanks[] = {
        {"first", L"\r\n\r\na", {L"", L"a"}},
        {"middle", L"a\r\n\r\nb", {L"a", L"", L"b"}},
        {"last", L"a\r\n\r\n", {L"a", L""}},
        {"alone", L"\r\n\r\n", {L""}},
    };
    // The text operations' answers, in the order of the Run's calls after Execute.
    std::optional<std::wstring> FakeInterpreter::*const answers[] = {
        &FakeInterpreter::log, &FakeInterpreter::varStack, &FakeInterpreter::paramStack,
        &FakeInterpreter::objectStack, &FakeInterpreter::functionStack};
    for (size_t section = 1; section < RunCallCount; ++section)
        for (const Blank& blank : blanks)
            for (const bool failure : {false, true}) {
                const bool last = section + 1 == RunCallCount;
                if (failure && last)
                    continue; // nothing can fail after the last section
                SCOPED_TRACE(testing::Message() << NarrowAscii(RunCalls[section].operation) << ", blank line "
                                                << blank.where << (failure ? ", then a failure" : ", then more"));
                for (auto answer : answers)
                    fake.*answer = std::nullopt;
                fake.*answers[section - 1] = blank.text;
                if (!last)
                    fake.*answers[section] = L"next";
                const std::string failing = failure ? NarrowAscii(RunCalls[section + 1].operation) : "";
                fake.before = [failing](const std::string& op) {
                    if (op == failing)
                        throw Exception(L"failed");
                };
                Run();

                std::vector<std::wstring> log, stacks;
                for (size_t i = 1; i < RunCallCount; ++i) {
                    if (failure && i == section + 1) {
                        log.push_back(L"failed");
                        break;
                    }
                    auto& pane = RunCalls[i].header ? stacks : log;
                    if (RunCalls[i].header)
                        pane.push_back(RunCalls[i].header);
                    if (i == section)
                        pane.insert(pane.end(), blank.lines.begin(), blank.lines.end());
                    else if (i == section + 1)
                        pane.push_back(L"next");
                }
                EXPECT_EQ(form->Log->Text(), JoinLines(log));
                EXPECT_EQ(form->Log->Lines().Count(), static_cast<int>(log.size()));
                EXPECT_EQ(form->Stacks->Text(), JoinLines(stacks));
                EXPECT_EQ(form->Stacks->Lines().Count(), static_cast<int>(stacks.size()));
            }
}

// The window takes no input during a Run: the wait cursor says so, from its
// first call to its end, and the cursor before it comes back after it, also
// when a fault ends it.
TEST_F(RunClickTest, ShowsTheWaitCursorForTheLengthOfARun)
{
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    const HCURSOR before = LoadCursorW(nullptr, IDC_IBEAM);
    for (const bool fault : {false, true}) {
        SCOPED_TRACE(fault ? "a fault ends the Run" : "a whole Run");
        std::vector<HCURSOR> during;
        fake.before = [&](const std::string& op) {
            during.push_back(GetCursor());
            if (fault && op == "GetObjectStack") {
                volatile int* null = nullptr;
                *null = 1;
            }
        };
        SetCursor(before);
        try {
            Run();
        } catch (const HardwareFault&) {
        }
        const auto calls = RunOperationsThrough(fault ? "GetObjectStack" : "GetFunctionStack");
        EXPECT_EQ(during, std::vector<HCURSOR>(calls.size(), wait));
        EXPECT_EQ(GetCursor(), before);
    }
}

TEST_F(RunClickTest, AnEmptyEditorSendsAnEmptyTextAndNullAnswersLeaveOnlyTheHeaders)
{
    Run();

    EXPECT_EQ(fake.calls, AllSix);
    EXPECT_EQ(fake.program, L"");
    EXPECT_EQ(form->Result->Text(), L"");
    EXPECT_EQ(form->Log->Text(), L"");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nParam stack:\r\nObject stack:\r\nFunction stack:");
}

TEST_F(RunClickTest, ASecondRunReplacesTheFirst)
{
    fake.result = L"one";
    fake.log = L"log one";
    fake.varStack = L"v one";
    Run();
    fake.result = L"two";
    fake.log = L"log two";
    fake.varStack = L"v two";
    Run();

    EXPECT_EQ(form->Result->Text(), L"two");
    EXPECT_EQ(form->Log->Text(), L"log two");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nv two\r\nParam stack:\r\nObject stack:\r\nFunction stack:");
}

TEST_F(RunClickTest, AFailingExecuteChangesNothingButAddsItsTextToTheLog)
{
    fake.before = [](const std::string& op) {
        if (op == "Execute")
            throw Exception(L"Execute failed");
    };
    Run();

    EXPECT_EQ(fake.calls, Calls{"Execute"});
    EXPECT_EQ(form->Result->Text(), L"old result");
    EXPECT_EQ(form->Log->Text(), L"start-up line\r\nExecute failed");
    EXPECT_EQ(form->Stacks->Text(), L"old stacks");
}

TEST_F(RunClickTest, AFailingSectionStopsTheRunBeforeItsHeader)
{
    fake.result = L"r";
    fake.log = L"l1\r\nl2";
    fake.varStack = L"v";
    fake.before = [](const std::string& op) {
        if (op == "GetParamStack")
            throw Exception(L"no params");
    };
    Run();

    EXPECT_EQ(fake.calls, RunOperationsThrough("GetParamStack"));
    EXPECT_EQ(form->Result->Text(), L"r");
    EXPECT_EQ(form->Log->Text(), L"l1\r\nl2\r\nno params");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nv");
}

TEST_F(RunClickTest, AnInnerExceptionAddsBothMessagesInOneLine)
{
    fake.before = [](const std::string& op) {
        if (op == "Execute")
            throw Exception(L"outer", Exception(L"inner"));
    };
    Run();

    EXPECT_EQ(form->Log->Text(), L"start-up line\r\nouter\r\ninner");
}

TEST_F(RunClickTest, RunningOutOfMemoryIsReportedLikeAnyFailure)
{
    fake.before = [](const std::string& op) {
        if (op == "GetObjectStack")
            throw std::bad_alloc();
    };
    Run();

    EXPECT_EQ(form->Log->Text(), L"Out of memory");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nParam stack:");
}

TEST_F(RunClickTest, AFaultLeavesTheCommandAndALaterRunWorks)
{
    fake.log = L"logged";
    fake.varStack = L"v";
    fake.before = [](const std::string& op) {
        if (op == "GetParamStack") {
            volatile int* null = nullptr;
            *null = 1;
        }
    };
    try {
        Run();
        FAIL() << "the fault did not leave RunClick";
    } catch (const HardwareFault& fault) {
        EXPECT_EQ(fault.Code(), 0xC0000005u);
    }
    EXPECT_EQ(form->Log->Text(), L"logged");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nv");

    fake.before = nullptr;
    fake.calls.clear();
    Run();
    EXPECT_EQ(fake.calls, AllSix);
}

// A text with an item that cannot be copied when the heap refuses blocks of
// 1.1 to 1.3 MB: the item before it split, the whole text far larger.
struct HeapRefusingOneItem {
    static std::wstring Text(const std::wstring& before)
    {
        return before + L"\r\n" + std::wstring(600'000, L'x') + L"\r\nafter\r\n" + std::wstring(2'000'000, L'y');
    }
    ScopedAllocationFailure refuse{1'100'000, 1'300'000};
};

TEST_F(RunClickTest, ASplitThatRunsOutOfMemoryIsLoggedToTheFileAndTheRunGoesOn)
{
    fake.log = HeapRefusingOneItem::Text(L"first\r\nsecond");
    fake.varStack = L"v";
    {
        HeapRefusingOneItem heap;
        Run();
    }
    EXPECT_EQ(fake.calls, AllSix);
    EXPECT_EQ(form->Log->Text(), L"first\r\nsecond");
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nv\r\nParam stack:\r\nObject stack:\r\nFunction stack:");
    const auto entries = ReadLog(L"exceptions.log");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].ends_with("] : StrToList(): Out of memory")) << entries[0];
}

// When the failure cannot even be written down, the file error ends the Run in
// that section, before its header.
TEST_F(RunClickTest, ASplitFailureThatCannotBeLoggedEndsTheRunInItsSection)
{
    std::filesystem::create_directory(L"exceptions.log");
    fake.log = L"l1";
    fake.varStack = L"v";
    fake.paramStack = HeapRefusingOneItem::Text(L"p");
    {
        HeapRefusingOneItem heap;
        Run();
    }
    EXPECT_EQ(fake.calls, RunOperationsThrough("GetParamStack"));
    EXPECT_EQ(form->Stacks->Text(), L"Var stack:\r\nv");
    const UnicodeString log = form->Log->Text();
    EXPECT_EQ(log.rfind(L"l1\r\nCannot create file \"", 0), 0u) << log;
    EXPECT_NE(log.find(L"exceptions.log\". "), UnicodeString::npos) << log;
}

// Each state without an interface, reached as a user would: no library, a
// library without the entry points, an interface refused.
TEST(RunClick, WithNoInterfaceBoundItOnlySaysSo)
{
    FakeInterpreter fake;
    fake.acquires = false;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TIDEForm>()> make;
        const wchar_t* bindingLine;
    };
    const Case cases[] = {
        {"no library", [] { NoLibrary none; return std::make_unique<TIDEForm>(Application); }, L"DLL error!"},
        {"no entry points",
         [] {
             ScopedInterpreterLibrary other(L"kernel32.dll");
             return std::make_unique<TIDEForm>(Application);
         },
         L"Ошибка инициализации GetQAV"},
        {"interface refused",
         [&] {
             FakeLibrary refusing(fake);
             return std::make_unique<TIDEForm>(Application);
         },
         L"Ошибка инициализации интерфейса QAV_INTERFACE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto form = c.make();
        form->Result->SetText(L"old result");
        form->Stacks->SetText(L"old stacks");
        form->RunClick(form->Run);
        EXPECT_EQ(form->Result->Text(), L"old result");
        EXPECT_EQ(form->Stacks->Text(), L"old stacks");
        EXPECT_EQ(form->Log->Text(),
                  UnicodeString(c.bindingLine) + L"\r\nRun: no interpreter is bound, so nothing was run.");
        Close(*form);
    }
    EXPECT_EQ(fake.calls, Calls{"GetQAVInterface"});
}

} // namespace
