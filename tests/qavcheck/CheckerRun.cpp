#include "tests/qavcheck/CheckerRun.h"

#include "tests/e2e/driver/AppDriver.h"
#include "util/Utf8.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {


UniqueKernelObject InheritableFile(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path.string());
    return UniqueKernelObject(file);
}

std::vector<std::wstring> Lines(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    std::wstring wide(text.size(), L'\0');
    if (!text.empty())
        wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                            wide.data(), static_cast<int>(wide.size()))));
    std::vector<std::wstring> lines;
    std::wstringstream stream(wide);
    for (std::wstring line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::wstring Quote(const std::wstring& arg)
{
    return L"\"" + arg + L"\"";
}

} // namespace

std::vector<std::wstring> CheckerRun::Starting(const std::wstring& prefix) const
{
    std::vector<std::wstring> found;
    for (const auto& line : out)
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
}

std::vector<std::wstring> CheckerRun::Findings() const
{
    std::vector<std::wstring> found = Starting(L"error: ");
    for (const auto& line : Starting(L"warning: "))
        found.push_back(line);
    return found;
}

std::string CheckerRun::Transcript() const
{
    std::string text = "exit code " + std::to_string(exitCode) + "\n";
    for (const auto& line : out)
        text += "  " + ToUtf8(line) + "\n";
    for (const auto& line : err)
        text += "  stderr: " + ToUtf8(line) + "\n";
    return text;
}

CheckerRun RunChecker(const std::vector<std::wstring>& args, std::chrono::milliseconds timeout,
                      const std::filesystem::path& exe)
{
    const std::filesystem::path program = exe.empty() ? e2e::BinDir() / L"qavcheck.exe" : exe;
    const auto folder = std::filesystem::current_path();
    const auto outPath = folder / L"qavcheck-out.txt";
    const auto errPath = folder / L"qavcheck-err.txt";
    CheckerRun run;
    {
        const UniqueKernelObject out = InheritableFile(outPath);
        const UniqueKernelObject err = InheritableFile(errPath);
        std::wstring commandLine = Quote(program.wstring());
        for (const auto& arg : args)
            commandLine += L" " + Quote(arg);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        PROCESS_INFORMATION info{};
        const auto start = std::chrono::steady_clock::now();
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &info))
            throw std::runtime_error("cannot start " + program.string());
        const UniqueKernelObject process(info.hProcess);
        const UniqueKernelObject thread(info.hThread);
        if (WaitForSingleObject(process.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
            TerminateProcess(process.Get(), 99);
            WaitForSingleObject(process.Get(), 10000);
            throw std::runtime_error(program.filename().string() + " still ran after the test's timeout");
        }
        run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        run.exitCode = code;
    }
    run.out = Lines(outPath);
    run.err = Lines(errPath);
    return run;
}
