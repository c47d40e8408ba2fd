// The decoder workers' mixer, through ChanDec::procCap and the real decoder library. On generated
// recordings: cells far below a strong carrier of the same capture are identified and empty
// channels stay empty, also when the carriers come on only after more than half a capture of
// noise; a recording at a few LSB keeps its cell. The worker takes its one scale factor from every
// sample of the capture and from nothing past it, and mixes a full-scale capture exactly at that
// factor. The scale functions themselves: the factor is the smallest at which no product
// saturates, and the mixing tone stays within the modulus bound the factor assumes on every slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
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
    uint32_t startFrame = 357;   // the frame starting at the recording's first sample
};

// One second of cells 250-01, LAC 7, switched on at sample onAt, in complex white noise of
// noiseRms per component throughout, rounded to multiples of step (256: a dongle's 8-bit samples)
// within the dongle's range.
std::vector<cs16> record(const std::vector<CellAt>& cells, double noiseRms, double step, size_t onAt = 0)
{
    std::vector<gsmsig::WideCarrier> carriers;
    for (const CellAt& c : cells)
        carriers.push_back({.cell = {.mcc = 250, .mnc = 1, .lac = 7, .ci = c.ci, .bsic = uint8_t(c.ci % 64)},
                            .channel = c.channel, .startFrame = c.startFrame, .imp = {.amplitude = c.amplitude}});
    const auto x = gsmsig::synthesizeWideband(carriers, {.noiseRms = 0, .amplitudeScale = 1});
    const auto noise = gsmsig::synthesizeWideband({}, {.noiseRms = noiseRms});
    auto q = [&](float v) { return int16_t(std::clamp(step * std::nearbyint(v / step), -32512.0, 32512.0)); };
    std::vector<cs16> capture(x.size());
    for (size_t n = 0; n < x.size(); ++n) {
        const auto v = n < onAt ? noise[n] : noise[n] + x[n];
        capture[n] = cs16{q(v.real()), q(v.imag())};
    }
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

// The first 0.6 s hold noise only; then a carrier near half scale and cells 14 and 20 dB below it
// come on together. A factor taken from the noise alone would hard-limit the carriers and lose the
// weaker cells. Each cell's own frame timing puts the switch 11 to 27 frames into a multiframe
// with TC 1, so that it synchronises on an FCCH and SCH of that multiframe and sends its System
// Information type 3 in the next (TC 2), 40 to 57 frames before the capture ends.
TEST(Mixer, CellsSwitchedOnAfterMoreThanHalfACaptureOfNoiseAreIdentified)
{
    constexpr size_t kOnAt = 1440000;   // 130 frames
    const double strong = 16000;
    const auto capture = record({{0, strong, 100, 348}, {-3, strong * std::pow(10, -14 / 20.0), 114, 340},
                                 {3, strong / 10, 120, 356}},
                                110, 256, kOnAt);
    EXPECT_EQ(identities(capture), (std::vector<int>{0, 114, 0, 0, 100, 0, 0, 120, 0}));
}

// The worker's factor comes from every sample of the capture and from nothing past it: a peak in
// the first sample or in the last decides, a larger sample just past the end does not. The rest of
// the capture, a few LSB, needs factor 0; (-32768, -32768) needs 13.
TEST(Mixer, TheScaleFollowsThePeakAtEitherEndOfTheCaptureAndNothingPastIt)
{
    const CapGeom geom{12288, 6, 9, 2.4f, -0.8f, 0.2f};   // 5 ms
    const int32_t n = geom.samples;
    struct Case { const char* where; int32_t at; int32_t scale; };
    const Case cases[] = {{"first sample", 0, 13}, {"just past the end", n, 0}, {"last sample", n - 1, 13}};
    ChanDec dec;
    dec.config(geom);
    for (const Case& c : cases) {
        std::vector<cs16> memory(n + 1);
        for (int32_t i = 0; i <= n; ++i)
            memory[i] = cs16{int16_t(i % 7 - 3), int16_t(i % 5 - 2)};
        memory[c.at] = cs16{-32768, -32768};
        DecResBlock out{};
        dec.procCap(memory.data(), 0, out);
        EXPECT_EQ(dec.mixScale(), c.scale) << "peak at the " << c.where;
    }
}

// x / 2^s rounded half to even, unsaturated.
int64_t roundHalfEven(int64_t x, int s)
{
    if (s == 0)
        return x;
    const int64_t q = x >> s, rest = x - (q << s), half = int64_t(1) << (s - 1);
    return rest > half || (rest == half && (q & 1)) ? q + 1 : q;
}

// The first value of mix that is not the exact product of tone and samples with each part
// x / 2^scale rounded half to even and not saturated, or -1 when there is none.
int64_t firstInexactProduct(std::span<const cs16> tone, std::span<const cs16> samples,
                            std::span<const cs16> mix, int32_t scale)
{
    for (size_t i = 0; i < mix.size(); ++i) {
        const cs16 t = tone[i], c = samples[i];
        const int64_t re = int64_t(t.re) * c.re - int64_t(t.im) * c.im;
        const int64_t im = int64_t(t.re) * c.im + int64_t(t.im) * c.re;
        if (mix[i].re != roundHalfEven(re, scale) || mix[i].im != roundHalfEven(im, scale))
            return int64_t(i);
    }
    return -1;
}

// A dongle driven to full scale: pseudo-random 8-bit values on both parts, (-32768, -32768) among
// them. On every slot, each sample of the last channel's mix is the exact product of capture and
// tone at the factor of the whole capture, rounded half to even: none is clipped, none scaled
// otherwise.
TEST(Mixer, AFullScaleCaptureMixesToTheExactProductAtTheCapturesScale)
{
    const CapGeom geom{240000, 6, 9, 2.4f, -0.8f, 0.2f};   // 0.1 s
    const int32_t n = geom.samples;
    std::vector<cs16> capture(n);
    uint32_t x = 12345;
    for (cs16& c : capture) {
        x = x * 1664525u + 1013904223u;   // a linear congruential generator's two top bytes
        c = cs16{int16_t(int8_t(x >> 24) * 256), int16_t(int8_t(x >> 16) * 256)};
    }
    capture[n / 3] = cs16{-32768, -32768};
    const int32_t scale = mixScaleFactor(capturePeakNorm(capture.data(), n));
    ASSERT_EQ(scale, 13);
    std::vector<cs16> tone(n);
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        ChanDec dec;
        dec.config(geom);
        DecResBlock out{};
        dec.procCap(capture.data(), 0, out);
        EXPECT_EQ(dec.mixScale(), scale) << "slot " << slot;
        const std::span<const cs16> mix = dec.lastMix();
        ASSERT_EQ(mix.size(), capture.size()) << "slot " << slot;
        float phase = 0;
        ASSERT_EQ(sigTone_cs16(tone.data(), n, kMixToneMagnitude, dec.lastMixFreq(), &phase, 1), sigOk);
        EXPECT_EQ(firstInexactProduct(tone, capture, mix, scale), -1) << "slot " << slot;
    }
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
        if (firstInexactProduct(tone, samples, prod, scale) >= 0)
            return false;
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

// The largest modulus of the mixing tone over a capture stays below the bound the scale factor
// assumes, on every slot. The vector slots' single-precision recurrence strays furthest where its
// four-step coefficient 2 cos 4w is nearly +-2, just off multiples of 1/8 of the sample rate; the
// frequencies below are the worst for each multiple in a search within 6e-4 of it (every float,
// a fine grid near 0): about 3290.4 at 2.17e-5 off 0, 1/8 and 1/4, 3290.2 at the others. The
// plain slot, on one recurrence in extended precision, keeps within 3277 at every one.
TEST(MixScale, TheMixingToneStaysBelowTheModulusBoundOnEverySlot)
{
    const float worstFreqs[] = {2.17199577e-05f, 0.124978282f, 0.249978289f, 0.375021666f,
                                0.499978334f,    0.625021636f, 0.750021636f, 0.875021636f};
    constexpr int32_t n = 2400000;
    constexpr uint64_t bound = kMixToneModulusBound;
    std::vector<cs16> tone(n);
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (float freq : worstFreqs) {
            float phase = 0;
            ASSERT_EQ(sigTone_cs16(tone.data(), n, kMixToneMagnitude, freq, &phase, 1), sigOk);
            uint64_t peak = 0;
            for (const cs16& t : tone)
                peak = std::max(peak, uint64_t(int64_t(t.re) * t.re + int64_t(t.im) * t.im));
            EXPECT_LT(peak, bound * bound) << "slot " << slot << ", relative frequency " << freq
                                           << ": modulus " << std::sqrt(double(peak));
        }
    }
}

}  // namespace
