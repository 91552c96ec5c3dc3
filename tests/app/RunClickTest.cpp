#include "framework/Application.h"
#include "binding/Binding.h"
#include "framework/Exception.h"
#include "tests/app/FakeInterpreter.h"
#include "framework/HardwareFault.h"
#include "app/Main.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

namespace {

using Calls = std::vector<std::string>;

const Calls AllSix{"Execute", "GetLog", "GetVarStack", "GetParamStack", "GetObjectStack", "GetFunctionStack"};

class RunClickTest : public testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TIDEForm>(Application);
        binding = std::make_unique<FakeBinding>(fake);
        // What a user left in the window before pressing Run.
        form->Result->SetText(L"old result");
        form->Log->SetText(L"start-up line");
        form->Stacks->SetText(L"old stacks");
    }

    void Run() { form->RunClick(form->Run); }

    FakeInterpreter fake;
    std::unique_ptr<TIDEForm> form;
    std::unique_ptr<FakeBinding> binding;
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

    EXPECT_EQ(fake.calls, (Calls{"Execute", "GetLog", "GetVarStack", "GetParamStack"}));
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

TEST_F(RunClickTest, WithNoInterfaceBoundItOnlySaysSo)
{
    for (BindingState state : {BindingState::NoLibrary, BindingState::NoEntryPoints, BindingState::NoInterface}) {
        InterpreterState = state;
        form->Log->SetText(L"DLL error!");
        Run();
        EXPECT_TRUE(fake.calls.empty());
        EXPECT_EQ(form->Result->Text(), L"old result");
        EXPECT_EQ(form->Stacks->Text(), L"old stacks");
        EXPECT_EQ(form->Log->Lines().Count(), 2);
        EXPECT_EQ(form->Log->Lines()[0], L"DLL error!");
        EXPECT_NE(form->Log->Lines()[1].find(L"no interpreter is bound"), std::wstring::npos);
    }
}

} // namespace
