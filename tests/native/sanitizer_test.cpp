// The native tests are only worth their sanitizers while these are really
// compiled in: a heap overrun and a signed overflow must each end a program
// with the sanitizer's report. (Built only in the sanitized tree.)
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace {

TEST(SanitizersDeathTest, AHeapOverrunAndASignedOverflowEndTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    volatile size_t cb = 8;
    EXPECT_DEATH(
        {
            char *volatile pb = static_cast<char *>(malloc(cb));
            pb[cb] = 1;   // one past the end
            free(pb);
        },
        "heap-buffer-overflow");
    volatile int n = INT_MAX;
    EXPECT_DEATH(
        {
            volatile int sum = n + 1;
            (void)sum;
        },
        "signed integer overflow");
}

}  // namespace
