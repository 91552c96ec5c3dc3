// Why Windows could not find a module for the library: the DLLs its import
// table names (and theirs, for DLLs found beside it or on the PATH) that are
// nowhere Windows looks for them.
#pragma once

#include <string>
#include <vector>

struct MissingImport {
    std::wstring name;       // the DLL that is missing
    std::wstring importedBy; // the file name of the module whose import table names it
};

// library: the library's full path; imports: its import table's DLLs. Looks as
// Windows does for a library loaded from its own folder: beside it, then in the
// system's folders and on the PATH; API sets count as the system's.
std::vector<MissingImport> FindMissingImports(const std::wstring& library, const std::vector<std::string>& imports);
