// The copies of the program that the workbench saves before it ends during a
// library call, seen from the test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// The bytes a program text must be saved as: UTF-8, no byte-order mark.
std::string Utf8(const std::wstring& text);

// The files QAVDemo-program-<date>-<time>.txt in folder.
std::vector<std::filesystem::path> SavedCopies(const std::filesystem::path& folder);

// A file's bytes; empty when it cannot be read.
std::string FileBytes(const std::filesystem::path& file);

} // namespace e2e
