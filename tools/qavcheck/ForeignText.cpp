#include "tools/qavcheck/ForeignText.h"

#include "binding/FaultGuard.h"
#include "framework/Win.h"

#include <cstring>

namespace {

bool InReturnedFrames(uintptr_t address, uintptr_t stackTop)
{
    ULONG_PTR low = 0, high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return address >= low && address < stackTop;
}

// Units up to the NUL, or TextLimit + 1 when there is none that soon.
size_t Measure(const volatile wchar_t* text) noexcept
{
    size_t n = 0;
    while (n <= TextLimit && text[n] != 0)
        ++n;
    return n;
}

} // namespace

ForeignText ReadForeignText(const wchar_t* text, uintptr_t stackTop)
{
    ForeignText read;
    read.address = reinterpret_cast<uintptr_t>(text);
    if (text == nullptr)
        return read;
    if (InReturnedFrames(reinterpret_cast<uintptr_t>(text), stackTop)) {
        read.state = ForeignText::State::Dangling;
        return read;
    }
    read.place = LocateInHeaps(read.address);
    if (read.place == HeapPlace::Freed) {
        read.state = ForeignText::State::Freed;
        return read;
    }
    try {
        const size_t length = CallGuarded([text] { return Measure(text); });
        if (length > TextLimit) {
            read.state = ForeignText::State::TooLong;
            return read;
        }
        read.text.assign(length, L'\0');
        wchar_t* copy = read.text.data();
        CallGuarded([&] { std::memcpy(copy, text, length * sizeof(wchar_t)); });
        read.state = ForeignText::State::Read;
    } catch (const HardwareFault&) {
        read.state = ForeignText::State::Unreadable;
        read.text.clear();
    }
    return read;
}
