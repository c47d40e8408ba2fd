// Burst layouts and known bits of 3GPP TS 45.002, and the GMSK reference modulator.
#include "burst_ref.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace corvane {

namespace {
// One byte per bit from the bit string as the standard prints it.
template <size_t N>
constexpr std::array<uint8_t, N - 1> bitsOf(const char (&s)[N])
{
    std::array<uint8_t, N - 1> bits{};
    for (size_t i = 0; i + 1 < N; ++i)
        bits[i] = static_cast<uint8_t>(s[i] - '0');
    return bits;
}

constexpr std::array<uint8_t, 142> kFcch{};
constexpr auto kSch = bitsOf("1011100101100010000001000000111100101101010001010111011000011011");
constexpr std::array<std::array<uint8_t, 26>, 8> kTsc = {
    bitsOf("00100101110000100010010111"), bitsOf("00101101110111100010110111"),
    bitsOf("01000011101110100100001110"), bitsOf("01000111101101000100011110"),
    bitsOf("00011010111001000001101011"), bitsOf("01001110101100000100111010"),
    bitsOf("10100111110110001010011111"), bitsOf("11101111000100101110111100"),
};

constexpr float kHalfPi = 1.5707964f;
constexpr float kOwnStep = 1.2968f;    // phase a symbol adds at its own sample
constexpr float kEarlyStep = 0.2739f;  // and one sample earlier
constexpr float kInvOutRate = 3.6923075e-06f;
}  // namespace

const uint8_t* const kFcchBits = kFcch.data();
const uint8_t* const kSchTrainingBits = kSch.data();

const uint8_t* tscBits(int tsc) { return kTsc[tsc & 7].data(); }

const BurstLayout kFcchLayout = {kClassFcch, 0, 3, 142, 0, 0, 0, 0, kFcch.data()};
const BurstLayout kSchLayout = {kClassSch, 0, 42, 64, 3, 106, 39, 0, kSch.data()};
const BurstLayout kNormalLayout = {kClassNormal, 0, 61, 26, 3, 88, 57, 0, kTsc[0].data()};

void gmskRef(const uint8_t* bits, cf32* out, int len, int parity)
{
    // a[i] = +1 when bit i repeats the bit before it (a 0 precedes the first), else -1.
    float a[kBurstLen + 1];
    uint8_t prev = 0;
    for (int i = 0; i < len; ++i) {
        a[i] = bits[i] == prev ? 1.0f : -1.0f;
        prev = bits[i];
    }
    a[len] = 0.0f;
    float phi = static_cast<float>(parity) * kHalfPi;
    for (int i = 0; i < len; ++i) {
        if (i > 0)
            phi += a[i - 1] * kHalfPi;
        float theta = phi + kOwnStep * a[i] + kEarlyStep * a[i + 1];
        out[i] = {std::cos(theta), std::sin(theta)};
    }
}

void initBurstCtx(BurstCtx* ctx, float threshold, float searchHz)
{
    SyncRef& r = ctx->ref;
    r.knownStart = ctx->layout->knownStart;
    r.knownLen = ctx->layout->knownLen;
    gmskRef(ctx->known, r.ref, r.knownLen, r.knownStart & 1);
    for (int i = 0; i < r.knownLen; ++i)
        r.ref[i].im = -r.ref[i].im;
    r.threshold = threshold;
    r.binWidth = static_cast<int16_t>(std::ceil(searchHz * kInvOutRate * 256.0f));
}

void setupBurstCtx(BurstCtx* ctx, BurstKind kind, const BurstLayout* layout,
                   const uint8_t* known, float threshold, float searchHz)
{
    ctx->kind = kind;
    ctx->timeslot = 0;
    ctx->layout = layout;
    ctx->known = known;
    initBurstCtx(ctx, threshold, searchHz);
}

}  // namespace corvane
