#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    InstallFreshFolderPerTest();
    return RUN_ALL_TESTS();
}
