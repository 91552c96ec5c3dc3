// Every test runs with a fresh temporary folder as its current directory.
#pragma once

#include <filesystem>

// The current test's own temporary folder (also the current directory).
std::filesystem::path TestDir();

// Called by the test main before the tests run.
void InstallFreshFolderPerTest();
