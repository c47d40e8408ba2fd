// Real dot product: *result = sum of src1[i] * src2[i] over two float arrays, the real member of
// the dot-product family. Nothing in the system calls it.
//
// Slot 0 sums the exact products in double, in index order, and rounds once. Slots 1 to 6 run one
// 128-bit member, so they give the same sum to the bit: four accumulators of four lanes take 16
// elements a step, whole groups of four left over go to the first accumulator, the accumulators
// are added pairwise and their lanes folded, and the last len mod 4 products are added one at a
// time. Nothing is read past src1[len-1] or src2[len-1].
#include "core/vector_kernels.h"
#include "core/vector_simd.h"

namespace sig::SIG_NS {

void sigkDotProd_f32(const float* src1, const float* src2, int32_t len, float* result)
{
#if SIG_SLOT == 0
    double sum = 0.0;
    for (int32_t i = 0; i < len; ++i)
        sum += double(src1[i]) * src2[i];
    *result = static_cast<float>(sum);
#else
    F4::R acc[4] = {F4::zero(), F4::zero(), F4::zero(), F4::zero()};
    int32_t i = 0;
    for (; i + 16 <= len; i += 16)
        for (int k = 0; k < 4; ++k)
            acc[k] = F4::add(acc[k], F4::mul(F4::loadu(src1 + i + 4 * k), F4::loadu(src2 + i + 4 * k)));
    for (; i + 4 <= len; i += 4)
        acc[0] = F4::add(acc[0], F4::mul(F4::loadu(src1 + i), F4::loadu(src2 + i)));
    // (l0 + l2, l1 + l3), then the two added.
    const F4::R lanes = F4::foldPairs(F4::add(F4::add(acc[0], acc[1]), F4::add(acc[2], acc[3])));
    float sum = F4::lane0(lanes) + F4::lane1(lanes);
    for (; i < len; ++i)
        sum += src1[i] * src2[i];
    *result = sum;
#endif
}

}  // namespace sig::SIG_NS
