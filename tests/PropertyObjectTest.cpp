#include <gtest/gtest.h>
#include "PropertyObject.h"
TEST(PropertyObject, Placeholder) { EXPECT_TRUE(true); }
