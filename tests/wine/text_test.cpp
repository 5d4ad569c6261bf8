// FormatText as the Windows builds have it (msvcrt's _vsnprintf, which does
// not terminate a text that fills the buffer): cut texts are terminated and
// reported, nothing is written past the buffer.
#include <gtest/gtest.h>

#include <cstring>

#include "base/text.h"

TEST(FormatText, CutsTerminatesAndReportsUnderMsvcrt)
{
    char sz[9];
    memset(sz, '#', sizeof sz);
    EXPECT_TRUE(FormatText(sz, 8, "%s-%d", "abc", 123));   // 7 characters: fits
    EXPECT_STREQ(sz, "abc-123");
    EXPECT_FALSE(FormatText(sz, 8, "%s-%d", "abc", 1234));   // exactly 8: no room for the NUL
    EXPECT_STREQ(sz, "abc-123");
    EXPECT_FALSE(FormatText(sz, 8, "%s", "a much longer text"));
    EXPECT_STREQ(sz, "a much ");
    EXPECT_EQ(sz[8], '#');
}
