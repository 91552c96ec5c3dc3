#include "binding/LoadedModules.h"

#include "framework/win32/Paths.h"

#include <psapi.h>

#include <algorithm>
#include <cwctype>

namespace {

UnicodeString Lower(UnicodeString text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

UnicodeString WindowsFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return length == 0 || length > MAX_PATH ? UnicodeString() : Lower(UnicodeString(folder, length)) + L"\\";
}

bool FromTheSystem(HMODULE module)
{
    static const UnicodeString windows = WindowsFolder();
    return !windows.empty() && Lower(ModuleFileName(module)).starts_with(windows);
}

} // namespace

std::vector<HMODULE> LoadedModules()
{
    std::vector<HMODULE> modules(64);
    for (;;) {
        DWORD needed = 0;
        const DWORD size = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!K32EnumProcessModules(GetCurrentProcess(), modules.data(), size, &needed))
            return {};
        if (needed <= size) {
            modules.resize(needed / sizeof(HMODULE));
            return modules;
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
}

std::vector<HMODULE> ModulesBroughtSince(const std::vector<HMODULE>& before)
{
    std::vector<HMODULE> brought;
    for (HMODULE module : LoadedModules())
        if (std::find(before.begin(), before.end(), module) == before.end() && !FromTheSystem(module))
            brought.push_back(module);
    return brought;
}
