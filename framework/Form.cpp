#include "framework/Form.h"

#include "framework/Application.h"
#include "framework/BoundWindow.h"
#include "framework/Controls.h"
#include "framework/Dpi.h"
#include "framework/WindowClass.h"

#include <stdexcept>
#include <utility>

namespace {

constexpr DWORD FormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = 0;

} // namespace

TForm::TForm(TApplication* owner, const FormDesign& design) : owner_(owner), design_(design)
{
    RegisterWindowClass(design.className, &TForm::WindowProc);
    // WM_NCCREATE hands the window to window_, which destroys it if anything below throws.
    CreateWindowExW(FormExStyle, design.className, design.caption, FormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    design.clientWidth, design.clientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    const HWND window = Handle();
    if (!window)
        throw Exception(L"Cannot create the window " + UnicodeString(design.className));
    ApplyDpi(WindowDpi(window));
    const SIZE outer = WindowSizeForClient(ScaleToDpi(design_.clientWidth, dpi_),
                                           ScaleToDpi(design_.clientHeight, dpi_), FormStyle, FormExStyle, dpi_);
    SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TForm::~TForm()
{
    // Messages sent while the window goes away reach no half-destroyed object.
    if (window_)
        SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
    controls_.clear();
    window_.Reset();
}

void TForm::Show(int showCommand)
{
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    TForm* const self = BoundObject(window, message, lParam, &TForm::window_);
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    // No C++ exception may unwind through the system's frames: the message loop shows it.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        (self->owner_ ? self->owner_ : Application)->DeferException(std::current_exception());
        return 0;
    }
}

LRESULT TForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam) {
            for (const auto& control : controls_)
                if (control->Handle() == reinterpret_cast<HWND>(lParam)) {
                    control->Command(HIWORD(wParam));
                    return 0;
                }
        }
        break;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ACTIVATE:
        // Keep the focused control across deactivation; the first in tab order at first.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus))
                lastFocus_ = focus;
        } else if (!HIWORD(wParam)) {
            HWND focus = lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : GetNextDlgTabItem(Handle(), nullptr, FALSE);
            if (focus) {
                SetFocus(focus);
                return 0;
            }
        }
        break;
    case WM_DPICHANGED: {
        ApplyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        if (suggested)
            SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(Handle(), message, wParam, lParam);
}

void TForm::Close()
{
    TCloseAction action = TCloseAction::caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == TCloseAction::caNone)
        return;
    if (owner_ && owner_->MainForm() == this)
        owner_->Terminate();
    else if (action == TCloseAction::caMinimize)
        ShowWindow(Handle(), SW_MINIMIZE);
    else
        ShowWindow(Handle(), SW_HIDE);
}

void TForm::ApplyDpi(int dpi)
{
    dpi_ = dpi;
    UniqueFont font(CreateFontW(ScaleToDpi(design_.fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, design_.fontName));
    if (!font)
        throw Exception(L"Cannot create the font " + UnicodeString(design_.fontName));
    // The controls take the new font before the old one is deleted.
    std::swap(font_, font);
    for (const auto& control : controls_)
        PlaceControl(*control);
}

void TForm::PlaceControl(TControl& control) const
{
    const ControlDesign& d = control.Design();
    MoveWindow(control.Handle(), ScaleToDpi(d.left, dpi_), ScaleToDpi(d.top, dpi_), ScaleToDpi(d.width, dpi_),
               ScaleToDpi(d.height, dpi_), TRUE);
    SendMessageW(control.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
}
