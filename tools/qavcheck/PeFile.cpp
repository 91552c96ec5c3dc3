#include "tools/qavcheck/PeFile.h"

#include "framework/Exception.h"
#include "framework/HexText.h"
#include "framework/Win.h"
#include "framework/win32/FileBytes.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Headers and export names lie near the start, but a file is read whole only up to this.
constexpr uint64_t MaxFileBytes = 512ull * 1024 * 1024;
constexpr size_t MaxExportName = 4096;

class Image {
public:
    explicit Image(std::string bytes) : bytes_(std::move(bytes)) {}

    template <class T>
    std::optional<T> At(uint64_t offset) const
    {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T))
            return std::nullopt;
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
        return value;
    }

    std::optional<std::string> NameAt(uint64_t offset) const
    {
        if (offset >= bytes_.size())
            return std::nullopt;
        const size_t room = std::min(bytes_.size() - static_cast<size_t>(offset), MaxExportName);
        const char* start = bytes_.data() + offset;
        const void* end = std::memchr(start, 0, room);
        if (!end)
            return std::nullopt;
        return std::string(start, static_cast<const char*>(end));
    }

private:
    std::string bytes_;
};

[[noreturn]] void NotPe(const wchar_t* why)
{
    throw Exception(UnicodeString(L"not a Windows DLL: ") + why);
}

template <class T>
T Need(std::optional<T> value, const wchar_t* what)
{
    if (!value)
        NotPe(what);
    return *value;
}

// File offsets of the sections, to find where an address of the loaded image lies in the file.
class Sections {
public:
    Sections(const Image& image, uint64_t first, unsigned count)
    {
        for (unsigned i = 0; i < count; ++i)
            sections_.push_back(Need(image.At<IMAGE_SECTION_HEADER>(first + i * sizeof(IMAGE_SECTION_HEADER)),
                                     L"its section table is cut short"));
    }

    std::optional<uint64_t> Offset(uint32_t rva) const
    {
        for (const auto& s : sections_) {
            const uint32_t span = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span) {
                const uint32_t into = rva - s.VirtualAddress;
                if (into >= s.SizeOfRawData)
                    return std::nullopt;
                return uint64_t{s.PointerToRawData} + into;
            }
        }
        return std::nullopt;
    }

private:
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

std::vector<std::string> ExportNames(const Image& image, const Sections& sections, IMAGE_DATA_DIRECTORY directory)
{
    std::vector<std::string> names;
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return names;
    const auto at = sections.Offset(directory.VirtualAddress);
    const auto table = at ? image.At<IMAGE_EXPORT_DIRECTORY>(*at) : std::nullopt;
    if (!table)
        return names;
    const auto nameList = sections.Offset(table->AddressOfNames);
    if (!nameList)
        return names;
    // More names than a DLL can have are a damaged table: read what fits.
    const uint32_t count = std::min<uint32_t>(table->NumberOfNames, 65536);
    for (uint32_t i = 0; i < count; ++i) {
        const auto rva = image.At<uint32_t>(*nameList + 4ull * i);
        const auto offset = rva ? sections.Offset(*rva) : std::nullopt;
        const auto name = offset ? image.NameAt(*offset) : std::nullopt;
        if (name)
            names.push_back(*name);
    }
    return names;
}

std::vector<std::string> ImportNames(const Image& image, const Sections& sections, IMAGE_DATA_DIRECTORY directory)
{
    std::vector<std::string> names;
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return names;
    const auto table = sections.Offset(directory.VirtualAddress);
    if (!table)
        return names;
    // The table ends with a descriptor of zeros; more than a DLL can import is a damaged one.
    for (uint64_t i = 0; i < 65536; ++i) {
        const auto entry = image.At<IMAGE_IMPORT_DESCRIPTOR>(*table + i * sizeof(IMAGE_IMPORT_DESCRIPTOR));
        if (!entry || entry->Name == 0)
            break;
        const auto offset = sections.Offset(entry->Name);
        const auto name = offset ? image.NameAt(*offset) : std::nullopt;
        if (name)
            names.push_back(*name);
    }
    return names;
}

} // namespace

PeFile ReadPeFile(const std::wstring& path)
{
    const Image image(ReadFileBytes(path, L"the file", MaxFileBytes));
    const auto dos = Need(image.At<IMAGE_DOS_HEADER>(0), L"it is too short");
    if (dos.e_magic != IMAGE_DOS_SIGNATURE)
        NotPe(L"it does not start with MZ");
    const uint64_t nt = static_cast<uint32_t>(dos.e_lfanew);
    if (Need(image.At<uint32_t>(nt), L"its PE header is missing") != IMAGE_NT_SIGNATURE)
        NotPe(L"it has no PE header");
    const auto header = Need(image.At<IMAGE_FILE_HEADER>(nt + 4), L"its file header is cut short");
    const uint64_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);

    PeFile file;
    file.machine = header.Machine;
    file.isDll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    const uint16_t magic = Need(image.At<uint16_t>(optional), L"its optional header is missing");
    IMAGE_DATA_DIRECTORY exports{};
    IMAGE_DATA_DIRECTORY imports{};
    const auto directories = [&](const auto& o) {
        file.imageBase = o.ImageBase;
        if (o.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT)
            exports = o.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (o.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT)
            imports = o.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    };
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        directories(Need(image.At<IMAGE_OPTIONAL_HEADER32>(optional), L"its optional header is cut short"));
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        directories(Need(image.At<IMAGE_OPTIONAL_HEADER64>(optional), L"its optional header is cut short"));
    } else {
        NotPe(L"its optional header is of an unknown kind");
    }
    const Sections sections(image, optional + header.SizeOfOptionalHeader, header.NumberOfSections);
    file.exports = ExportNames(image, sections, exports);
    file.imports = ImportNames(image, sections, imports);
    return file;
}

UnicodeString MachineName(uint16_t machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return L"x86 (32-bit)";
    case IMAGE_FILE_MACHINE_AMD64: return L"x64 (64-bit)";
    case 0xAA64: return L"ARM64";
    case IMAGE_FILE_MACHINE_ARMNT: return L"ARM (32-bit)";
    case IMAGE_FILE_MACHINE_IA64: return L"Itanium";
    default: return L"machine " + HexText(machine, 4);
    }
}

uint16_t OwnMachine()
{
#if defined(_WIN64)
    return IMAGE_FILE_MACHINE_AMD64;
#else
    return IMAGE_FILE_MACHINE_I386;
#endif
}
