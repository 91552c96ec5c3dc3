#include "tests/e2e/driver/LibraryFiles.h"

#include <fstream>
#include <stdexcept>

namespace e2e {

std::vector<std::string> RecordedCalls(const std::filesystem::path& folder)
{
    std::vector<std::string> calls;
    std::ifstream in(folder / "calls.txt", std::ios::binary);
    for (std::string line; std::getline(in, line);)
        calls.push_back(line);
    return calls;
}

void WriteScript(const std::filesystem::path& folder, const std::vector<std::string>& lines)
{
    std::ofstream out(folder / "script.txt", std::ios::binary | std::ios::trunc);
    for (const auto& line : lines)
        out << line << '\n';
    if (!out.flush())
        throw std::runtime_error("cannot write script.txt");
}

} // namespace e2e
