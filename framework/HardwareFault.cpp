#include "framework/HardwareFault.h"

#include "framework/HexText.h"

namespace {

const wchar_t* FaultName(uint32_t code)
{
    switch (code) {
    case 0xC0000005u: return L"Access violation";
    case 0xC000001Du: return L"Illegal instruction";
    case 0xC0000096u: return L"Privileged instruction";
    case 0xC0000094u: return L"Integer division by zero";
    case 0xC0000095u: return L"Integer overflow";
    case 0xC00000FDu: return L"Stack overflow";
    case 0xC000008Cu: return L"Array bounds exceeded";
    case 0xC000008Du: return L"Floating point denormal operand";
    case 0xC000008Eu: return L"Floating point division by zero";
    case 0xC000008Fu: return L"Floating point inexact result";
    case 0xC0000090u: return L"Floating point invalid operation";
    case 0xC0000091u: return L"Floating point overflow";
    case 0xC0000092u: return L"Floating point stack check";
    case 0xC0000093u: return L"Floating point underflow";
    case 0xC0000006u: return L"In-page error";
    case 0x80000001u: return L"Guard page violation";
    case 0x80000002u: return L"Misaligned data";
    case 0x80000003u: return L"Breakpoint";
    case 0x80000004u: return L"Single step";
    case 0xE06D7363u: return L"Unhandled C++ exception";
    default: return nullptr;
    }
}

} // namespace

HardwareFault::HardwareFault(uint32_t code, uintptr_t address, UnicodeString module, uintptr_t dataAddress,
                             bool write)
    : code_(code), address_(address), module_(std::move(module)), dataAddress_(dataAddress), write_(write)
{
}

UnicodeString HardwareFault::Message() const
{
    const wchar_t* name = FaultName(code_);
    UnicodeString text = name ? UnicodeString(name) : L"System exception " + HexText(code_, 8);
    text += L" at address " + AddressText(address_);
    if (!module_.empty())
        text += L" in module '" + module_ + L"'";
    text += L".";
    if (code_ == 0xC0000005u)
        text += (write_ ? L" Write of address " : L" Read of address ") + AddressText(dataAddress_) + L".";
    return text;
}
