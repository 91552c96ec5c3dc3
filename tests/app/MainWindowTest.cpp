#include "framework/Application.h"
#include "framework/Dpi.h"
#include "app/Main.h"
#include "framework/Strings.h"
#include "tests/app/FakeInterpreter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Expected {
    const char* name;
    TControl* (*control)(const TIDEForm&);
    RECT at96; // left, top, right, bottom
};

const Expected Layout[] = {
    {"Text", [](const TIDEForm& f) -> TControl* { return f.Text; }, {8, 8, 519, 330}},
    {"Run", [](const TIDEForm& f) -> TControl* { return f.Run; }, {8, 336, 83, 361}},
    {"Result", [](const TIDEForm& f) -> TControl* { return f.Result; }, {89, 338, 519, 359}},
    {"Log", [](const TIDEForm& f) -> TControl* { return f.Log; }, {8, 384, 519, 524}},
    {"Stacks", [](const TIDEForm& f) -> TControl* { return f.Stacks; }, {525, 8, 860, 524}},
};

RECT ChildRect(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTW FontOf(HWND window)
{
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    EXPECT_NE(handle, nullptr);
    GetObjectW(handle, sizeof font, &font);
    return font;
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TIDEForm>(Application); }

    NoLibrary none; // the window's looks need no interpreter

    TControl* Control(const Expected& e) const { return e.control(*form); }

    void ExpectLaidOutAt(int dpi) const
    {
        for (const Expected& e : Layout) {
            const RECT r = ChildRect(form->Handle(), Control(e)->Handle());
            EXPECT_EQ(r.left, ScaleToDpi(e.at96.left, dpi)) << e.name;
            EXPECT_EQ(r.top, ScaleToDpi(e.at96.top, dpi)) << e.name;
            EXPECT_EQ(r.right - r.left, ScaleToDpi(e.at96.right - e.at96.left, dpi)) << e.name;
            EXPECT_EQ(r.bottom - r.top, ScaleToDpi(e.at96.bottom - e.at96.top, dpi)) << e.name;
            const LOGFONTW font = FontOf(Control(e)->Handle());
            EXPECT_STREQ(font.lfFaceName, L"Tahoma") << e.name;
            EXPECT_EQ(font.lfHeight, ScaleToDpi(-11, dpi)) << e.name;
            EXPECT_EQ(font.lfWeight, FW_NORMAL) << e.name;
            EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET) << e.name;
        }
    }

    std::unique_ptr<TIDEForm> form;
};

TEST_F(MainWindowTest, HasTheCaptionClientSizeAndControlsOfItsDesign)
{
    wchar_t caption[64];
    GetWindowTextW(form->Handle(), caption, 64);
    EXPECT_STREQ(caption, L"QAV Demo");
    const int dpi = form->Dpi();
    RECT client;
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, ScaleToDpi(868, dpi));
    EXPECT_EQ(client.bottom, ScaleToDpi(532, dpi));
    ExpectLaidOutAt(dpi);
    EXPECT_EQ(form->Run->Text(), L"Run");
    EXPECT_EQ(form->Text->Text(), L"");
    EXPECT_EQ(form->Result->Text(), L"");
    EXPECT_EQ(form->Stacks->Text(), L"");
    EXPECT_EQ(form->Log->Lines().Count(), 1);
}

TEST_F(MainWindowTest, MovingToADenserMonitorScalesControlsAndFont)
{
    RECT suggested{10, 10, 10 + 1330, 10 + 860};
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(form->Dpi(), 144);
    ExpectLaidOutAt(144);
    // At 144 DPI: Text 12,12 767x483; Stacks 788,12 503x774; the font 17 pixels high.
    const RECT stacks = ChildRect(form->Handle(), form->Stacks->Handle());
    EXPECT_EQ(stacks.left, 788);
    EXPECT_EQ(stacks.right - stacks.left, 503);
    EXPECT_EQ(FontOf(form->Text->Handle()).lfHeight, -17);

    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    ExpectLaidOutAt(96);
}

