#include "tools/qavcheck/SessionPipe.h"

#include <cstdint>
#include <cstring>

namespace {

// More than any message carries: a longer length means the stream is damaged.
constexpr uint32_t MaxMessageBytes = 1u << 30;

class Encoder {
public:
    template <class T>
    void Put(T value)
    {
        const auto at = bytes_.size();
        bytes_.resize(at + sizeof value);
        std::memcpy(bytes_.data() + at, &value, sizeof value);
    }

    void Put(const std::wstring& text)
    {
        Put(static_cast<uint32_t>(text.size()));
        bytes_.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }

    // The message with its length in front.
    std::string Framed() const
    {
        const auto length = static_cast<uint32_t>(bytes_.size());
        std::string framed(reinterpret_cast<const char*>(&length), sizeof length);
        return framed + bytes_;
    }

private:
    std::string bytes_;
};

class Decoder {
public:
    explicit Decoder(const std::string& bytes) : bytes_(bytes) {}

    template <class T>
    bool Get(T& value)
    {
        if (bytes_.size() - at_ < sizeof value)
            return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }

    bool Get(std::wstring& text)
    {
        uint32_t units = 0;
        if (!Get(units) || (bytes_.size() - at_) / sizeof(wchar_t) < units)
            return false;
        text.assign(units, L'\0');
        std::memcpy(text.data(), bytes_.data() + at_, units * sizeof(wchar_t));
        at_ += units * sizeof(wchar_t);
        return true;
    }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

bool ReadExactly(HANDLE pipe, char* into, uint32_t count)
{
    while (count > 0) {
        DWORD read = 0;
        if (!ReadFile(pipe, into, count, &read, nullptr) || read == 0)
            return false;
        into += read;
        count -= read;
    }
    return true;
}

} // namespace

void SessionWriter::Send(const SessionMessage& message) noexcept
{
    try {
        Encoder encoder;
        encoder.Put(static_cast<uint8_t>(message.kind));
        encoder.Put(static_cast<uint8_t>(message.event.kind));
        encoder.Put(static_cast<uint8_t>(message.event.severity));
        encoder.Put(static_cast<uint8_t>(message.end));
        encoder.Put(message.event.milliseconds);
        encoder.Put(message.event.operation);
        encoder.Put(message.event.text);
        encoder.Put(message.event.fix);
        encoder.Put(message.text);
        const std::string framed = encoder.Framed();
        const std::lock_guard<std::mutex> hold(lock_);
        size_t sent = 0;
        while (sent < framed.size()) {
            DWORD written = 0;
            if (!WriteFile(pipe_, framed.data() + sent, static_cast<DWORD>(framed.size() - sent), &written, nullptr))
                return; // qavcheck is gone: nobody is left to tell
            sent += written;
        }
    } catch (...) {
    }
}

std::optional<SessionMessage> ReadMessage(HANDLE pipe)
{
    uint32_t length = 0;
    if (!ReadExactly(pipe, reinterpret_cast<char*>(&length), sizeof length) || length > MaxMessageBytes)
        return std::nullopt;
    std::string bytes(length, '\0');
    if (!ReadExactly(pipe, bytes.data(), length))
        return std::nullopt;
    Decoder decoder(bytes);
    uint8_t kind = 0, eventKind = 0, severity = 0, end = 0;
    SessionMessage message;
    if (!decoder.Get(kind) || !decoder.Get(eventKind) || !decoder.Get(severity) || !decoder.Get(end) ||
        !decoder.Get(message.event.milliseconds) || !decoder.Get(message.event.operation) ||
        !decoder.Get(message.event.text) || !decoder.Get(message.event.fix) || !decoder.Get(message.text))
        return std::nullopt;
    message.kind = static_cast<SessionMessage::Kind>(kind);
    message.event.kind = static_cast<ReportEntry::Kind>(eventKind);
    message.event.severity = static_cast<Severity>(severity);
    message.end = static_cast<SessionEnd>(end);
    return message;
}
