// x87 and SSE control and status on this machine, and the double classification tests. Every test
// puts the control words and the x87 exception flags back as it found them.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "core/cpu.h"

namespace {

class FpuControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        x87 = sigX87GetControl();
        mxcsr = sigMxcsrGet();
    }
    void TearDown() override
    {
        asm volatile("fldcw %0\n\tldmxcsr %1\n\tfnclex" : : "m"(x87), "m"(mxcsr) : "memory");
    }
    uint16_t x87 = 0;
    uint32_t mxcsr = 0;
};

// Values set are the values the processor holds and reads back; masked updates change the
// masked bits alone, whatever the value holds elsewhere.
TEST_F(FpuControl, SetReadBackAndMaskedUpdates)
{
    const uint16_t cw = x87 ^ 0x0c00 ^ 0x0200;  // rounding and precision
    sigX87SetControl(cw);
    EXPECT_EQ(sigX87GetControl(), cw);
    sigX87UpdateControl(0xffff, 0x0c00);
    EXPECT_EQ(sigX87GetControl(), cw | 0x0c00);
    sigX87UpdateControl(0x0000, 0x0300);
    EXPECT_EQ(sigX87GetControl(), (cw | 0x0c00) & ~0x0300);
    sigX87SetControl(x87);
    EXPECT_EQ(sigX87GetControl(), x87);

    const uint32_t csr = 0x1f80u ^ 0x6000u ^ 0x8000u ^ 0x0040u;  // rounding, flush to zero, DAZ
    sigMxcsrSet(csr);
    EXPECT_EQ(sigMxcsrGet(), csr);
    sigMxcsrUpdate(0xffbfu, 0x6000);
    EXPECT_EQ(sigMxcsrGet(), csr | 0x6000);
    sigMxcsrUpdate(0, 0x8000);
    EXPECT_EQ(sigMxcsrGet(), (csr | 0x6000) & ~0x8000u);
    sigMxcsrSetDefault();
    EXPECT_EQ(sigMxcsrGet(), 0x1f80u);
}

// The rounding mode shows in the last bit of 1/3 and -1/3: float through SSE, long double
// through the x87.
TEST_F(FpuControl, RoundingModeShowsInDivision)
{
    volatile float one = 1.0f, three = 3.0f;
    volatile long double oneL = 1.0L, threeL = 3.0L;
    const float third = 0x1.555554p-2f, thirdUp = 0x1.555556p-2f;  // 1/3 lies between these
    // Nearest rounds 1/3 up in both formats: the dropped bits are 2/3 of the last place.
    const long double thirdLUp = 1.0L / 3.0L, thirdL = std::nextafter(thirdLUp, 0.0L);
    const struct {
        int mode;
        float pos, neg;
        long double posL, negL;
    } modes[] = {
        {sigRoundNearest, thirdUp, -thirdUp, thirdLUp, -thirdLUp},
        {sigRoundDown, third, -thirdUp, thirdL, -thirdLUp},
        {sigRoundUp, thirdUp, -third, thirdLUp, -thirdL},
        {sigRoundTowardZero, third, -third, thirdL, -thirdL},
    };
    for (const auto& m : modes) {
        sigSetRounding(m.mode);
        volatile float pos = one / three, neg = -one / three;
        volatile long double posL = oneL / threeL, negL = -oneL / threeL;
        sigSetRounding(sigRoundNearest);
        EXPECT_EQ(pos, m.pos) << "mode " << m.mode;
        EXPECT_EQ(neg, m.neg) << "mode " << m.mode;
        EXPECT_EQ(posL, m.posL) << "mode " << m.mode;
        EXPECT_EQ(negL, m.negL) << "mode " << m.mode;
    }
    EXPECT_EQ(sigX87GetControl(), x87 & ~0x0c00);
    EXPECT_EQ(sigMxcsrGet() & ~0x3fu, mxcsr & ~0x603fu) << "the divisions raise sticky flags";
}

TEST_F(FpuControl, ClearingX87Exceptions)
{
    sigX87ClearExceptions();
    volatile long double one = 1.0L, zero = 0.0L;
    volatile long double q = one / zero;
    EXPECT_EQ(sigX87GetStatus() & 0x3f, 0x04) << "zero-divide flag after 1/0";
    EXPECT_TRUE(std::isinf(q));
    sigX87ClearExceptions();
    EXPECT_EQ(sigX87GetStatus() & 0x80ff, 0);
}

TEST_F(FpuControl, DenormalsAreZero)
{
    // Every processor that runs this 64-bit code accepts DAZ; with it, a denormal input counts as 0.
    ASSERT_EQ(sigCpuHasDaz(), 1);
    volatile float tiny = 0x1p-140f, one = 1.0f;
    sigMxcsrUpdate(0x40, 0x40);
    volatile float product = tiny * one;
    sigMxcsrUpdate(0, 0x40);
    EXPECT_EQ(product, 0.0f);
    EXPECT_EQ(tiny * one, 0x1p-140f);
}

TEST(FpClassify, NanAndFinite)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double qnan = std::numeric_limits<double>::quiet_NaN();
    const double snan = std::numeric_limits<double>::signaling_NaN();
    const double denormal = std::numeric_limits<double>::denorm_min();
    const struct {
        double x;
        int nan, finite;
    } cases[] = {
        {qnan, 1, 0},  {-qnan, 1, 0},   {snan, 1, 0},     {inf, 0, 0},      {-inf, 0, 0},
        {0.0, 0, 1},   {-0.0, 0, 1},    {denormal, 0, 1}, {-denormal, 0, 1}, {DBL_MAX, 0, 1},
        {-DBL_MAX, 0, 1}, {1.0, 0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sigIsNan(c.x), c.nan) << c.x;
        EXPECT_EQ(sigIsFinite(c.x), c.finite) << c.x;
    }
}

}  // namespace
