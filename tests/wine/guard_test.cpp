// The fault guard of the device install step: GuardedCall returns 1 when
// the function returned and 0 when a fault below it was caught, and the
// program goes on normally either way.
#include <gtest/gtest.h>

#include <windows.h>

#include "device/guard.h"

namespace {

int *volatile g_pNull = nullptr;
volatile int g_zero = 0;

void Store42(void *pv) { *static_cast<int *>(pv) = 42; }

void WriteThenFault(void *pv)
{
    *static_cast<volatile int *>(pv) = 7;   // left behind for the caller
    *g_pNull = 1;
    *static_cast<volatile int *>(pv) = 8;   // never reached
}

void DivideByZero(void *pv) { *static_cast<volatile int *>(pv) = 100 / g_zero; }

void Raise(void *) { RaiseException(0xE0001234, 0, 0, NULL); }

__attribute__((noinline)) int Recurse(int depth)
{
    volatile char pad[256];
    pad[0] = char(depth);
    if (depth == 0)
        *g_pNull = pad[0];
    return Recurse(depth - 1) + pad[0];
}

void DeepFault(void *) { Recurse(200); }

void InnerCatches(void *pv)
{
    int *p = static_cast<int *>(pv);
    int inner = 0;
    p[0] = GuardedCall(WriteThenFault, &inner);
    p[1] = inner;
}

void InnerCatchesThenFault(void *pv)
{
    InnerCatches(pv);
    *g_pNull = 2;
}

TEST(GuardedCall, ReturnsOneWhenTheFunctionReturns)
{
    int value = 0;
    EXPECT_EQ(GuardedCall(Store42, &value), 1);
    EXPECT_EQ(value, 42);
}

TEST(GuardedCall, CatchesFaultsAndKeepsWhatWasWrittenBefore)
{
    int value = 0;
    EXPECT_EQ(GuardedCall(WriteThenFault, &value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(GuardedCall(DivideByZero, &value), 0);
    EXPECT_EQ(GuardedCall(Raise, nullptr), 0);
    EXPECT_EQ(GuardedCall(DeepFault, nullptr), 0);
}

TEST(GuardedCall, NestsAndStaysUsableAfterManyFaults)
{
    int results[2] = {-1, -1};
    EXPECT_EQ(GuardedCall(InnerCatches, results), 1);
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 7);

    results[0] = results[1] = -1;
    EXPECT_EQ(GuardedCall(InnerCatchesThenFault, results), 0);
    EXPECT_EQ(results[0], 0);

    // Values the caller keeps in registers across the call survive a fault.
    long returned = 0, written = 0;
    unsigned long mixed = 3, expectedMixed = 3;
    for (int i = 0; i < 200; ++i) {
        int value = 0;
        returned += GuardedCall(i % 2 ? WriteThenFault : Store42, &value);
        written += value;
        mixed = mixed * 31 + i;
    }
    for (int i = 0; i < 200; ++i)
        expectedMixed = expectedMixed * 31 + i;
    EXPECT_EQ(returned, 100);
    EXPECT_EQ(written, 100 * 42 + 100 * 7);
    EXPECT_EQ(mixed, expectedMixed);
    int value = 0;
    EXPECT_EQ(GuardedCall(Store42, &value), 1);
}

}  // namespace
