// Soft-decision Viterbi decoder of the GSM rate-1/2, constraint-length-5 code
// G0 = 1 + D^3 + D^4, G1 = 1 + D + D^3 + D^4.
//
// State: bit 0 the newest input bit, bit 3 the oldest kept one; the predecessors of s are
// s >> 1 and (s >> 1) + 8. Metrics are correlations with the soft values, so larger is better.
#include <cstring>

#include "backend/channel_decoding.h"

namespace {

// Output index c0 + 2 c1 of the transition into state s from s >> 1 and from (s >> 1) + 8.
constexpr uint16_t kBranchOut[16][2] = {
    {0, 3}, {3, 0}, {2, 1}, {1, 2}, {0, 3}, {3, 0}, {2, 1}, {1, 2},
    {3, 0}, {0, 3}, {1, 2}, {2, 1}, {3, 0}, {0, 3}, {1, 2}, {2, 1},
};

// Signals of output index i: (c0, c1) as -1 for bit 0, +1 for bit 1.
constexpr float kOutSignal[4][2] = {{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}};

// The start of every path other than the all-zero state: far enough below that no path from
// it survives the first few steps, as the encoder always starts in state 0.
constexpr float kUnreachable = -592.0f;

} // namespace

void convTrellis(const TrellisStep* from, const float branch[4], TrellisStep* to)
{
    for (int s = 0; s < 16; ++s) {
        int p = s >> 1;
        float a = from->metric[p] + branch[kBranchOut[s][0]];
        float b = from->metric[p + 8] + branch[kBranchOut[s][1]];
        // Equal metrics keep the predecessor with oldest bit 0.
        bool second = b > a;
        to->metric[s] = second ? b : a;
        to->pred[s] = static_cast<uint16_t>(second ? p + 8 : p);
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