TEST_F(MainWindowTest, StylesMatchAPlainSizeableWindowWithScrollingPanes)
{
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form->Handle(), GWL_STYLE));
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & (WS_HSCROLL | WS_VSCROLL));

    for (TMemo* memo : {form->Text, form->Log, form->Stacks}) {
        const auto s = static_cast<DWORD>(GetWindowLongPtrW(memo->Handle(), GWL_STYLE));
        EXPECT_EQ(s & (ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP),
                  static_cast<DWORD>(ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL |
                                     WS_TABSTOP));
        EXPECT_FALSE(s & ES_READONLY);
        EXPECT_GE(static_cast<unsigned long>(SendMessageW(memo->Handle(), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEul);
    }
    const auto result = static_cast<DWORD>(GetWindowLongPtrW(form->Result->Handle(), GWL_STYLE));
    EXPECT_FALSE(result & ES_MULTILINE);
    EXPECT_GE(static_cast<unsigned long>(SendMessageW(form->Result->Handle(), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEul);
    const auto button = static_cast<DWORD>(GetWindowLongPtrW(form->Run->Handle(), GWL_STYLE));
    EXPECT_EQ(button & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
}

// Feeds one key press through the dialog navigation the message loop uses.
bool PressKey(HWND form, WPARAM key)
{
    MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    return IsDialogMessageW(form, &msg);
}

TEST_F(MainWindowTest, TabWalksTheControlsInOrderAndEnterStaysInThePane)
{
    form->Show(SW_SHOWNORMAL);
    SetForegroundWindow(form->Handle());
    SetFocus(form->Text->Handle());
    const HWND order[] = {form->Run->Handle(), form->Result->Handle(), form->Log->Handle(), form->Stacks->Handle(),
                          form->Text->Handle()};
    for (HWND next : order) {
        EXPECT_TRUE(PressKey(form->Handle(), VK_TAB));
        EXPECT_EQ(GetFocus(), next);
    }
    // Enter reaches the pane, which starts a new line with it.
    PressKey(form->Handle(), VK_RETURN);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageW(form->Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    EXPECT_EQ(GetFocus(), form->Text->Handle());
    EXPECT_EQ(form->Text->Text(), L"\r\n");
}

DWORD ButtonType(HWND button)
{
    return static_cast<DWORD>(GetWindowLongPtrW(button, GWL_STYLE)) & BS_TYPEMASK;
}

// Tab onto Run gives it the default look for as long as it has the focus; a
// click elsewhere takes the look away, as moving on by the keyboard does.
TEST_F(MainWindowTest, RunLosesTheDefaultLookWhenAClickTakesTheFocus)
{
    form->Show(SW_SHOWNORMAL);
    SetForegroundWindow(form->Handle());
    SetFocus(form->Text->Handle());
    ASSERT_TRUE(PressKey(form->Handle(), VK_TAB));
    ASSERT_EQ(GetFocus(), form->Run->Handle());
    EXPECT_EQ(ButtonType(form->Run->Handle()), static_cast<DWORD>(BS_DEFPUSHBUTTON));
    SendMessageW(form->Text->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(form->Text->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(GetFocus(), form->Text->Handle());
    EXPECT_EQ(ButtonType(form->Run->Handle()), static_cast<DWORD>(BS_PUSHBUTTON));
}

TEST_F(MainWindowTest, ResultSelectsAllWhenTabbedInto)
{
    form->Show(SW_SHOWNORMAL);
    SetForegroundWindow(form->Handle());
    form->Result->SetText(L"forty-two");
    SetFocus(form->Run->Handle());
    PressKey(form->Handle(), VK_TAB);
    ASSERT_EQ(GetFocus(), form->Result->Handle());
    DWORD start = 1, end = 0;
    SendMessageW(form->Result->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 9u);
}

// A line break the user typed at the end of a pane is the separator: the next
// line added starts on the line it opened, not after an empty one.
TEST_F(MainWindowTest, AddAfterATypedLineBreakUsesIt)
{
    struct Case {
        const wchar_t* before;
        const wchar_t* after;
        int linesBefore; // the break typed last opens no line until something is on it
    };
    const Case cases[] = {
        {L"typed", L"typed\r\nadded", 1},
        {L"typed\r\n", L"typed\r\nadded", 1},
        {L"typed\r\n\r\n", L"typed\r\n\r\nadded", 2},
        {L"\r\n", L"\r\nadded", 1},
        {L"", L"added", 0},
    };
    for (const Case& c : cases) {
        form->Log->SetText(c.before);
        EXPECT_EQ(form->Log->Lines().Count(), c.linesBefore);
        form->Log->Lines().Add(L"added");
        EXPECT_EQ(form->Log->Text(), c.after) << "after Add to \"" << testing::PrintToString(std::wstring(c.before));
        form->Log->SetText(c.before);
        TStringList batch;
        batch.Add(L"added");
        form->Log->Lines().AddStrings(batch);
        EXPECT_EQ(form->Log->Text(), c.after) << "after AddStrings";
    }
}

// An empty last line that the pane added is a line: the next line goes after
// it. Once the text is changed otherwise, its end is the user's again.
TEST_F(MainWindowTest, AnEmptyLineThePaneAddedIsALine)
{
    TStrings& lines = form->Log->Lines();
    const HWND pane = form->Log->Handle();
    const auto addEmpty = [&] {
        TStringList split;
        split.Add(L"\n");
        lines.AddStrings(split);
    };
    const auto typeAtEnd = [&](wchar_t key) {
        const auto end = SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0);
        SendMessageW(pane, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(pane, WM_CHAR, key, 0);
    };
    struct Case {
        const char* name;
        std::function<void()> before;
        const wchar_t* after;
        int count;
    };
    const Case cases[] = {
        {"after a line", [&] { lines.Add(L"a"); lines.Add(L""); }, L"a\r\n\r\nadded", 3},
        {"alone", addEmpty, L"\r\nadded", 2},
        {"twice", [&] { addEmpty(); addEmpty(); }, L"\r\n\r\nadded", 3},
        {"then a typed break", [&] { lines.Add(L"a"); addEmpty(); typeAtEnd(L'\r'); }, L"a\r\n\r\nadded", 3},
        {"then typed on", [&] { lines.Add(L"a"); addEmpty(); typeAtEnd(L'b'); }, L"a\r\nb\r\nadded", 3},
        {"then replaced from outside", [&] { lines.Add(L"a"); addEmpty(); form->Log->SetText(L"b\r\n"); },
         L"b\r\nadded", 2},
        {"then cleared", [&] { addEmpty(); lines.Clear(); }, L"added", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool batch : {false, true}) {
            lines.Clear();
            c.before();
            if (batch) {
                TStringList added;
                added.Add(L"added");
                lines.AddStrings(added);
            } else {
                lines.Add(L"added");
            }
            EXPECT_EQ(form->Log->Text(), c.after) << (batch ? "AddStrings" : "Add");
            EXPECT_EQ(lines.Count(), c.count) << (batch ? "AddStrings" : "Add");
        }
    }
}

TEST_F(MainWindowTest, PaneLinesShowEachAddedLineAsOneLine)
{
    TStrings& lines = form->Stacks->Lines();
    TStringList split;
    split.Add(L"a");
    split.Add(L"\n");
    split.Add(L"\nb");
    lines.Add(L"head");
    lines.AddStrings(split);
    lines.Add(L"one\r\ntwo");
    EXPECT_EQ(form->Stacks->Text(), L"head\r\na\r\n\r\nb\r\none\r\ntwo");
    EXPECT_EQ(lines.Count(), 6);
    EXPECT_EQ(lines.Get(3), L"b");
    lines.Clear();
    EXPECT_EQ(lines.Count(), 0);
}

} // namespace
