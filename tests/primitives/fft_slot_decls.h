// The FFT's per-slot internal entries the tests reach directly, declared for slots 0..6.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fft/fft_spec.h"
#include "sigprim.h"

#define FFT_TEST_DECLARE_SLOT(ns)                                                                  \
    namespace sig::ns {                                                                            \
    sigStatus sigkFftGetSizeOwn_cf32(int32_t, int32_t, int32_t, int32_t*, int32_t*, int32_t*);     \
    sigStatus sigkFftInitOwn_cf32(sigFftSpec_cf32**, int32_t, int32_t, int32_t, uint8_t*,          \
                                  uint8_t*);                                                       \
    float* sigkFftSineTable_cf32(int32_t, float*);                                                 \
    int32_t* sigkFftBitRevSwapTable_cf32(int32_t, int32_t*);                                       \
    int32_t* sigkFftBitRevTable_cf32(int32_t, int32_t*);                                           \
    void sigkBitRevCopy_cf32(const cf32*, cf32*, int32_t, const int32_t*);                         \
    void sigkBitRevInPlace_cf32(cf32*, int32_t, const int32_t*);                                   \
    sigStatus sigkScale_f32(float, float*, int32_t);                                               \
    }
FFT_TEST_DECLARE_SLOT(s0)
FFT_TEST_DECLARE_SLOT(s1)
FFT_TEST_DECLARE_SLOT(s2)
FFT_TEST_DECLARE_SLOT(s3)
FFT_TEST_DECLARE_SLOT(s4)
FFT_TEST_DECLARE_SLOT(s5)
FFT_TEST_DECLARE_SLOT(s6)
#undef FFT_TEST_DECLARE_SLOT

namespace sig::s1 { void sigkBitRevPairs_cf32(cf32*, int32_t, const int32_t*); }
namespace sig::s6 { void sigkBitRevPairs_cf32(cf32*, int32_t, const int32_t*); }

namespace fft_test {

using GetSizeFn = sigStatus (*)(int32_t, int32_t, int32_t, int32_t*, int32_t*, int32_t*);
using InitFn = sigStatus (*)(sigFftSpec_cf32**, int32_t, int32_t, int32_t, uint8_t*, uint8_t*);
using BitRevCopyFn = void (*)(const cf32*, cf32*, int32_t, const int32_t*);
using BitRevInPlaceFn = void (*)(cf32*, int32_t, const int32_t*);
using TableFn = int32_t* (*)(int32_t, int32_t*);

// Each slot's own table layout (the planner its vector kernels will read).
inline constexpr GetSizeFn kOwnGetSize[7] = {
    sig::s0::sigkFftGetSizeOwn_cf32, sig::s1::sigkFftGetSizeOwn_cf32, sig::s2::sigkFftGetSizeOwn_cf32,
    sig::s3::sigkFftGetSizeOwn_cf32, sig::s4::sigkFftGetSizeOwn_cf32, sig::s5::sigkFftGetSizeOwn_cf32,
    sig::s6::sigkFftGetSizeOwn_cf32};
inline constexpr InitFn kOwnInit[7] = {
    sig::s0::sigkFftInitOwn_cf32, sig::s1::sigkFftInitOwn_cf32, sig::s2::sigkFftInitOwn_cf32,
    sig::s3::sigkFftInitOwn_cf32, sig::s4::sigkFftInitOwn_cf32, sig::s5::sigkFftInitOwn_cf32,
    sig::s6::sigkFftInitOwn_cf32};
inline constexpr BitRevCopyFn kBitRevCopy[7] = {
    sig::s0::sigkBitRevCopy_cf32, sig::s1::sigkBitRevCopy_cf32, sig::s2::sigkBitRevCopy_cf32,
    sig::s3::sigkBitRevCopy_cf32, sig::s4::sigkBitRevCopy_cf32, sig::s5::sigkBitRevCopy_cf32,
    sig::s6::sigkBitRevCopy_cf32};
inline constexpr BitRevInPlaceFn kBitRevInPlace[7] = {
    sig::s0::sigkBitRevInPlace_cf32, sig::s1::sigkBitRevInPlace_cf32,
    sig::s2::sigkBitRevInPlace_cf32, sig::s3::sigkBitRevInPlace_cf32,
    sig::s4::sigkBitRevInPlace_cf32, sig::s5::sigkBitRevInPlace_cf32,
    sig::s6::sigkBitRevInPlace_cf32};
inline constexpr TableFn kBitRevTable[7] = {
    sig::s0::sigkFftBitRevSwapTable_cf32, sig::s1::sigkFftBitRevTable_cf32,
    sig::s2::sigkFftBitRevTable_cf32,     sig::s3::sigkFftBitRevTable_cf32,
    sig::s4::sigkFftBitRevTable_cf32,     sig::s5::sigkFftBitRevTable_cf32,
    sig::s6::sigkFftBitRevTable_cf32};

// The word of the head at index w (0..21), as raw 32 bits.
inline int32_t word(const sigFftSpec_cf32* spec, int w)
{
    int32_t v;
    __builtin_memcpy(&v, reinterpret_cast<const char*>(spec) + 4 * w, 4);
    return v;
}

}  // namespace fft_test
