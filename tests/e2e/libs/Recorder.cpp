#include "tests/e2e/libs/Recorder.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/FileBytes.h"
#include "framework/win32/Paths.h"
#include "framework/win32/UniqueHandle.h"

namespace {

// A test's script is a few lines.
constexpr uint64_t ScriptBytes = 1 << 20;

UniqueFile OpenFile(const std::wstring& path, DWORD access, DWORD disposition)
{
    return UniqueFile(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring BesideThisLibrary(const wchar_t* name)
{
    HMODULE self = nullptr; // borrowed: the reference count is unchanged
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&BesideThisLibrary), &self);
    std::wstring path = ModuleFileName(self);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + name;
}

} // namespace

void RecordCall(const std::string& line) noexcept
{
    try {
        const UniqueFile file = OpenFile(BesideThisLibrary(L"calls.txt"), FILE_APPEND_DATA, OPEN_ALWAYS);
        if (!file)
            return;
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        FlushFileBuffers(file.Get());
    } catch (...) {
    }
}

std::string ScriptLine(const std::string& operation)
{
    std::string content;
    try {
        content = ReadFileBytes(BesideThisLibrary(L"script.txt"), L"the script", ScriptBytes);
    } catch (const Exception&) {
        return {}; // no script: every operation does its default
    }
    const std::string prefix = operation + " ";
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
        start = end + 1;
    }
    return {};
}
