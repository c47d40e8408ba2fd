// The decoder workers' mixer through the real decoder library: on generated recordings, cells far
// below a strong carrier of the same capture are identified and empty channels stay empty; a
// recording at a few LSB keeps its cell; and the per-capture scale factor never saturates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dec_worker.h"
#include "gsmsiggen.h"
#include "mix_scale.h"
#include "slots.h"

namespace {

// Capture channel i sits at (i - 4) x 200 kHz.
const CapGeom kSwemuGeom{2400000, 6, 9, 2.4f, -0.8f, 0.2f};

struct CellAt {
    int channel;         // -4..4
    double amplitude;    // LSB
    uint16_t ci;
};

// One second of cells 250-01, LAC 7, in complex white noise of noiseRms per component, rounded
// to multiples of step (256: a dongle's 8-bit samples) within the dongle's range.
std::vector<cs16> record(const std::vector<CellAt>& cells, double noiseRms, double step)
{
    std::vector<gsmsig::WideCarrier> carriers;
    for (const CellAt& c : cells)
        carriers.push_back({.cell = {.mcc = 250, .mnc = 1, .lac = 7, .ci = c.ci, .bsic = uint8_t(c.ci % 64)},
                            .channel = c.channel, .startFrame = 357, .imp = {.amplitude = c.amplitude}});
    const auto x = gsmsig::synthesizeWideband(carriers, {.noiseRms = noiseRms, .amplitudeScale = 1});
    auto q = [&](float v) { return int16_t(std::clamp(step * std::nearbyint(v / step), -32512.0, 32512.0)); };
    std::vector<cs16> capture(x.size());
    std::transform(x.begin(), x.end(), capture.begin(), [&](auto v) { return cs16{q(v.real()), q(v.imag())}; });
    return capture;
}

// The CI identified on each capture channel; 0 for none, -1 for a wrong country, network or area.
std::vector<int> identities(const std::vector<cs16>& capture)
{
    ChanDec dec;
    dec.config(kSwemuGeom);
    DecResBlock out{};
    dec.procCap(capture.data(), 0, out);
    std::vector<int> ci;
    for (const DecRes& r : std::vector<DecRes>(out.res, out.res + kSwemuGeom.channels))
        ci.push_back(!r.found ? 0 : r.mcc == 250 && r.mnc == 1 && r.lac == 7 ? r.ci : -1);
    return ci;
}

// Dongle levels: a carrier near half scale, cells 6 dB below it 400 kHz away and 14 and 20 dB
// below it 800 kHz away, in noise that leaves the weakest about 28 dB Es/N0.
TEST(Mixer, CellsFarBelowAStrongCarrierAreIdentifiedAndEmptyChannelsStayEmpty)
{
    const double strong = 16000;
    const auto capture = record({{0, strong, 100}, {2, strong * std::pow(10, -6 / 20.0), 106},
                                 {-4, strong * std::pow(10, -14 / 20.0), 114}, {4, strong / 10, 120}},
                                110, 256);
    EXPECT_EQ(identities(capture), (std::vector<int>{114, 0, 0, 0, 100, 0, 106, 0, 120}));
}

TEST(Mixer, ACellRecordedAtThreeLsbStillDecodes)
{
    EXPECT_EQ(identities(record({{-2, 3, 33}}, 0.5, 1)), (std::vector<int>{0, 0, 33, 0, 0, 0, 0, 0, 0}));
}

// x / 2^s rounded half to even, unsaturated.
int64_t roundHalfEven(int64_t x, int s)
{
    if (s == 0)
        return x;
    const int64_t q = x >> s, rest = x - (q << s), half = int64_t(1) << (s - 1);
    return rest > half || (rest == half && (q & 1)) ? q + 1 : q;
}

// Whether every product of the mixing tone (over all phases, at a channel frequency and an odd
// one) and the sample equals the exact product rounded half to even: none saturated.
bool mixesExactly(cs16 c, int32_t scale)
{
    constexpr int32_t n = 20000;
    std::vector<cs16> tone(n), samples(n, c), prod(n);
    for (float freq : {0.0123f, 1.0f / 12, 0.25f - 1e-7f}) {
        float phase = 0;
        sigTone_cs16(tone.data(), n, kMixToneMagnitude, freq, &phase, 1);
        sigMul_cs16(tone.data(), samples.data(), prod.data(), n, scale);
        for (int32_t i = 0; i < n; ++i) {
            const int64_t re = int64_t(tone[i].re) * c.re - int64_t(tone[i].im) * c.im;
            const int64_t im = int64_t(tone[i].re) * c.im + int64_t(tone[i].im) * c.re;
            if (prod[i].re != roundHalfEven(re, scale) || prod[i].im != roundHalfEven(im, scale))
                return false;
        }
    }
    return true;
}

// The capture's peak sample decides; one scale factor less saturates (where the bound is tight:
// (-10, 0) times 3276 would still fit unscaled, but the tone's rounding may not allow it).
TEST(MixScale, TheScaleIsTheSmallestAtWhichNoProductSaturates)
{
    struct Case { cs16 peak; int32_t scale; bool tight; };
    const Case cases[] = {{{0, 0}, 0, false},     {{3, -3}, 0, false},       {{7, 7}, 0, false},
                          {{-10, 0}, 1, false},   {{256, -256}, 6, true},    {{32512, 0}, 12, true},
                          {{-32768, -32768}, 13, true}};
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (const Case& c : cases) {
            const std::vector<cs16> capture{{1, 1}, c.peak, {-2, 0}};
            const int32_t scale = mixScaleFactor(capturePeakNorm(capture.data(), 3));
            EXPECT_EQ(scale, c.scale) << c.peak.re << ", " << c.peak.im;
            EXPECT_TRUE(mixesExactly(c.peak, scale)) << "slot " << slot << ": " << c.peak.re << ", " << c.peak.im;
            if (c.tight) {
                EXPECT_FALSE(mixesExactly(c.peak, scale - 1)) << c.peak.re << ", " << c.peak.im;
            }
        }
    }
}

}  // namespace
