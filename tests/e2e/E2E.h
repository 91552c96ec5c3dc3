// What the end-to-end tests share: the binding's lines and the window's layout.
#pragma once

#include "tests/e2e/driver/AppDriver.h"

#include <gtest/gtest.h>

#include <string>

namespace e2e {

inline const std::wstring kNoLibraryLine = L"DLL error!";
inline const std::wstring kNoGetLine = L"Ошибка инициализации GetQAV";
inline const std::wstring kNoFreeLine = L"Ошибка инициализации FreeQAV";
inline const std::wstring kNoInterfaceLine = L"Ошибка инициализации интерфейса QAV_INTERFACE";
inline const std::wstring kFreeFailedLine = L"Ошибка освобождения интерфейса QAV_INTERFACE";
inline const std::wstring kTestVersionLine = L" DLL version 1.2.3-test";
inline const std::wstring kNotBoundLine = L"Run: no interpreter is bound, so nothing was run.";

struct ControlLayout {
    ControlId id;
    const char* name;
    int left, top, width, height;
};

// The controls in tab order, at 96 DPI.
inline constexpr ControlLayout kLayout[] = {
    {ControlId::Text, "Text", 8, 8, 511, 322},
    {ControlId::Run, "Run", 8, 336, 75, 25},
    {ControlId::Result, "Result", 89, 338, 430, 21},
    {ControlId::Log, "Log", 8, 384, 511, 140},
    {ControlId::Stacks, "Stacks", 525, 8, 335, 516},
};

// Every control's rectangle in the client area at the given density.
inline void ExpectControlRectangles(const AppProcess& app, int dpi)
{
    for (const auto& c : kLayout) {
        RECT r{};
        ASSERT_TRUE(GetWindowRect(app.Control(c.id), &r));
        MapWindowPoints(nullptr, app.Window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, MulDiv(c.left, dpi, 96)) << c.name << " left";
        EXPECT_EQ(r.top, MulDiv(c.top, dpi, 96)) << c.name << " top";
        EXPECT_EQ(r.right - r.left, MulDiv(c.width, dpi, 96)) << c.name << " width";
        EXPECT_EQ(r.bottom - r.top, MulDiv(c.height, dpi, 96)) << c.name << " height";
    }
}

// Client size and every control's rectangle at the given density.
inline void ExpectLayout(const AppProcess& app, int dpi)
{
    RECT client{};
    ASSERT_TRUE(GetClientRect(app.Window(), &client));
    EXPECT_EQ(client.right - client.left, MulDiv(868, dpi, 96)) << "client width";
    EXPECT_EQ(client.bottom - client.top, MulDiv(532, dpi, 96)) << "client height";
    ExpectControlRectangles(app, dpi);
}

// Tab goes Text, Run, Result, Log, Stacks and back to Text.
inline void ExpectTabOrder(const AppProcess& app)
{
    HWND at = app.Control(ControlId::Text);
    for (size_t i = 1; i <= std::size(kLayout); ++i) {
        const auto& next = kLayout[i % std::size(kLayout)];
        at = GetNextDlgTabItem(app.Window(), at, FALSE);
        EXPECT_EQ(at, app.Control(next.id)) << "tab stop " << i << " should be " << next.name;
    }
}

} // namespace e2e
