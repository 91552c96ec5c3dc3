#include "binding/ImportTable.h"

#include <algorithm>
#include <cstring>

namespace {

const IMAGE_NT_HEADERS* Headers(HMODULE module) noexcept
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

// Calls visit(descriptor) for each entry of the module's import directory.
template <class Visit>
void ForEachImportedModule(HMODULE module, Visit visit)
{
    const IMAGE_NT_HEADERS* nt = Headers(module);
    if (!nt || nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size < sizeof(IMAGE_IMPORT_DESCRIPTOR))
        return;
    auto* base = reinterpret_cast<unsigned char*>(module);
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); d->Name != 0; ++d)
        visit(*d);
}

void Write(ULONG_PTR* entry, ULONG_PTR value) noexcept
{
    DWORD previous = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &previous))
        return;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, previous, &previous);
}

} // namespace

int DivertImports(HMODULE module, std::span<const ImportDiversion> diversions) noexcept
{
    auto* base = reinterpret_cast<unsigned char*>(module);
    int changed = 0;
    ForEachImportedModule(module, [&](const IMAGE_IMPORT_DESCRIPTOR& d) {
        if (d.OriginalFirstThunk == 0 || d.FirstThunk == 0)
            return;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d.OriginalFirstThunk);
        auto* bound = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d.FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            const auto diversion = std::find_if(diversions.begin(), diversions.end(),
                                                [name](const ImportDiversion& i) { return std::strcmp(i.name, name) == 0; });
            if (diversion == diversions.end())
                continue;
            void* const original = reinterpret_cast<void*>(bound->u1.Function);
            void* const replacement = diversion->replacement(original);
            if (!replacement || replacement == original)
                continue;
            Write(&bound->u1.Function, reinterpret_cast<ULONG_PTR>(replacement));
            ++changed;
        }
    });
    return changed;
}

std::vector<HMODULE> ImportHosts(HMODULE module)
{
    auto* base = reinterpret_cast<unsigned char*>(module);
    std::vector<HMODULE> hosts;
    ForEachImportedModule(module, [&](const IMAGE_IMPORT_DESCRIPTOR& d) {
        if (d.FirstThunk == 0)
            return;
        const auto* bound = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d.FirstThunk);
        HMODULE host = nullptr;
        if (bound->u1.Function == 0 ||
            !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(bound->u1.Function), &host))
            return;
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end())
            hosts.push_back(host);
    });
    return hosts;
}
