#include "app/StopWindow.h"

#include "framework/BoundWindow.h"
#include "framework/Dpi.h"
#include "framework/Exception.h"
#include "framework/WindowClass.h"

#include <string>

namespace {

constexpr const wchar_t* ClassName = L"QAVStopWindow";
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
// Stop answers Esc and the close box as a cancel would.
constexpr int StopId = IDCANCEL;
constexpr int SaveId = 100;
constexpr int TextId = 101;

// The layout at 96 DPI.
constexpr int ClientWidth = 420;
constexpr int ClientHeight = 132;
constexpr int Margin = 12;
constexpr int ButtonHeight = 25;
constexpr int StopWidth = 88;
constexpr int SaveWidth = 104;

UnicodeString CaptionFor(const UnicodeString& operation)
{
    return L"QAV Demo: " + operation + L" is running";
}

UnicodeString Seconds(int seconds)
{
    return std::to_wstring(seconds) + L" s";
}

HWND Child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id)
{
    return CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

} // namespace

StopWindow::StopWindow(const wchar_t* operation, HWND centreOn) : operation_(operation)
{
    RegisterWindowClass(ClassName, &StopWindow::WindowProc);
    // Its own caption, so that nothing looking for the main window by its caption finds this one.
    const UnicodeString caption = CaptionFor(operation_);
    // WM_NCCREATE hands the window to window_, which destroys it if anything below throws.
    CreateWindowExW(ExStyle, ClassName, caption.c_str(), Style, CW_USEDEFAULT, CW_USEDEFAULT, ClientWidth,
                    ClientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    const HWND window = Handle();
    if (!window)
        throw Exception(L"Cannot create the window " + UnicodeString(ClassName));
    text_ = Child(window, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, TextId);
    save_ = Child(window, L"BUTTON", L"Save and quit", WS_TABSTOP | BS_PUSHBUTTON, SaveId);
    stop_ = Child(window, L"BUTTON", L"Stop", WS_TABSTOP | BS_DEFPUSHBUTTON, StopId);
    if (!text_ || !save_ || !stop_)
        throw Exception(L"Cannot create the controls of the window " + UnicodeString(ClassName));
    ShowWindow(save_, SW_HIDE);
    dpi_ = WindowDpi(window);
    font_.Reset(CreateFontW(ScaleToDpi(-11, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            L"Tahoma"));
    for (HWND child : {text_, save_, stop_})
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    Layout();

    const SIZE outer = WindowSizeForClient(ScaleToDpi(ClientWidth, dpi_), ScaleToDpi(ClientHeight, dpi_), Style,
                                           ExStyle, dpi_);
    // Over the middle of the main window; reading its rectangle sends it nothing.
    RECT around{};
    if (!centreOn || !GetWindowRect(centreOn, &around)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        around = monitor.rcWork;
    }
    SetWindowPos(window, nullptr, (around.left + around.right - outer.cx) / 2,
                 (around.top + around.bottom - outer.cy) / 2, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowRunning(1);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(stop_);
}

// window_ unbinds the window before destroying it.
StopWindow::~StopWindow() = default;

void StopWindow::Layout()
{
    const auto s = [this](int v) { return ScaleToDpi(v, dpi_); };
    const int buttonTop = ClientHeight - Margin - ButtonHeight;
    MoveWindow(text_, s(Margin), s(Margin), s(ClientWidth - 2 * Margin), s(buttonTop - 2 * Margin), FALSE);
    MoveWindow(stop_, s(ClientWidth - Margin - StopWidth), s(buttonTop), s(StopWidth), s(ButtonHeight), FALSE);
    MoveWindow(save_, s(ClientWidth - Margin - StopWidth - 8 - SaveWidth), s(buttonTop), s(SaveWidth),
               s(ButtonHeight), FALSE);
}

void StopWindow::Dispatch(MSG& msg)
{
    if (!IsDialogMessageW(Handle(), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

StopWindow::Press StopWindow::TakePress() noexcept
{
    const Press press = press_;
    press_ = Press::None;
    return press;
}

void StopWindow::SetMessage(const UnicodeString& text)
{
    if (text == shown_)
        return;
    shown_ = text;
    SetWindowTextW(text_, text.c_str());
}

void StopWindow::ShowRunning(int seconds)
{
    SetMessage(operation_ + L" has been running for " + Seconds(seconds) + L". Stop ends it.");
}

void StopWindow::ShowWaitingForBox(const UnicodeString& caption, int seconds)
{
    SetMessage(operation_ + L" is waiting for an answer in a box of the library's own (\"" + caption +
               L"\", for " + Seconds(seconds) +
               L"). Answer it to go on, or save the program and quit: Save and quit writes it to a file first.");
}

void StopWindow::ShowStopping(int seconds)
{
    SetMessage(L"Stopping " + operation_ + L" (running for " + Seconds(seconds) + L")...");
}

void StopWindow::ShowCannotStop(int seconds)
{
    SetMessage(operation_ + L" cannot be stopped safely: the interpreter is waiting inside Windows, not running its "
                            L"own code (running for " +
               Seconds(seconds) +
               L"). Wait for it, or save the program and quit: Save and quit writes it to a file first.");
}

void StopWindow::OfferSave(bool offered)
{
    if (saved_ || (IsWindowVisible(save_) != FALSE) == offered)
        return;
    ShowWindow(save_, offered ? SW_SHOW : SW_HIDE);
}

void StopWindow::ShowSaveFailed(const UnicodeString& why)
{
    SetMessage(why + L" QAV Demo goes on running, with the program still in its editor.");
}

void StopWindow::ShowSaved(const UnicodeString& path)
{
    saved_ = true;
    SetMessage(L"The program was saved to " + path + L". QAV Demo ends now.");
    ShowWindow(save_, SW_HIDE);
    SetWindowTextW(stop_, L"Quit");
    SetFocus(stop_);
}

LRESULT CALLBACK StopWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    StopWindow* const self = BoundObject(window, message, lParam, &StopWindow::window_);
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    // Nothing here throws, but no C++ exception may unwind through the system's frames.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT StopWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
            const int id = LOWORD(wParam);
            if (id == StopId || id == IDOK)
                press_ = saved_ ? Press::Quit : Press::Stop;
            else if (id == SaveId && IsWindowVisible(save_))
                press_ = Press::SaveAndQuit;
        }
        return 0;
    case DM_GETDEFID: {
        // Enter presses the focused button, and Stop otherwise.
        const HWND focus = GetFocus();
        const int id = focus == save_ ? SaveId : StopId;
        return MAKELRESULT(id, DC_HASDEFID);
    }
    case WM_CLOSE:
        press_ = saved_ ? Press::Quit : Press::Stop;
        return 0;
    default:
        return DefWindowProcW(Handle(), message, wParam, lParam);
    }
}
