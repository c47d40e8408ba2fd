// Burst collection and BCCH deinterleaving.
#include <cstring>

#include "backend/channel_decoding.h"

bool collectBits(const float* soft, DeintArea* area, const BurstHead* ctx, float* coded)
{
    if (ctx->kind == kindSch) {
        std::memcpy(coded, soft, kSchCodedBits * sizeof(float));
        return true;
    }
    if (ctx->kind != kindBcch)
        return false;
    // The frame machine only hands over frames 2..5; anything else must not write elsewhere.
    int slot = ctx->frameNo - 2;
    if (slot < 0 || slot > 3)
        return false;
    std::memcpy(area->slot[slot], soft, kBcchBurstBits * sizeof(float));
    if (slot != 3)
        return false;
    deint4(area->slot, coded);
    std::memset(area, 0, sizeof *area);
    return true;
}

void deint4(const float slots[4][kBcchBurstBits], float* coded)
{
    // Bit k went to burst k mod 4 at position 2((49k) mod 57) + ((k mod 8) div 4).
    int pos49 = 0; // (49k) mod 57, stepped instead of multiplied
    for (int k = 0; k < kBcchCodedBits; ++k) {
        coded[k] = slots[k & 3][2 * pos49 + ((k & 7) >> 2)];
        pos49 += 49;
        if (pos49 >= 57)
            pos49 -= 57;
    }
}
