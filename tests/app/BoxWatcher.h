// Error boxes of the test's own process, which block the thread that shows
// them: a watcher thread waits for one, notes what it says, lets the test act
// while it is up, and presses OK.
#pragma once

#include "framework/Win.h"

#include <functional>
#include <optional>
#include <string>
#include <thread>

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool ownWindowsDisabled = false; // while it was up, the thread's other windows took no input
};

class BoxWatcher {
public:
    // Watches for one box; afterwards() runs on the watcher's thread once it is dismissed.
    explicit BoxWatcher(HWND ownWindow = nullptr, std::function<void()> afterwards = {});
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // Waits for the watcher to finish; the box it saw, if one came within 20 s.
    std::optional<SeenBox> Seen();

private:
    std::optional<SeenBox> seen_;
    std::thread thread_;
};

// Top-level windows of this process with the class name, visible or not.
int CountOwnWindows(const wchar_t* className);
