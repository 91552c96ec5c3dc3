// Starts the workbench for a picture of it: puts a program into its editor,
// presses Run and prints where the window lies on the screen, as
// "left top width height", once the Run has been drawn.
//   qav_showcase WORKBENCH.exe PROGRAM_FILE [--close-when FILE]
// The program file is UTF-8; its line breaks become the editor's CR LF. The
// workbench starts in its own folder, so the QAV.dll beside it is the one bound.
// With --close-when it waits for FILE to exist, closes the workbench and returns
// its exit code; otherwise it leaves the workbench running.
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int TextId = 1001;
constexpr int RunId = 1002;
constexpr UINT Timeout = 60000;

std::wstring Widen(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

std::wstring ReadProgram(const wchar_t* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the program file");
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::wstring text;
    for (const wchar_t c : Widen(bytes.str())) {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            text += L'\r';
        text += c;
    }
    return text;
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindWorkbench(HWND window, LPARAM lParam) noexcept
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (owner != search->processId || lstrcmpW(name, L"TIDEForm") != 0 || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForWindow(DWORD processId)
{
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    Search search{processId, nullptr};
    while (std::chrono::steady_clock::now() < deadline) {
        EnumWindows(FindWorkbench, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        std::this_thread::sleep_for(50ms);
    }
    throw std::runtime_error("the workbench showed no window");
}

void Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, Timeout, &answer))
        throw std::runtime_error("the workbench did not answer");
}

int Showcase(int argc, wchar_t** argv)
{
    if (argc != 3 && !(argc == 5 && lstrcmpW(argv[3], L"--close-when") == 0))
        throw std::runtime_error("usage: qav_showcase WORKBENCH.exe PROGRAM_FILE [--close-when FILE]");
    std::wstring exe = argv[1];
    for (wchar_t& c : exe)
        if (c == L'/')
            c = L'\\';
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    const std::wstring program = ReadProgram(argv[2]);

    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        throw std::runtime_error("cannot start the workbench");
    const UniqueKernelObject process(started.hProcess);
    const UniqueKernelObject thread(started.hThread);

    const HWND window = WaitForWindow(started.dwProcessId);
    Send(GetDlgItem(window, TextId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(program.c_str()));
    Send(GetDlgItem(window, RunId), BM_CLICK, 0, 0);
    Send(window, WM_NULL, 0, 0);
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(500ms);

    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fflush(stdout);
    if (argc != 5)
        return 0;

    while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES)
        std::this_thread::sleep_for(50ms);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), Timeout) != WAIT_OBJECT_0)
        throw std::runtime_error("the workbench did not close");
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Showcase(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qav_showcase: %s\n", e.what());
        return 2;
    }
}
