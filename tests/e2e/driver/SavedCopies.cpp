#include "tests/e2e/driver/SavedCopies.h"

#include "framework/Win.h"

#include <fstream>
#include <iterator>
#include <regex>

namespace e2e {

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::vector<std::filesystem::path> SavedCopies(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::wstring name = entry.path().filename().wstring();
        if (std::regex_match(name, std::wregex(L"QAVDemo-program-[0-9]{8}-[0-9]{6}\\.txt")))
            found.push_back(entry.path());
    }
    return found;
}

std::string FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace e2e
