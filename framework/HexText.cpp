#include "framework/HexText.h"

#include <cwchar>

UnicodeString HexDigits(uint64_t value, int digits)
{
    wchar_t buffer[24];
    std::swprintf(buffer, 24, L"%0*llX", digits, static_cast<unsigned long long>(value));
    return buffer;
}

UnicodeString HexText(uint64_t value, int digits)
{
    return L"0x" + HexDigits(value, digits);
}

UnicodeString AddressText(uintptr_t address)
{
    return HexText(address, static_cast<int>(2 * sizeof(uintptr_t)));
}
