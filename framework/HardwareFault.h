// A processor or system exception (access violation, division by zero, stack
// overflow...) caught in foreign code and rethrown from our own frame.
#pragma once

#include "framework/ForeignFailure.h"
#include "framework/UnicodeString.h"

#include <cstdint>

class HardwareFault : public ForeignFailure {
public:
    // code: the system's exception code; address: where it was raised; module:
    // the file name of the module holding that address (empty when none does);
    // dataAddress and write: for an access violation, the address touched and
    // whether it was written.
    HardwareFault(uint32_t code, uintptr_t address, UnicodeString module, uintptr_t dataAddress = 0,
                  bool write = false);

    uint32_t Code() const noexcept { return code_; }
    uintptr_t Address() const noexcept { return address_; }
    const UnicodeString& Module() const noexcept { return module_; }

    // For example: Access violation at address 0x6A1C1234 in module 'QAV.dll'.
    // Read of address 0x00000000.
    UnicodeString Message() const override;

    static bool IsStackOverflow(uint32_t code) noexcept { return code == 0xC00000FDu; }

private:
    uint32_t code_;
    uintptr_t address_;
    UnicodeString module_;
    uintptr_t dataAddress_;
    bool write_;
};
