#include "framework/Controls.h"

#include "framework/Exception.h"
#include "framework/Form.h"
#include "framework/win32/ScopeGuards.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR SubclassId = 1;

bool IsKey(const MSG* msg, WPARAM key)
{
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && msg->wParam == key;
}

// Tab moves the focus on instead of reaching the memo, which would otherwise
// claim every key; tabbing into a memo leaves its selection as it was.
// Esc is no close request: a multi-line edit that the dialog manager has asked
// for its keys would post WM_CLOSE to the window on Esc. The dialog manager
// takes Esc as a cancel that nothing answers, and the memo ignores any Esc that
// still reaches it.
LRESULT CALLBACK MemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept
{
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(window, message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (IsKey(msg, VK_TAB) || IsKey(msg, VK_ESCAPE))
            code &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        return code & ~DLGC_HASSETSEL;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (wParam == VK_ESCAPE)
            return 0;
        break;
    case WM_SETTEXT:
    case EM_REPLACESEL: {
        // Text put in by a message counts as changed, as typed text does: the
        // pane's lines tell their own additions by clearing the mark after them.
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        SendMessageW(window, EM_SETMODIFY, TRUE, 0);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR defaultLook) noexcept;

// The look is kept as the subclass's reference data, and a style set by anyone
// (the dialog manager sets one whenever Tab moves the focus) takes its type.
void SetDefaultLook(HWND button, bool on)
{
    SetWindowSubclass(button, ButtonProc, SubclassId, on);
    if (((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) != on)
        SendMessageW(button, BM_SETSTYLE, on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// Enter presses the button that has the focus only when it has the default
// look: the dialog manager asks for it. The button takes the look whenever it
// gets the focus, by Tab, a click or the window's activation (after another
// window, the error box or the stop window), and gives it up only when the
// focus moves to another control of its window: it is never the default button
// of the window, just the one that Enter presses while focused.
LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR defaultLook) noexcept
{
    switch (message) {
    case BM_SETSTYLE:
        wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | (defaultLook ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case WM_SETFOCUS:
        SetDefaultLook(window, true);
        break;
    case WM_KILLFOCUS: {
        const auto next = reinterpret_cast<HWND>(wParam);
        if (next && next != window && IsChild(GetParent(window), next))
            SetDefaultLook(window, false);
        break;
    }
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept
{
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SETFOCUS && GetKeyState(VK_LBUTTON) >= 0)
        SendMessageW(window, EM_SETSEL, 0, -1);
    return result;
}

// Cutting a text at CR LF leaves the LF at the front of every line after the
// first: that LF is no part of the line. Every other character stays, lone CRs
// and LFs included, so that copying from a pane gives the text as it came.
UnicodeString WithoutSplitterBreak(const UnicodeString& line)
{
    return !line.empty() && line[0] == L'\n' ? line.substr(1) : line;
}

} // namespace

TControl::TControl(TForm& parent, const ControlDesign& design, const wchar_t* windowClass, DWORD style,
                   DWORD exStyle)
    : design_(design)
{
    handle_.Reset(CreateWindowExW(exStyle, windowClass, design.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0,
                                  0, 0, 0, parent.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
                                  GetModuleHandleW(nullptr), nullptr));
    if (!handle_)
        throw Exception(L"Cannot create the control " + UnicodeString(windowClass));
    parent.PlaceControl(*this);
}

TControl::~TControl() = default;

UnicodeString TControl::Text() const
{
    const auto length = static_cast<size_t>(SendMessageW(Handle(), WM_GETTEXTLENGTH, 0, 0));
    UnicodeString text(length + 1, L'\0');
    const auto copied = static_cast<size_t>(
        SendMessageW(Handle(), WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied < length ? copied : length);
    return text;
}

void TControl::SetText(const UnicodeString& text)
{
    SendMessageW(Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

TButton::TButton(TForm& parent, const ControlDesign& design)
    : TControl(parent, design, WC_BUTTONW, BS_PUSHBUTTON, 0)
{
    SetWindowSubclass(Handle(), ButtonProc, SubclassId, 0);
}

void TButton::Command(int notification)
{
    if (notification == BN_CLICKED && OnClick)
        OnClick(this);
}

TEdit::TEdit(TForm& parent, const ControlDesign& design)
    : TControl(parent, design, WC_EDITW, ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE)
{
    SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(Handle(), EditProc, SubclassId, 0);
}

TMemo::TMemo(TForm& parent, const ControlDesign& design)
    : TControl(parent, design, WC_EDITW,
               ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_LEFT | WS_HSCROLL | WS_VSCROLL,
               WS_EX_CLIENTEDGE),
      lines_(*this)
{
    // A multi-line edit starts with a small limit on what typing and EM_REPLACESEL
    // may add; zero raises it to the platform's maximum.
    SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(Handle(), MemoProc, SubclassId, 0);
}

int TMemoLines::Count() const
{
    const HWND h = memo_.Handle();
    if (EndsWithAddedLines())
        return static_cast<int>(SendMessageW(h, EM_GETLINECOUNT, 0, 0));
    if (SendMessageW(h, WM_GETTEXTLENGTH, 0, 0) == 0)
        return 0;
    // A line break typed at the end opens a line that holds nothing yet.
    return static_cast<int>(SendMessageW(h, EM_GETLINECOUNT, 0, 0)) - (EndsWithLineBreak() ? 1 : 0);
}

UnicodeString TMemoLines::Get(int index) const
{
    CheckListIndex(index, Count());
    const HWND h = memo_.Handle();
    const auto start = SendMessageW(h, EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    const auto length = static_cast<size_t>(SendMessageW(h, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    // EM_GETLINE reads the buffer size from the buffer's first word.
    UnicodeString line(length < 1 ? 1 : length, L'\0');
    line[0] = static_cast<wchar_t>(length);
    const auto copied = static_cast<size_t>(
        SendMessageW(h, EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.data())));
    line.resize(copied < length ? copied : length);
    return line;
}

void TMemoLines::Add(const UnicodeString& line)
{
    Append(WithoutSplitterBreak(line));
}

void TMemoLines::Clear()
{
    memo_.SetText(UnicodeString());
    addedLast_ = false;
}

void TMemoLines::AddStrings(const TStrings& lines)
{
    const int count = lines.Count();
    if (count == 0)
        return;
    UnicodeString block;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            block += L"\r\n";
        block += WithoutSplitterBreak(lines.Get(i));
    }
    const RedrawSuspended suspended(memo_.Handle());
    Append(block);
}

// Lines stand between CR LFs, so a block goes after a CR LF, with two
// exceptions: an empty pane (nothing to follow), and a text whose end the user
// typed with a line break (the block starts the line that break opened). An
// empty line that the pane added itself is a line like any other: the block
// follows it.
void TMemoLines::Append(const UnicodeString& block)
{
    const HWND h = memo_.Handle();
    const bool afterAdded = EndsWithAddedLines();
    const auto length = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
    if (!afterAdded && length == 0) {
        memo_.SetText(block);
    } else {
        const UnicodeString tail = !afterAdded && EndsWithLineBreak() ? block : L"\r\n" + block;
        SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
        SendMessageW(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(tail.c_str()));
    }
    SendMessageW(h, EM_SETMODIFY, FALSE, 0);
    addedLast_ = true;
}

// True while the text ends with what Add or AddStrings put there: nothing has
// changed it since (typing, pasting or a text set from outside mark it changed).
bool TMemoLines::EndsWithAddedLines() const
{
    return addedLast_ && !SendMessageW(memo_.Handle(), EM_GETMODIFY, 0, 0);
}

// Only a text whose last line is empty can end in CR LF; just then is the text read.
bool TMemoLines::EndsWithLineBreak() const
{
    const HWND h = memo_.Handle();
    const auto length = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
    const auto lastLine = SendMessageW(h, EM_GETLINECOUNT, 0, 0) - 1;
    if (length < 2 || SendMessageW(h, EM_LINEINDEX, static_cast<WPARAM>(lastLine), 0) != length)
        return false;
    const UnicodeString text = memo_.Text();
    return text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0;
}
