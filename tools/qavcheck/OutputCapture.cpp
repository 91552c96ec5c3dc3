#include "tools/qavcheck/OutputCapture.h"

#include "framework/Exception.h"
#include "framework/win32/SystemErrorText.h"
#include "framework/win32/UniqueHandle.h"

#include <mutex>

// Shared with the reading thread, which holds it until the pipe ends.
struct OutputCapture::State {
    UniqueFile reader;
    UniqueFile writer;
    UniqueKernelObject ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::mutex lock;
    std::string bytes;
    uint64_t total = 0;
};

namespace {

DWORD WINAPI ReadAll(void* parameter) noexcept
{
    const std::unique_ptr<std::shared_ptr<OutputCapture::State>> owner(
        static_cast<std::shared_ptr<OutputCapture::State>*>(parameter));
    OutputCapture::State& state = **owner;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(state.reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        const std::lock_guard<std::mutex> hold(state.lock);
        state.total += read;
        state.bytes.append(buffer, read);
        if (state.bytes.size() > OutputCapture::KeptBytes)
            state.bytes.erase(0, state.bytes.size() - OutputCapture::KeptBytes);
    }
    SetEvent(state.ended.Get());
    return 0;
}

[[noreturn]] void Fail(const wchar_t* what)
{
    const DWORD error = GetLastError();
    throw Exception(UnicodeString(what) + L": " + ErrorCodeText(error));
}

} // namespace

OutputCapture::OutputCapture() : state_(std::make_shared<State>())
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (!state_->ended || !CreatePipe(&reader, &writer, &inherit, 0))
        Fail(L"cannot create a pipe for the session's output");
    state_->reader.Reset(reader);
    state_->writer.Reset(writer);
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    auto owner = std::make_unique<std::shared_ptr<State>>(state_);
    const HANDLE thread = CreateThread(nullptr, 64 * 1024, ReadAll, owner.get(), 0, nullptr);
    if (!thread)
        Fail(L"cannot start the thread that reads the session's output");
    owner.release();
    CloseHandle(thread);
}

HANDLE OutputCapture::Writer() const
{
    return state_->writer.Get();
}

void OutputCapture::CloseWriter()
{
    state_->writer.Reset();
}

OutputCapture::Taken OutputCapture::Take(std::chrono::milliseconds wait)
{
    WaitForSingleObject(state_->ended.Get(), static_cast<DWORD>(wait.count()));
    const std::lock_guard<std::mutex> hold(state_->lock);
    return {state_->bytes, state_->total};
}

std::wstring DecodeOutput(std::string bytes)
{
    // Only the last bytes are kept: the first may be the tail of a cut UTF-8 sequence.
    size_t cut = 0;
    while (cut < 3 && cut < bytes.size() && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        ++cut;
    bytes.erase(0, cut);
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    UINT page = CP_UTF8;
    int wide = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (wide <= 0) {
        page = CP_ACP;
        wide = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
    }
    std::wstring text(static_cast<size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        MultiByteToWideChar(page, page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, bytes.data(), size, text.data(), wide);
    return text;
}
