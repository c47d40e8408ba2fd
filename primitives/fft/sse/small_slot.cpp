// The straight-line transforms of 1 to 32 points of slots 1 to 4, both directions, and the two
// tables the transform entries index by order (fft/sse/small_kernels.h). Every one of the four
// slots builds the same operations in the same order, so their results agree bit for bit; outside
// slots 1 to 4 this unit compiles to nothing.
#include "core/slot.h"

#if SIG_SLOT >= 1 && SIG_SLOT <= 4

#include "fft/fft_kernels.h"
#include "fft/sse/small_kernels.h"

namespace sig::SIG_NS {

namespace {
using Fwd = ssefft::SmallFft<fft::Dir::Fwd>;
using Inv = ssefft::SmallFft<fft::Dir::Inv>;
}  // namespace

// 1 and 2 points have no direction: one kernel serves both tables.
void sigkFftN1_cf32(const cf32* src, cf32* dst) { ssefft::copy1(src, dst); }
void sigkFftN2_cf32(const cf32* src, cf32* dst) { ssefft::butterfly2<false>(src, dst, 1.0f); }
void sigkFftN1Scaled_cf32(const cf32* src, cf32* dst, float f) { ssefft::scale1(src, dst, f); }
void sigkFftN2Scaled_cf32(const cf32* src, cf32* dst, float f) { ssefft::butterfly2<true>(src, dst, f); }

void sigkFftFwdN4_cf32(const cf32* src, cf32* dst) { Fwd::run<2, false>(src, dst, 1.0f); }
void sigkFftFwdN8_cf32(const cf32* src, cf32* dst) { Fwd::run<3, false>(src, dst, 1.0f); }
void sigkFftFwdN16_cf32(const cf32* src, cf32* dst) { Fwd::run<4, false>(src, dst, 1.0f); }
void sigkFftFwdN32_cf32(const cf32* src, cf32* dst) { Fwd::run<5, false>(src, dst, 1.0f); }
void sigkFftFwdN4Scaled_cf32(const cf32* src, cf32* dst, float f) { Fwd::run<2, true>(src, dst, f); }
void sigkFftFwdN8Scaled_cf32(const cf32* src, cf32* dst, float f) { Fwd::run<3, true>(src, dst, f); }
void sigkFftFwdN16Scaled_cf32(const cf32* src, cf32* dst, float f) { Fwd::run<4, true>(src, dst, f); }
void sigkFftFwdN32Scaled_cf32(const cf32* src, cf32* dst, float f) { Fwd::run<5, true>(src, dst, f); }

void sigkFftInvN4_cf32(const cf32* src, cf32* dst) { Inv::run<2, false>(src, dst, 1.0f); }
void sigkFftInvN8_cf32(const cf32* src, cf32* dst) { Inv::run<3, false>(src, dst, 1.0f); }
void sigkFftInvN16_cf32(const cf32* src, cf32* dst) { Inv::run<4, false>(src, dst, 1.0f); }
void sigkFftInvN32_cf32(const cf32* src, cf32* dst) { Inv::run<5, false>(src, dst, 1.0f); }
void sigkFftInvN4Scaled_cf32(const cf32* src, cf32* dst, float f) { Inv::run<2, true>(src, dst, f); }
void sigkFftInvN8Scaled_cf32(const cf32* src, cf32* dst, float f) { Inv::run<3, true>(src, dst, f); }
void sigkFftInvN16Scaled_cf32(const cf32* src, cf32* dst, float f) { Inv::run<4, true>(src, dst, f); }
void sigkFftInvN32Scaled_cf32(const cf32* src, cf32* dst, float f) { Inv::run<5, true>(src, dst, f); }

const FftSmallTable sigkFftSmallTable_cf32 = {
    {sigkFftN1_cf32, sigkFftN2_cf32, sigkFftFwdN4_cf32, sigkFftFwdN8_cf32, sigkFftFwdN16_cf32,
     sigkFftFwdN32_cf32},
    {sigkFftN1Scaled_cf32, sigkFftN2Scaled_cf32, sigkFftFwdN4Scaled_cf32, sigkFftFwdN8Scaled_cf32,
     sigkFftFwdN16Scaled_cf32, sigkFftFwdN32Scaled_cf32},
};

const FftSmallTable sigkFftInvSmallTable_cf32 = {
    {sigkFftN1_cf32, sigkFftN2_cf32, sigkFftInvN4_cf32, sigkFftInvN8_cf32, sigkFftInvN16_cf32,
     sigkFftInvN32_cf32},
    {sigkFftN1Scaled_cf32, sigkFftN2Scaled_cf32, sigkFftInvN4Scaled_cf32, sigkFftInvN8Scaled_cf32,
     sigkFftInvN16Scaled_cf32, sigkFftInvN32Scaled_cf32},
};

}  // namespace sig::SIG_NS

#endif
