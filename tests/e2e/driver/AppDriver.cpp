#include "tests/e2e/driver/AppDriver.h"

#include "framework/win32/ScopeGuards.h"
#include "framework/win32/Paths.h"

#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what)
{
    const DWORD error = GetLastError();
    throw std::runtime_error("AppDriver: " + what + " (error " + std::to_string(error) + ")");
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) noexcept
{
    auto& found = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found.first) {
        try {
            found.second->push_back(window);
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

HWND FindMainWindow(DWORD processId)
{
    for (HWND window : TopLevelWindows(processId))
        if (IsWindowVisible(window) && ClassName(window) == L"TIDEForm")
            return window;
    return nullptr;
}

} // namespace

std::filesystem::path BinDir()
{
    return std::filesystem::path(ModuleFileName(nullptr)).parent_path();
}

std::filesystem::path LibraryPath(const std::wstring& name)
{
    return BinDir() / (name + L".dll");
}

int SystemDpi()
{
    SetProcessDPIAware();
    const WindowDC screen(nullptr);
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    std::vector<HWND> windows;
    std::pair<DWORD, std::vector<HWND>*> context{processId, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
    return windows;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

AppProcess AppProcess::Start(const std::filesystem::path& folder, const LaunchOptions& options)
{
    SetProcessDPIAware();
    const auto exe = folder / options.exeName;
    std::filesystem::copy_file(BinDir() / L"QAVDemo.exe", exe, std::filesystem::copy_options::overwrite_existing);
    if (!options.library.empty())
        std::filesystem::copy_file(options.library, folder / L"QAV.dll", std::filesystem::copy_options::overwrite_existing);

    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    if (!options.arguments.empty())
        commandLine += L" " + options.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (options.showCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *options.showCommand;
    }
    PROCESS_INFORMATION info{};
    const auto startedAt = Clock::now();
    const std::wstring directory = options.currentDirectory.empty() ? folder.wstring() : options.currentDirectory;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &info))
        Fail("cannot start " + exe.string());
    const UniqueHandle<HANDLE, CloseHandle> thread(info.hThread);

    AppProcess app;
    app.process_.Reset(info.hProcess);
    app.processId_ = info.dwProcessId;
    app.startedAt_ = startedAt;
    if (options.waitForMainWindow) {
        WaitForInputIdle(info.hProcess, static_cast<DWORD>(kDefaultTimeout.count()));
        app.WaitForMainWindow();
    }
    return app;
}

void AppProcess::WaitForMainWindow(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while ((window_ = FindMainWindow(processId_)) == nullptr) {
        if (!IsRunning())
            Fail("QAVDemo.exe ended before showing its window");
        if (Clock::now() > deadline)
            Fail("QAVDemo.exe showed no window");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::optional<StopWindowView> AppProcess::WaitForStopWindow(std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        for (HWND window : TopLevelWindows(processId_)) {
            if (!IsWindowVisible(window) || window == window_ || ClassName(window) == L"TIDEForm" ||
                ClassName(window) == L"#32770")
                continue;
            // The window goes away by itself when its call returns, maybe while it is read.
            try {
                if (WindowText(window).rfind(L"QAV Demo: ", 0) != 0)
                    continue;
                StopWindowView view;
                view.window = window;
                for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                    const std::wstring kind = ClassName(child);
                    if (_wcsicmp(kind.c_str(), L"Static") == 0)
                        view.text = child;
                    else if (_wcsicmp(kind.c_str(), L"Button") == 0)
                        (WindowText(child) == L"Save and quit" ? view.save : view.stop) = child;
                }
                return view;
            } catch (const std::runtime_error&) {
                if (IsWindow(window))
                    throw;
            }
        }
        if (Clock::now() > deadline || !IsRunning())
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void AppProcess::Click(HWND button) const
{
    Send(button, BM_CLICK, 0, 0);
}

bool AppProcess::WaitUntilGone(HWND window, std::chrono::milliseconds timeout) const
{
    return WaitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

void AppProcess::RequestClose() const
{
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

AppProcess::~AppProcess()
{
    if (process_ && IsRunning()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

bool AppProcess::IsRunning() const
{
    return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

HWND AppProcess::Control(ControlId id) const
{
    HWND control = GetDlgItem(window_, static_cast<int>(id));
    if (control == nullptr)
        Fail("no control " + std::to_string(static_cast<int>(id)));
    return control;
}

LRESULT AppProcess::Send(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                         std::chrono::milliseconds timeout) const
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result))
        Fail("message " + std::to_string(message) + " was not answered");
    return static_cast<LRESULT>(result);
}

std::wstring AppProcess::WindowText(HWND window) const
{
    const auto length = static_cast<size_t>(Send(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied < length ? copied : length);
    return text;
}

std::vector<std::wstring> AppProcess::Lines(ControlId id) const
{
    return SplitLines(Text(id));
}

void AppProcess::SetText(ControlId id, const std::wstring& text, std::chrono::milliseconds timeout) const
{
    if (!Send(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout))
        Fail("WM_SETTEXT refused");
}

int AppProcess::LineCount(ControlId id) const
{
    return static_cast<int>(Send(Control(id), EM_GETLINECOUNT, 0, 0));
}

std::pair<int, int> AppProcess::Selection(ControlId id) const
{
    const auto both = static_cast<DWORD>(Send(Control(id), EM_GETSEL, 0, 0));
    return {LOWORD(both), HIWORD(both)};
}

void AppProcess::Select(ControlId id, int first, int pastLast) const
{
    Send(Control(id), EM_SETSEL, static_cast<WPARAM>(first), static_cast<LPARAM>(pastLast));
}

// A posted EM_SETMODIFY is handled in turn with the messages posted before it,
// so seeing its flag proves they were handled; twice, for what they posted.
void AppProcess::Settle(ControlId id) const
{
    const HWND control = Control(id);
    const bool before = Send(control, EM_GETMODIFY, 0, 0) != 0;
    for (const bool flag : {!before, before}) {
        PostMessageW(control, EM_SETMODIFY, flag, 0);
        if (!WaitUntil([&] { return (Send(control, EM_GETMODIFY, 0, 0) != 0) == flag || !IsRunning(); }))
            Fail("the program did not handle its posted messages");
    }
}

void AppProcess::TypeAtEnd(ControlId id, const std::wstring& text) const
{
    const HWND control = Control(id);
    const LRESULT end = Send(control, WM_GETTEXTLENGTH, 0, 0);
    Send(control, EM_SETSEL, static_cast<WPARAM>(end), end);
    Send(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND AppProcess::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void AppProcess::PostKey(HWND target, WORD virtualKey) const
{
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageW(target, WM_KEYUP, virtualKey, scan | 1 | (1L << 30) | static_cast<LPARAM>(1UL << 31));
}

void AppProcess::PostAltKey(HWND target, WORD virtualKey) const
{
    // Bit 29: Alt is held. The window's default handling reads it from here.
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_SYSKEYDOWN, virtualKey, scan | 1 | (1L << 29));
    PostMessageW(target, WM_SYSKEYUP, virtualKey,
                 scan | 1 | (1L << 29) | (1L << 30) | static_cast<LPARAM>(1UL << 31));
}

void AppProcess::PostChar(HWND target, wchar_t character) const
{
    PostMessageW(target, WM_CHAR, character, 1);
}

void AppProcess::PostRunClick() const
{
    PostMessageW(Control(ControlId::Run), BM_CLICK, 0, 0);
}

void AppProcess::PressRun(std::chrono::milliseconds timeout) const
{
    Send(Control(ControlId::Run), BM_CLICK, 0, 0, timeout);
}

std::optional<ErrorBox> AppProcess::WaitForErrorBox(std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        for (HWND window : TopLevelWindows(processId_)) {
            if (!IsWindowVisible(window) || ClassName(window) != L"#32770")
                continue;
            ErrorBox box;
            box.window = window;
            box.caption = WindowText(window);
            if (HWND text = GetDlgItem(window, 0xFFFF))
                box.text = WindowText(text);
            // The icon's static is 0x14 on Windows and stc1 (0x440) in Wine.
            for (int iconId : {0x14, 0x440})
                if (HWND icon = GetDlgItem(window, iconId))
                    box.hasIcon = box.hasIcon || Send(icon, STM_GETICON, 0, 0) != 0;
            return box;
        }
        if (Clock::now() > deadline || !IsRunning())
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void AppProcess::Dismiss(const ErrorBox& box) const
{
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const auto deadline = Clock::now() + kDefaultTimeout;
    while (IsWindow(box.window)) {
        if (Clock::now() > deadline)
            Fail("the error box stayed");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

DWORD AppProcess::Close(std::chrono::milliseconds timeout)
{
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return WaitForExit(timeout);
}

DWORD AppProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), 5000);
        throw std::runtime_error("AppDriver: QAVDemo.exe did not end");
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

} // namespace e2e
