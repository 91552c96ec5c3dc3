#include "tools/qavcheck/MissingImports.h"

#include "framework/AsciiText.h"
#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"
#include "framework/win32/SizedString.h"
#include "framework/win32/UniqueHandle.h"
#include "tools/qavcheck/PeFile.h"

#include <set>

namespace {

// DLLs that depend on DLLs that depend on...: deeper than this is a loop or no real library.
constexpr int MaxDepth = 8;

std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.size() - FileNameOf(path).size());
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An API set (api-ms-win-..., ext-ms-...) names no file: the loader maps it to a system DLL.
bool IsApiSet(const std::wstring& name)
{
    const std::wstring lower = Lower(name);
    return lower.rfind(L"api-ms-", 0) == 0 || lower.rfind(L"ext-ms-", 0) == 0;
}

bool ApiSetResolves(const std::wstring& name)
{
    const UniqueModule module(LoadLibraryExW(name.c_str(), nullptr, 0));
    return module.Valid();
}

bool InSystemFolder(const std::wstring& path)
{
    const std::wstring windows = Lower(SizedString([](wchar_t* buffer, DWORD capacity) {
        return GetSystemWindowsDirectoryW(buffer, capacity);
    }));
    return !windows.empty() && Lower(path).rfind(windows, 0) == 0;
}

class Search {
public:
    explicit Search(std::wstring libraryFolder) : folder_(std::move(libraryFolder)) {}

    void Walk(const std::wstring& module, const std::vector<std::string>& imports, int depth)
    {
        for (const std::string& import : imports) {
            const std::wstring name = WidenAscii(import);
            if (!seen_.insert(Lower(name)).second)
                continue;
            const std::wstring found = Find(name);
            if (found.empty()) {
                missing_.push_back({name, module});
                continue;
            }
            // A system DLL's own imports are the system's business; a DLL shipped beside it is not.
            if (depth < MaxDepth && !InSystemFolder(found))
                WalkFile(found, depth + 1);
        }
    }

    std::vector<MissingImport> Missing() && { return std::move(missing_); }

private:
    // Where Windows finds the DLL; empty when it cannot.
    std::wstring Find(const std::wstring& name) const
    {
        if (IsFile(folder_ + name))
            return folder_ + name;
        if (IsApiSet(name))
            return ApiSetResolves(name) ? name : std::wstring();
        return SizedString([&](wchar_t* buffer, DWORD capacity) {
            return SearchPathW(nullptr, name.c_str(), nullptr, capacity, buffer, nullptr);
        });
    }

    void WalkFile(const std::wstring& path, int depth)
    {
        try {
            Walk(FileNameOf(path), ReadPeFile(path).imports, depth);
        } catch (const Exception&) {
            // A DLL that cannot be read fails the load some other way, which the error code tells.
        }
    }

    std::wstring folder_;
    std::set<std::wstring> seen_;
    std::vector<MissingImport> missing_;
};

} // namespace

std::vector<MissingImport> FindMissingImports(const std::wstring& library, const std::vector<std::string>& imports)
{
    Search search(FolderOf(library));
    search.Walk(FileNameOf(library), imports, 0);
    return std::move(search).Missing();
}
