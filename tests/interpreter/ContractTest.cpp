// QAV.dll through the contract only: its exports, its table, text ownership, a fresh
// state per run, and its limits on a thread with the workbench's 1 MB stack.
#include "tests/interpreter/Library.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

const QAV_CHAR kEmpty[] = {0};

// An interface acquired from the library for one test, given back at the end.
class Session {
public:
    Session()
    {
        if (TheLibrary().get(&iface_) == 0 || iface_ == nullptr)
            throw std::runtime_error("GetQAVInterface failed");
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session()
    {
        if (iface_ != nullptr)
            TheLibrary().free(&iface_);
    }

    QAV_INTERFACE* iface() const { return iface_; }

    const QAV_CHAR* Execute(const std::u16string& program) const
    {
        return At<QAV_EXECUTE_FN>(iface_, QAV_POS_EXECUTE)(iface_, reinterpret_cast<const QAV_CHAR*>(program.c_str()),
                                                          kEmpty, 1);
    }
    const QAV_CHAR* Get(int position) const { return At<QAV_TEXT_FN>(iface_, position)(iface_); }

private:
    QAV_INTERFACE* iface_ = nullptr;
};

TEST(Contract, ExportsItsEntryPointsByTheirPlainNames)
{
    Library& lib = TheLibrary();
    EXPECT_NE(lib.get, nullptr);
    EXPECT_NE(lib.free, nullptr);
    EXPECT_NE(lib.stop, nullptr);
    EXPECT_EQ(GetProcAddress(lib.module(), "StopQAVInterface@4"), nullptr);
    EXPECT_EQ(GetProcAddress(lib.module(), "GetQAVInterface@4"), nullptr);
    EXPECT_EQ(GetProcAddress(lib.module(), "_GetQAVInterface@4"), nullptr);
}

TEST(Contract, InterfaceFillsEveryPositionTheWorkbenchCalls)
{
    Session s;
    for (int position : {QAV_POS_GET_VERSION, QAV_POS_GET_VAR_STACK, QAV_POS_GET_OBJECT_STACK, QAV_POS_GET_LOG,
                         QAV_POS_EXECUTE, QAV_POS_GET_FUNCTION_STACK, QAV_POS_GET_PARAM_STACK}) {
        SCOPED_TRACE(position);
        EXPECT_NE(reinterpret_cast<void* const*>(s.iface()->Table)[position], nullptr);
    }
    EXPECT_EQ(ToUtf8(Text(s.Get(QAV_POS_GET_VERSION))), "QAV Script 1.0");
}

TEST(Contract, TextsBeforeTheFirstRunAreEmpty)
{
    Session s;
    for (int position : {QAV_POS_GET_LOG, QAV_POS_GET_VAR_STACK, QAV_POS_GET_PARAM_STACK, QAV_POS_GET_OBJECT_STACK,
                         QAV_POS_GET_FUNCTION_STACK}) {
        const QAV_CHAR* text = s.Get(position);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text[0], 0);
    }
}

TEST(Contract, GetInterfaceWithoutASlotFailsAndFreeClearsTheSlot)
{
    Library& lib = TheLibrary();
    EXPECT_EQ(lib.get(nullptr), 0);
    QAV_INTERFACE* iface = nullptr;
    ASSERT_NE(lib.get(&iface), 0);
    ASSERT_NE(iface, nullptr);
    QAV_INTERFACE* stale = iface;
    EXPECT_NE(lib.free(&iface), 0);
    EXPECT_EQ(iface, nullptr);
    EXPECT_EQ(lib.free(&iface), 0);
    EXPECT_EQ(lib.free(&stale), 0);
    EXPECT_EQ(lib.free(nullptr), 0);
}

TEST(Contract, ReturnedTextsStayValidAcrossTheWorkbenchsCallsAfterARun)
{
    Session s;
    const QAV_CHAR* result = s.Execute(u"var a = {x: 1};\nprint \"one\";\nprint \"two\";\na.x + 41;");
    const QAV_CHAR* log = s.Get(QAV_POS_GET_LOG);
    const QAV_CHAR* vars = s.Get(QAV_POS_GET_VAR_STACK);
    s.Get(QAV_POS_GET_PARAM_STACK);
    s.Get(QAV_POS_GET_OBJECT_STACK);
    s.Get(QAV_POS_GET_FUNCTION_STACK);
    EXPECT_EQ(Text(result), u"42");
    EXPECT_EQ(Text(log), u"one\r\ntwo");
    EXPECT_EQ(Text(vars), u"a = #1");
}

TEST(Contract, EveryRunStartsFromAFreshState)
{
    Session s;
    EXPECT_EQ(Text(s.Execute(u"var a = 1;\nfunction f() { return 2; }\nf();")), u"2");
    EXPECT_EQ(Text(s.Execute(u"a;")), u"Run failed at line 1, column 1: undefined variable 'a'");
    EXPECT_EQ(Text(s.Get(QAV_POS_GET_VAR_STACK)), u"");
    EXPECT_EQ(Text(s.Get(QAV_POS_GET_FUNCTION_STACK)), u"");
    EXPECT_EQ(Text(s.Execute(u"var b = 2;")), u"nil");
    EXPECT_EQ(Text(s.Get(QAV_POS_GET_LOG)), u"");
}

