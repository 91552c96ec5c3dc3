// The standard controls a form carries: a push button, a one-line edit field and
// a multi-line memo. Positions are given at 96 DPI; the form scales them.
#pragma once

#include "framework/Object.h"
#include "framework/Strings.h"
#include "framework/UnicodeString.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

class TForm;

struct ControlDesign {
    int id;
    int left;
    int top;
    int width;
    int height;
    const wchar_t* text;
};

class TControl : public TObject {
public:
    ~TControl() override;

    HWND Handle() const noexcept { return handle_.Get(); }
    const ControlDesign& Design() const noexcept { return design_; }

    UnicodeString Text() const;
    void SetText(const UnicodeString& text);

    // A notification from the control to its form (WM_COMMAND).
    virtual void Command(int /*notification*/) {}

protected:
    TControl(TForm& parent, const ControlDesign& design, const wchar_t* windowClass, DWORD style, DWORD exStyle);

private:
    ControlDesign design_;
    UniqueChildWindow handle_;
};

class TButton : public TControl {
public:
    TButton(TForm& parent, const ControlDesign& design);
    void Command(int notification) override;

    TNotifyEvent OnClick;
};

// One-line field; selects its whole text when it gets the focus other than by a click.
class TEdit : public TControl {
public:
    TEdit(TForm& parent, const ControlDesign& design);
};

class TMemo;

// A memo's lines. A line added goes into the control as it is, less the LF at
// its front that cutting a text at CR LF leaves there; lines stand between CR
// LFs. A lone CR or LF inside a line stays in the control's text: Windows'
// control shows no break there, Wine's shows one at a lone LF. An empty last
// line is a line when Add or AddStrings put it there, and no line when the user
// typed the break before it: the next line added then takes its place.
class TMemoLines : public TStrings {
public:
    explicit TMemoLines(TMemo& memo) : memo_(memo) {}

    int Count() const override;
    UnicodeString Get(int index) const override;
    void Add(const UnicodeString& line) override;
    void Clear() override;
    // All lines in one message, with the control's redrawing suspended meanwhile.
    void AddStrings(const TStrings& lines) override;

private:
    void Append(const UnicodeString& block);
    bool EndsWithAddedLines() const;
    bool EndsWithLineBreak() const;

    TMemo& memo_;
    bool addedLast_ = false; // set by Add and AddStrings, unset by Clear; the modify flag tells the rest
};

// Multi-line pane with both scroll bars, no word wrap; Enter starts a line, Tab
// moves the focus on.
class TMemo : public TControl {
public:
    TMemo(TForm& parent, const ControlDesign& design);

    TStrings& Lines() noexcept { return lines_; }

private:
    TMemoLines lines_;
};
