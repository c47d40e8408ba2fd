// Soft-decision Viterbi decoder of the GSM rate-1/2, constraint-length-5 code
// G0 = 1 + D^3 + D^4, G1 = 1 + D + D^3 + D^4.
//
// State: bit 0 the newest input bit, bit 3 the oldest kept one; the predecessors of s are
// s >> 1 and (s >> 1) + 8. Metrics are correlations with the soft values, so larger is better.
#include <cstring>

#include "backend/channel_decoding.h"

namespace {

// The transitions pair up as butterflies: states j and j + 8 (j < 8) lead to 2j and 2j + 1.
// The newest and the oldest input bit each enter both generators, so flipping either
// complements the output: from j into 2j the output index is kButterflyOut[j], from j + 8 into
// 2j and from j into 2j + 1 it is 3 - kButterflyOut[j], and from j + 8 into 2j + 1 it is
// kButterflyOut[j] again. (Output index c0 + 2 c1, c0 the G0 bit, c1 the G1 bit.)
constexpr int kButterflyOut[8] = {0, 2, 0, 2, 3, 1, 3, 1};

// Signals of output index i: (c0, c1) as -1 for bit 0, +1 for bit 1.
constexpr float kOutSignal[4][2] = {{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}};

// The start of every path other than the all-zero state: far enough below that no path from
// it survives the first few steps, as the encoder always starts in state 0.
constexpr float kUnreachable = -592.0f;

} // namespace

void convTrellis(const TrellisStep* from, const float branch[4], TrellisStep* to)
{
    float same[8], flipped[8];
    for (int j = 0; j < 8; ++j) {
        same[j] = branch[kButterflyOut[j]];
        flipped[j] = branch[3 - kButterflyOut[j]];
    }
    float metric[16];
    uint16_t pred[16];
    for (int j = 0; j < 8; ++j) {
        const float low = from->metric[j], high = from->metric[j + 8];
        // Into 2j and into 2j + 1; equal metrics keep the predecessor with oldest bit 0.
        const float a0 = low + same[j], b0 = high + flipped[j];
        const float a1 = low + flipped[j], b1 = high + same[j];
        metric[2 * j] = b0 > a0 ? b0 : a0;
        pred[2 * j] = static_cast<uint16_t>(b0 > a0 ? j + 8 : j);
        metric[2 * j + 1] = b1 > a1 ? b1 : a1;
        pred[2 * j + 1] = static_cast<uint16_t>(b1 > a1 ? j + 8 : j);
    }
    for (int s = 0; s < 16; ++s) {
        to->metric[s] = metric[s];
        to->pred[s] = pred[s];
    }
}

float viterbiDecode(const float* coded, const BurstHead* ctx, uint8_t* bits)
{
    const int n = ctx->kind == kindSch ? kSchDecodedBits : kBcchDecodedBits;
    TrellisStep steps[kMaxDecodedBits + 1];
    steps[0].metric[0] = 0.0f;
    steps[0].pred[0] = 0;
    for (int s = 1; s < 16; ++s) {
        steps[0].metric[s] = kUnreachable;
        steps[0].pred[s] = 0;
    }
    for (int k = 0; k < n; ++k) {
        float y0 = coded[2 * k], y1 = coded[2 * k + 1];
        float branch[4];
        for (int i = 0; i < 4; ++i)
            branch[i] = kOutSignal[i][0] * y0 + kOutSignal[i][1] * y1;
        convTrellis(&steps[k], branch, &steps[k + 1]);
    }
    // The tail bits return the encoder to state 0, so the survivor ending there is the answer
    // whatever metric another state reached.
    unsigned s = 0;
    for (int k = n - 1; k >= 0; --k) {
        bits[k] = static_cast<uint8_t>(s & 1);
        s = steps[k + 1].pred[s];
    }
    std::memset(bits + n, 0, kMaxDecodedBits - n);
    return steps[n].metric[0];
}
