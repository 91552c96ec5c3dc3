// A top-level window bound to its object, with its child controls laid out at
// 96 DPI and scaled to the density of the monitor it is on.
#pragma once

#include "framework/Object.h"
#include "framework/UnicodeString.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <memory>
#include <vector>

class TApplication;
class TControl;

// How a form looks before any control is placed on it; sizes at 96 DPI.
struct FormDesign {
    const wchar_t* className;
    const wchar_t* caption;
    int clientWidth;
    int clientHeight;
    const wchar_t* fontName;
    int fontHeight; // negative: character height in pixels
};

class TForm : public TObject {
public:
    // Creates the native window, hidden, sized for the monitor's density.
    TForm(TApplication* owner, const FormDesign& design);
    ~TForm() override;

    HWND Handle() const noexcept { return window_.Get(); }
    int Dpi() const noexcept { return dpi_; }
    void Show(int showCommand);

    // Raised by a close request; Action is preset to caHide.
    TCloseEvent OnClose;

protected:
    // Places a control on the form; the form owns it and destroys it with itself.
    template <class TControlClass>
    TControlClass* Own(std::unique_ptr<TControlClass> control)
    {
        TControlClass* raw = control.get();
        controls_.push_back(std::move(control));
        return raw;
    }

    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void ApplyDpi(int dpi);
    void Close();

    friend class TControl;
    void PlaceControl(TControl& control) const;

    TApplication* owner_;
    FormDesign design_;
    // Owned from WM_NCCREATE on, so that a constructor that throws after the
    // create leaves no window behind; given up at WM_NCDESTROY.
    UniqueWindow window_;
    HWND lastFocus_ = nullptr; // borrowed: one of our controls
    int dpi_ = 96;
    UniqueFont font_;
    std::vector<std::unique_ptr<TControl>> controls_;
};
