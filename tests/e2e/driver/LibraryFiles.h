// The files a test library keeps in its folder, seen from the test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// The lines of calls.txt in folder, in the order the calls arrived; none when it is missing.
std::vector<std::string> RecordedCalls(const std::filesystem::path& folder);

// Writes script.txt in folder: one "Operation answer" line each, e.g.
// "GetLog text a\r\nb", "GetVarStack null", "GetLog lines 1000 L", "GetParamStack fault access-violation".
void WriteScript(const std::filesystem::path& folder, const std::vector<std::string>& lines);

} // namespace e2e
