// Memory primitives on more than 2 GiB (label "large": needs about 4 GiB of memory).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sigprim.h"
#include "slots.h"

// Byte counts beyond the signed 32-bit range: copied and zeroed whole, never cut short.
TEST(LargeCopy, BeyondTwoGibibytes)
{
    const int32_t len = 268435456;  // 2^31 bytes of complex values
    std::vector<cf32> src(size_t(len) + 1), dst(size_t(len) + 1);
    for (size_t i = 0; i < src.size(); i += 4093)
        src[i] = {float(i), -float(i)};
    dst.back() = {7, 7};
    for (int slot = 0; slot < 7; slot += 3) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        ASSERT_EQ(sigCopy_cf32(src.data(), dst.data(), len), sigOk);
        ASSERT_EQ(std::memcmp(src.data(), dst.data(), size_t(len) * sizeof(cf32)), 0);
        ASSERT_EQ(sigZero_cf32(dst.data(), len), sigOk);
        for (size_t i = 0; i < size_t(len); i += 4093)
            ASSERT_EQ(dst[i].re, 0.0f);
        EXPECT_EQ(dst.back().re, 7.0f);
    }
}
