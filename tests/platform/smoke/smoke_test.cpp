#include <gtest/gtest.h>

extern "C" const char* kelmo_platform_version();

TEST(PlatformLibrary, Loads) { EXPECT_STREQ(kelmo_platform_version(), "1.0"); }