// A host's options change the limits (the workbench passes none: Language tests run so).
TEST(Contract, OptionsSetTheLimits)
{
    Session s;
    const auto execute = At<QAV_EXECUTE_FN>(s.iface(), QAV_POS_EXECUTE);
    const std::u16string runaway = u"var o = {}; var i = 0; while (true) { o[\"k\" + i] = i; i = i + 1; }";
    const auto program = reinterpret_cast<const QAV_CHAR*>(runaway.c_str());
    const std::u16string options = u"steps=30000000 memory=512M";
    const std::u16string stepped =
        Text(execute(s.iface(), program, reinterpret_cast<const QAV_CHAR*>(options.c_str()), 1));
    EXPECT_NE(stepped.find(u": step limit reached: the program ran more than 30000000 steps"), std::u16string::npos)
        << ToUtf8(stepped);
    const std::u16string wrong = u"steps=many";
    EXPECT_EQ(Text(execute(s.iface(), program, reinterpret_cast<const QAV_CHAR*>(wrong.c_str()), 1)),
              u"Run failed: option 'steps=many' has a value that is out of range or not a number");
    EXPECT_EQ(Text(s.Get(QAV_POS_GET_LOG)), u"Error: option 'steps=many' has a value that is out of range or not a number");
}

TEST(Contract, TwoInterfacesKeepTheirOwnTexts)
{
    Session a;
    Session b;
    a.Execute(u"print \"from a\"; 1;");
    b.Execute(u"print \"from b\"; 2;");
    EXPECT_EQ(Text(a.Get(QAV_POS_GET_LOG)), u"from a");
    EXPECT_EQ(Text(b.Get(QAV_POS_GET_LOG)), u"from b");
}

TEST(Contract, UnpairedSurrogateAndNullProgramAreHandled)
{
    Session s;
    const std::u16string bad = u"print 1;\r\nprint \"\xDBFF\";";
    EXPECT_EQ(Text(s.Execute(bad)), u"Run failed at line 2, column 8: the text holds an unpaired UTF-16 surrogate");
    EXPECT_EQ(Text(s.Get(QAV_POS_GET_LOG)), u"Error at line 2, column 8: the text holds an unpaired UTF-16 surrogate");
    const auto execute = At<QAV_EXECUTE_FN>(s.iface(), QAV_POS_EXECUTE);
    EXPECT_EQ(Text(execute(s.iface(), nullptr, kEmpty, 1)), u"nil");
}

TEST(Contract, HugeAndBinaryInputGiveErrors)
{
    Session s;
    const std::u16string huge(5'000'000, u'x');
    EXPECT_EQ(Text(s.Execute(huge)), u"Run failed: program too long: 5000000 characters, at most 4194304 bytes are accepted");
    std::u16string binary;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        const auto unit = static_cast<char16_t>(seed >> 16);
        binary += unit == 0 ? u'\x1' : unit;
    }
    const std::u16string result = Text(s.Execute(binary));
    EXPECT_EQ(result.rfind(u"Run failed at line ", 0), 0u);
    EXPECT_EQ(Text(s.Execute(u"1 + 1;")), u"2");
}

