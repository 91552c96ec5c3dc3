// What the library's file says about itself, read without loading it: its
// architecture, whether it is a DLL, the names it exports and the DLLs it imports.
#pragma once

#include "framework/UnicodeString.h"

#include <cstdint>
#include <string>
#include <vector>

struct PeFile {
    uint16_t machine = 0;   // IMAGE_FILE_MACHINE_*
    bool isDll = false;
    uint64_t imageBase = 0; // where the linker meant it to load
    std::vector<std::string> exports;
    std::vector<std::string> imports; // the DLLs its import table names, in its order
};

// Throws Exception when the file cannot be read or is not a PE file; every
// offset in it is checked before it is used.
PeFile ReadPeFile(const std::wstring& path);

// "x86 (32-bit)", "x64 (64-bit)", "ARM64"...; a number for machines it does not know.
UnicodeString MachineName(uint16_t machine);

// The machine this checker (and the workbench of the same build) runs as.
uint16_t OwnMachine();
