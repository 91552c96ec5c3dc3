#include "util/Myfunc.h"

#include "framework/win32/UniqueHandle.h"
#include "util/FileErrors.h"
#include "util/Utf8.h"

#include <string>

namespace {

// True for an existing file, also one held open elsewhere; false for a directory.
bool FileExists(const UnicodeString& fileName)
{
    const DWORD attributes = GetFileAttributesW(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the whole buffer; fewer bytes written than it holds is a write error.
void WriteAll(const UniqueFile& file, const std::string& bytes)
{
    if (bytes.empty())
        return;
    DWORD written = 0;
    const BOOL ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (!ok || written != bytes.size())
        throw FileWriteError();
}

} // namespace

void StrToFile(UnicodeString fileName, UnicodeString text)
{
    const std::string bytes = ToUtf8(text);
    const UniqueFile file(CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        throw FileCreateError(fileName, GetLastError());
    WriteAll(file, bytes);
}

// Opens an existing file or creates a missing one in the same call, so that a file
// appearing meanwhile (another process writing the same log) is appended to and
// never cut to length 0.
void AppendStrToFile(UnicodeString fileName, UnicodeString text)
{
    const std::string bytes = ToUtf8(text);
    const UniqueFile file(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD code = GetLastError();
        if (FileExists(fileName))
            throw FileOpenError(fileName, code);
        throw FileCreateError(fileName, code);
    }
    // Writing from the start of an existing file would overwrite its content.
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(file.Get(), none, nullptr, FILE_END))
        throw FileWriteError();
    WriteAll(file, bytes);
}
