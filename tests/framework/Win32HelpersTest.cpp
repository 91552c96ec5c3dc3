#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/FileBytes.h"
#include "framework/win32/Paths.h"
#include "framework/win32/SystemErrorText.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

bool Contains(const UnicodeString& text, const UnicodeString& part)
{
    return text.find(part) != UnicodeString::npos;
}

TEST(Paths, FullPathResolvesAgainstTheCurrentFolderWithoutALengthLimit)
{
    const UnicodeString folder = TestDir().wstring();
    EXPECT_EQ(FullPath(L"QAV.dll"), folder + L"\\QAV.dll");
    // Longer than MAX_PATH: resolved whole, not cut.
    const UnicodeString deep = UnicodeString(300, L'd') + L"\\QAV.dll";
    EXPECT_EQ(FullPath(deep), folder + L"\\" + deep);
    EXPECT_EQ(FullPath(L""), L"");
}

TEST(Paths, FileNameOfTakesThePartAfterEitherSlash)
{
    EXPECT_EQ(FileNameOf(L"C:\\bin\\QAV.dll"), L"QAV.dll");
    EXPECT_EQ(FileNameOf(L"bin/QAV.dll"), L"QAV.dll");
    EXPECT_EQ(FileNameOf(L"QAV.dll"), L"QAV.dll");
    EXPECT_EQ(FileNameOf(L"C:\\bin\\"), L"");
}

TEST(Paths, ModuleFileNameIsTheProgramsOwnPath)
{
    const UnicodeString path = ModuleFileName(nullptr);
    EXPECT_EQ(FullPath(path), path);
    EXPECT_TRUE(path.ends_with(L".exe")) << testing::PrintToString(path);
}

TEST(ReadFileBytes, ReadsTheWholeFileAsItsBytes)
{
    std::string bytes(3 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    std::ofstream(TestDir() / L"whole.bin", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(ReadFileBytes(L"whole.bin", L"the file", 4 << 20), bytes);
    std::ofstream(TestDir() / L"empty.bin", std::ios::binary);
    EXPECT_EQ(ReadFileBytes(L"empty.bin", L"the file", 0), "");
}

TEST(ReadFileBytes, NamesTheFileAndTheCauseInItsErrors)
{
    const auto message = [](const UnicodeString& path, uint64_t limit) {
        try {
            ReadFileBytes(path, L"the program file 'x'", limit);
        } catch (const Exception& e) {
            return e.Message();
        }
        return UnicodeString(L"no error");
    };
    const UnicodeString missing = message(L"missing.txt", 1 << 20);
    EXPECT_TRUE(missing.starts_with(L"cannot open the program file 'x': ")) << testing::PrintToString(missing);
    EXPECT_TRUE(missing.ends_with(L"(error " + std::to_wstring(ERROR_FILE_NOT_FOUND) + L")"));

    std::ofstream(TestDir() / L"big.bin", std::ios::binary) << std::string((2 << 20) + 1, 'x');
    EXPECT_EQ(message(L"big.bin", 2 << 20), L"the program file 'x' is larger than 2 MB");
}

TEST(ErrorCodeText, IsOneLineEndingInTheCode)
{
    for (const DWORD code : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_FILE_NOT_FOUND}, DWORD{0x2A5B7}}) {
        const UnicodeString text = ErrorCodeText(code);
        EXPECT_FALSE(Contains(text, L"\r") || Contains(text, L"\n")) << testing::PrintToString(text);
        EXPECT_TRUE(text.ends_with(L" (error " + std::to_wstring(code) + L")")) << testing::PrintToString(text);
    }
}

} // namespace
