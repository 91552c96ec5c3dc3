#include "tests/app/BoxWatcher.h"

#include "tests/e2e/driver/AppDriver.h"

#include <chrono>
#include <vector>

namespace {

std::vector<HWND> OwnTopLevelWindows(const wchar_t* className)
{
    std::vector<HWND> found;
    for (HWND window : e2e::TopLevelWindows(GetCurrentProcessId()))
        if (e2e::ClassName(window) == className)
            found.push_back(window);
    return found;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

BoxWatcher::BoxWatcher(HWND ownWindow, std::function<void()> afterwards)
{
    thread_ = std::thread([this, ownWindow, afterwards] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            for (HWND box : OwnTopLevelWindows(L"#32770")) {
                if (!IsWindowVisible(box))
                    continue;
                SeenBox seen;
                seen.caption = TextOf(box);
                if (HWND text = GetDlgItem(box, 0xFFFF))
                    seen.text = TextOf(text);
                seen.ownWindowsDisabled = ownWindow && !IsWindowEnabled(ownWindow);
                seen_ = seen;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                while (IsWindow(box) && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (afterwards)
                    afterwards();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
}

BoxWatcher::~BoxWatcher()
{
    if (thread_.joinable())
        thread_.join();
}

std::optional<SeenBox> BoxWatcher::Seen()
{
    if (thread_.joinable())
        thread_.join();
    return seen_;
}

int CountOwnWindows(const wchar_t* className)
{
    return static_cast<int>(OwnTopLevelWindows(className).size());
}
