#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <system_error>

namespace {

std::filesystem::path g_dir;
std::filesystem::path g_home;

class FreshFolderPerTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& info) override
    {
        static std::atomic<unsigned> counter{0};
        g_home = std::filesystem::current_path();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::string name = std::string(info.name()).substr(0, 40);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        g_dir = std::filesystem::temp_directory_path() /
                ("qavtest-" + name + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(g_dir);
        std::filesystem::current_path(g_dir);
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        std::error_code ec;
        std::filesystem::current_path(g_home, ec);
        std::filesystem::remove_all(g_dir, ec);
    }
};

} // namespace

std::filesystem::path TestDir()
{
    return g_dir;
}

void InstallFreshFolderPerTest()
{
    testing::UnitTest::GetInstance()->listeners().Append(new FreshFolderPerTest);
}
