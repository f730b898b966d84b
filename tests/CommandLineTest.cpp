#include <gtest/gtest.h>
#include "RunProgram.h"
TEST(CommandLine, Placeholder) { EXPECT_TRUE(true); }
