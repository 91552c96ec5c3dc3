#include "tools/qavcheck/ForeignText.h"

#include "binding/FaultGuard.h"
#include "framework/Win.h"

#include <cstring>
#include <cwchar>

namespace {

bool InReturnedFrames(uintptr_t address, uintptr_t stackTop)
{
    ULONG_PTR low = 0, high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return address >= low && address < stackTop;
}

// Units up to the NUL, as the workbench measures a text; faults where readable memory ends first.
size_t Measure(const wchar_t* text) noexcept
{
    return std::wcslen(text);
}

// Room for the copy; false when it does not fit in memory, as the workbench's copy would not.
bool Allocate(std::wstring& text, size_t length) noexcept
{
    try {
        text.assign(length, L'\0');
        return true;
    } catch (...) {
        return false;
    }
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
        read.length = length;
        if (!Allocate(read.text, length)) {
            read.state = ForeignText::State::TooLong;
            return read;
        }
        wchar_t* copy = read.text.data();
        CallGuarded([&] { std::memcpy(copy, text, length * sizeof(wchar_t)); });
        read.state = ForeignText::State::Read;
    } catch (const HardwareFault&) {
        read.state = ForeignText::State::Unreadable;
        read.text.clear();
    }
    return read;
}
