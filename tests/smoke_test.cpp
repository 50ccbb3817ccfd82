#include <gtest/gtest.h>
#include "shell/tuSystem.h"
TEST(Smoke, Builds) { EXPECT_EQ(tuSystem::WAIT_NEVER, 999999999u); }
