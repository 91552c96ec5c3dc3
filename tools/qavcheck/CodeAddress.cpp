#include "tools/qavcheck/CodeAddress.h"

#include "framework/win32/Paths.h"

CodeAddress LocateCode(HMODULE library, uintptr_t address)
{
    HMODULE owner = nullptr; // borrowed: the reference count is unchanged
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &owner))
        return {CodePlace::Elsewhere, {}};
    if (owner != library)
        return {CodePlace::OtherModule, FileNameOf(ModuleFileName(owner))};
    // The loader mapped these headers and checked them: they can be read as they are.
    const auto base = reinterpret_cast<uintptr_t>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const uintptr_t rva = address - base;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (rva >= section->VirtualAddress && rva - section->VirtualAddress < section->Misc.VirtualSize)
            return {(section->Characteristics & IMAGE_SCN_MEM_EXECUTE) ? CodePlace::LibraryCode
                                                                        : CodePlace::LibraryData,
                    {}};
    }
    return {CodePlace::LibraryData, {}};
}
