// The plain inverse transform: the plain forward transform's steps with the inverse kernels and
// the inverse scale switch.
#include "fft/plain/inverse_kernels.h"
#include "fft/plain/transform.h"

namespace sig::SIG_NS {

namespace {
struct Inverse {
    static bool scaled(const sigFftSpec_cf32* spec) { return spec->invScale != 0; }
    static constexpr auto small = plainSmallInv;
    static constexpr auto radix = plainRadixInv;
    static constexpr auto large = plainInvLarge;
};
}  // namespace

sigStatus plainInv(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    return plainTransform<Inverse>(src, dst, spec, workBuf);
}

}  // namespace sig::SIG_NS
