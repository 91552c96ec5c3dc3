#include "tools/qavcheck/ProgramFile.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/FileBytes.h"

#include <string_view>

// A program of the sample interpreter's language that runs cleanly and leaves
// something in every pane: a variable, an object, a function called, a line printed.
const wchar_t* const DefaultProgram = L"var pet = { name: \"Rex\", age: 3 };\r\n"
                                      L"function older(p, years) { return p.age + years; }\r\n"
                                      L"print pet.name + \" is \" + pet.age;\r\n"
                                      L"older(pet, 1 + 2);\r\n";

namespace {

// MultiByteToWideChar counts the bytes in an int.
constexpr uint64_t MaxProgramBytes = 0x7FFFFFFF;

std::wstring Decode(std::string_view bytes, const std::wstring& path)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0)
            throw Exception(L"the program file '" + path + L"' is UTF-16 with an odd number of bytes");
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return text;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        throw Exception(L"the program file '" + path + L"' is neither UTF-8 nor UTF-16 with a byte-order mark");
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), wide);
    return text;
}

std::wstring WithCrLf(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            out += L'\r';
        out += text[i];
    }
    return out;
}

} // namespace

std::wstring ReadProgramFile(const std::wstring& path)
{
    return WithCrLf(Decode(ReadFileBytes(path, L"the program file '" + path + L"'", MaxProgramBytes), path));
}
