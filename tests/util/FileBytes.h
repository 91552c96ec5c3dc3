// Whole files as bytes, for checking what the file operations wrote.
#pragma once

#include <filesystem>
#include <string>

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