struct CloseHandleDeleter {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleDeleter>;

struct ThreadWork {
    std::vector<std::u16string> programs;
    std::vector<std::u16string> results;
    bool failed = false;
};

DWORD WINAPI RunOnSmallStack(void* param)
{
    auto* work = static_cast<ThreadWork*>(param);
    try {
        Session s;
        for (const std::u16string& p : work->programs)
            work->results.push_back(Text(s.Execute(p)));
    } catch (...) {
        work->failed = true;
    }
    return 0;
}

// The workbench calls from a thread with a 1 MB stack; a run takes a stack of its own,
// so deep recursion stops at the depth limit, and nothing deeper can crash it.
TEST(Contract, LimitsHoldOnAThreadWithTheWorkbenchsOneMegabyteStack)
{
    std::u16string nested = u"f(n + 1)";
    for (int i = 0; i < 140; ++i)
        nested = u"1 + (" + nested + u")";
    ThreadWork work;
    work.programs = {
        u"function f(n) { return f(n + 1); } f(0);",
        u"function f(n) { if (n >= 0) { while (true) { return 1 + (2 * (3 + (4 - f(n + 1)))); } } } f(0);",
        u"function f(n) { return " + nested + u"; } f(0);",
        u"print " + std::u16string(100000, u'(') + u"1;",
        u"function f(n) { if (n == 0) return 0; return 1 + f(n - 1); } f(9999);",
        u"function f(n) { return f(n + 1); } f(0);",
    };
    const UniqueHandle thread(
        CreateThread(nullptr, 1 << 20, &RunOnSmallStack, &work, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 120000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(thread.get(), &code);
    EXPECT_EQ(code, 0u);
    ASSERT_FALSE(work.failed);
    ASSERT_EQ(work.results.size(), work.programs.size());
    const std::u16string depth = u"call depth limit reached: more than 10000 nested calls";
    EXPECT_NE(work.results[0].find(depth), std::u16string::npos) << ToUtf8(work.results[0]);
    EXPECT_NE(work.results[1].find(depth), std::u16string::npos) << ToUtf8(work.results[1]);
    // 140 parentheses in each of 10,000 calls: one limit or the other, never a crash.
    EXPECT_TRUE(work.results[2].find(depth) != std::u16string::npos ||
                work.results[2].find(u"program nested too deeply for the machine stack") != std::u16string::npos)
        << ToUtf8(work.results[2]);
    EXPECT_NE(work.results[3].find(u"program nested too deeply (more than 150 levels)"), std::u16string::npos);
    EXPECT_EQ(work.results[4], u"9999");
    EXPECT_EQ(work.results[5], work.results[0]);
}

struct StopWork {
    QAV_INTERFACE* iface;
    DWORD delay;
    LARGE_INTEGER asked;
    int32_t answer;
};

// The workbench's Stop: from a thread of its own, while Execute runs on another.
DWORD WINAPI StopLater(void* param)
{
    auto* work = static_cast<StopWork*>(param);
    Sleep(work->delay);
    QueryPerformanceCounter(&work->asked);
    work->answer = TheLibrary().stop(&work->iface);
    return 0;
}

double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Stop ends a run within 0.2 s, saying so in the result and the log, and the session
// stays sound: the next run gives its right result. How long each took is printed.
TEST(Contract, StopFromAnotherThreadEndsTheRunningExecuteSoon)
{
    const std::u16string runaways[] = {
        u"var i = 0;\nwhile (true) {\n    i = i + 1;\n}",
        u"var o = {}; var i = 0;\nwhile (true) { o[\"k\" + i] = i; i = i + 1; if (i % 200000 == 0) o = {}; }",
        // Starts over before the 32-bit library's memory limit, which it would reach within the second.
        u"var a = [];\nwhile (true) { push(a, {n: len(a), s: \"item \" + len(a)}); if (len(a) == 300000) a = []; }",
        u"function f(n) { if (n == 0) return 1; return f(n - 1) + f(n - 1); }\nvar c = 0;\nwhile (true) { c = c + f(20); }",
    };
    Session s;
    for (const std::u16string& program : runaways) {
        SCOPED_TRACE(ToUtf8(program));
        StopWork work{s.iface(), 1000, {}, 0};
        const UniqueHandle thread(CreateThread(nullptr, 0, &StopLater, &work, 0, nullptr));
        ASSERT_NE(thread, nullptr);
        const std::u16string result = Text(s.Execute(program));
        const double took = SecondsSince(work.asked);
        ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
        EXPECT_NE(work.answer, 0);
        EXPECT_EQ(result.rfind(u"Run failed at line ", 0), 0u) << ToUtf8(result);
        EXPECT_NE(result.find(u": stopped on request"), std::u16string::npos) << ToUtf8(result);
        const std::u16string log = Text(s.Get(QAV_POS_GET_LOG));
        EXPECT_EQ(log.substr(log.rfind(u"Error")), u"Error" + result.substr(10));
        EXPECT_LT(took, 0.2);
        std::printf("stopped %.1f ms after the request: %s\n", took * 1000, ToUtf8(result).c_str());
        EXPECT_EQ(Text(s.Execute(u"var a = [1, 2, 3];\nlen(a) * 2;")), u"6");
        EXPECT_EQ(Text(s.Get(QAV_POS_GET_VAR_STACK)), u"a = #1");
    }
}

// With nothing running, Stop does no harm: the next run is not stopped.
TEST(Contract, StopWhileNothingRunsDoesNoHarm)
{
    Session s;
    QAV_INTERFACE* iface = s.iface();
    EXPECT_NE(TheLibrary().stop(&iface), 0);
    EXPECT_NE(TheLibrary().stop(&iface), 0);
    EXPECT_EQ(Text(s.Execute(u"var n = 0;\nfor (var i = 0; i < 2000000; i = i + 1) n = n + i;\nn;")), u"1999999000000");
    EXPECT_EQ(TheLibrary().stop(nullptr), 0);
    QAV_INTERFACE* none = nullptr;
    EXPECT_EQ(TheLibrary().stop(&none), 0);
    QAV_INTERFACE* gone = nullptr;
    ASSERT_NE(TheLibrary().get(&gone), 0);
    QAV_INTERFACE* stale = gone;
    TheLibrary().free(&gone);
    EXPECT_EQ(TheLibrary().stop(&stale), 0);
}

} // namespace
