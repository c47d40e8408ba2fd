// Sizes of the multi-rate record, shared by the size query and the builders of every slot.
#include "fir/fir_record.h"

namespace sig {

namespace {
int64_t roundUp(int64_t v, int64_t m) { return (v + m - 1) / m * m; }
int64_t maxOf(int64_t a, int64_t b) { return a > b ? a : b; }
}  // namespace

sigStatus firMrLayout(int32_t tapsLen, int32_t up, int32_t down, bool vectorLayout,
                      FirMrLayout* out)
{
    const int64_t T = tapsLen, U = up, D = down;
    const int64_t n = (T + U - 1) / U;
    const int64_t r = roundUp(T + 3 * D, U);
    // E: the smallest multiple of 4D above n, plus one; L: U ceil(n / D). Both grow together
    // until L is a whole number of 4U-output cycles (at most three steps).
    int64_t E = (n / (4 * D) + 1) * (4 * D) + 1;
    int64_t L = U * ((n + D - 1) / D);
    while (L % (4 * U) != 0) {
        L += U;
        E += D;
    }
    const int64_t f = vectorLayout ? roundUp(n, 2) : n;
    const int64_t M = vectorLayout ? maxOf(r, U * f) : r;

    const int64_t tapsBytes = (8 * T + 15) & ~int64_t{15};
    const int64_t tapTableBytes = vectorLayout ? 64 * M : 32 * M;
    const int64_t phaseBytes = 16 * U + 16;
    const int64_t delayBytes = ((n + E) * 8 + 23) & ~int64_t{15};
    const int64_t scratchBytes = maxOf(32 * M, 32768);
    const int64_t record = int64_t{sizeof(sigFirRecord_cf32)} + tapsBytes + tapTableBytes +
                           phaseBytes + delayBytes + scratchBytes;
    // Every quantity is far below 2^62 here (inputs are 31-bit), so the sums cannot wrap; the
    // record size bounds all the others, which are stored in 32-bit words.
    if (record + 15 > INT32_MAX)
        return sigErrMemory;

    out->n = static_cast<int32_t>(n);
    out->r = static_cast<int32_t>(r);
    out->E = static_cast<int32_t>(E);
    out->L = static_cast<int32_t>(L);
    out->f = static_cast<int32_t>(f);
    out->M = static_cast<int32_t>(M);
    out->tapsBytes = tapsBytes;
    out->tapTableBytes = tapTableBytes;
    out->phaseBytes = phaseBytes;
    out->delayBytes = delayBytes;
    out->scratchBytes = scratchBytes;
    out->recordBytes = record;
    out->bufferBytes = record + 15;
    return sigOk;
}

}  // namespace sig
