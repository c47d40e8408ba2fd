// The entry points as a caller of the library sees them: offsets, levels, results across a reset,
// the block length, and creation when memory runs out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "cell_decoder.h"
#include "core/memfuncs.h"
#include "core_vtab.h"
#include "decoder_api.h"

using namespace corvane;

static_assert(sizeof(BcchInfo) == 152 && offsetof(BcchInfo, feLevelDb) == 0 &&
              offsetof(BcchInfo, freqOffHz) == 4 && offsetof(BcchInfo, burstLevelDb) == 8 &&
              offsetof(BcchInfo, mcc) == 12 && offsetof(BcchInfo, mnc) == 14 &&
              offsetof(BcchInfo, lac) == 16 && offsetof(BcchInfo, ci) == 18 &&
              offsetof(BcchInfo, arfcnMap) == 20 && offsetof(BcchInfo, bandFlag) == 148);

namespace {

// Identity as the System Information parsers would leave it.
void pretendDecoded(CellDecoder* dec, bool withSi1)
{
    SiArea& si = dec->siArea;
    si.ciValid = si.laiValid = 1;
    si.ci = 0xBEEF;
    if (withSi1) {
        si.si1Valid = si.bandFlag = 1;
        si.arfcnMap[0] = 0x05;
        si.arfcnMap[127] = 0x80;
    }
}

float levelOffsetOf(CellDecoder* dec)
{
    dec->burstPower = 1.0f;   // 0 dB before the offset
    dec->lastFeLevelDb = 0.0f;
    GSM_getResult(dec);
    return dec->result.burstLevelDb;
}

TEST(DecoderApi, LevelOffsetsOutsideTheRangeAreRefused)
{
    // At creation a refused offset gives 0; set later, it keeps the one before. NULL means 0.
    const float values[] = {0.0f, -120.0f, 50.0f, 50.5f, -121.0f, std::nanf("")};
    const float* offsets[] = {nullptr, &values[0], &values[1], &values[2],
                              &values[3], &values[4], &values[5]};
    for (const float* offset : offsets) {
        const bool ok = !offset || (*offset >= -120.0f && *offset <= 50.0f);
        const float want = ok && offset ? *offset : 0.0f;
        SCOPED_TRACE(offset ? *offset : 999.0f);
        EXPECT_NEAR(levelOffsetOf(CoreDecoder(offset).dec), want, 1e-4);
        CoreDecoder d;
        const float ten = 10.0f;
        ASSERT_EQ(GSM_setLevelOffset(d.dec, &ten), 1);
        EXPECT_EQ(GSM_setLevelOffset(d.dec, offset), ok ? 1 : 0);
        EXPECT_NEAR(levelOffsetOf(d.dec), ok ? want : 10.0f, 1e-4);
    }
}

TEST(DecoderApi, ResultNeedsIdentityAndLevelsNeverAccumulate)
{
    const float off = -20.0f;
    CoreDecoder d(&off);
    d.dec->burstPower = 0.01f;      // -20 dB
    d.dec->lastFeLevelDb = -33.0f;
    EXPECT_EQ(GSM_getResult(d.dec), nullptr);
    // The levels are refreshed even while there is no result.
    EXPECT_NEAR(d.dec->result.burstLevelDb, -40.0f, 1e-4);
    EXPECT_NEAR(d.dec->result.feLevelDb, -53.0f, 1e-4);

    pretendDecoded(d.dec, false);
    const BcchInfo* a = GSM_getResult(d.dec);
    ASSERT_NE(a, nullptr);
    const BcchInfo first = *a;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(0, std::memcmp(GSM_getResult(d.dec), &first, sizeof first));
    EXPECT_EQ(first.ci, 0xBEEF);
    // SI3 without SI1: an empty map and band flag 0.
    EXPECT_EQ(std::vector<uint8_t>(std::begin(first.arfcnMap), std::end(first.arfcnMap)), std::vector<uint8_t>(128, 0));
    EXPECT_EQ(first.bandFlag, 0);

    pretendDecoded(d.dec, true);
    const BcchInfo* b = GSM_getResult(d.dec);
    ASSERT_EQ(b, a);
    EXPECT_EQ(b->arfcnMap[0], 0x05);
    EXPECT_EQ(b->arfcnMap[127], 0x80);
    EXPECT_EQ(b->bandFlag, 1);
}

TEST(DecoderApi, ResetClearsTheIdentityAndRestartsTheFrameAccounting)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    pretendDecoded(d.dec, true);
    ASSERT_NE(GSM_getResult(d.dec), nullptr);
    d.dec->state = dsDone;
    fe.readPos = 300;
    fe.relFreq = 0.3f;
    fe.tonePhase = 2.0f;
    fe.meanPower = 5.0f;
    std::fill(std::begin(fe.inBuf), std::end(fe.inBuf), cf32{1.0f, 1.0f});
    std::fill(std::begin(fe.corr), std::end(fe.corr), cf32{1.0f, 1.0f});
    GSM_reset(d.dec);
    EXPECT_EQ(GSM_getResult(d.dec), nullptr);
    EXPECT_EQ(d.dec->result.ci, 0xBEEF);   // still there, just not offered
    EXPECT_EQ(d.dec->state, dsFcch);
    EXPECT_EQ(fe.readPos, 120);
    EXPECT_EQ(fe.relFreq, 0.0f);
    EXPECT_EQ(fe.tonePhase, 2.0f);   // the filter and the smoothed level carry on
    EXPECT_EQ(fe.meanPower, 5.0f);
    EXPECT_EQ(fe.held, 47);
    EXPECT_TRUE(std::all_of(fe.inBuf, fe.inBuf + 47, [](cf32 c) { return c.re == 0.0f && c.im == 0.0f; }));
    EXPECT_TRUE(std::all_of(std::begin(fe.corr), std::end(fe.corr), [](cf32 c) { return c.re == 0.0f; }));
    // Every frame leaves 2547 after its block.
    std::vector<cf32> frame(2500, cf32{0.0f, 0.0f});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GSM_pushFrame(d.dec, frame.data()), nullptr);
        EXPECT_EQ(fe.held, 2547);
    }
    // A negative held count skips that many samples of the next frames.
    fe.held = -3000;
    GSM_pushFrame(d.dec, frame.data());
    EXPECT_EQ(fe.held, -500);
    GSM_pushFrame(d.dec, frame.data());
    EXPECT_EQ(fe.held, 2000);
}

// The primitives' allocations counted, and failed from the budget-th on.
int g_budget, g_calls;
void* failingAlloc(size_t n) { return ++g_calls > g_budget ? nullptr : std::malloc(n); }

TEST(DecoderApi, CreationReleasesEverythingWhenABlockCannotBeMade)
{
    const sigMemFuncTable saved = sigMemFuncs;
    sigMemFuncs.alloc = failingAlloc;
    g_budget = 1000;
    g_calls = 0;
    GSM_destroy(GSM_create(nullptr));
    const int needed = g_calls;
    EXPECT_GE(needed, 4);   // taps, delay line, filter state, FFT spec (+ work buffer)
    // Every possible failure point: NULL, and (under the leak checker) nothing left behind.
    for (g_budget = 0; g_budget < needed; ++g_budget) {
        g_calls = 0;
        EXPECT_EQ(GSM_create(nullptr), nullptr) << g_budget;
    }
    sigMemFuncs = saved;
}

// Synchronised on a cell with training sequence 0, as after its SCH.
void synchronise(CellDecoder* dec)
{
    dec->state = dsSync;
    dec->schCtx = burstCtx(-1);
    dec->bcchCtx = burstCtx(0);
}

TEST(DecoderApi, CounterWrapAndBurstChoice)
{
    CoreDecoder d;
    CellDecoder* dec = d.dec;
    dec->t1 = 2047;
    dec->t2 = 25;
    dec->t3 = 50;
    // A read position that the check accepts; silent frames decode nothing.
    synchronise(dec);
    std::vector<cf32> frame(2500, cf32{0.0f, 0.0f});
    auto push = [&](int frames) {
        for (int i = 0; i < frames; ++i)
            GSM_pushFrame(dec, frame.data());
    };
    push(2);   // the first fills the block, no step yet
    EXPECT_EQ(dec->t3, 0);
    EXPECT_EQ(dec->t2, 0);
    EXPECT_EQ(dec->t1, 0);
    EXPECT_EQ(dec->failCount, 0);   // t3 = 0 is an FCCH frame: no timing search
    push(1);                        // t3 = 1: the SCH's search fails on silence
    EXPECT_EQ(dec->t3, 1);
    EXPECT_EQ(dec->failCount, 1);
    push(4);   // t3 = 2..5: BCCH
    EXPECT_EQ(dec->failCount, 5);
    push(4);   // t3 = 6..9: nothing
    EXPECT_EQ(dec->failCount, 5);
    push(5);   // t3 = 10 FCCH, 11 SCH, 12..14 nothing
    EXPECT_EQ(dec->failCount, 6);
    EXPECT_EQ(dec->state, dsSync);
    push(30);   // 20, 21, 30, 31: the ninth failure restarts
    EXPECT_EQ(dec->state, dsFcch);
    EXPECT_LE(dec->failCount, 8);
}

TEST(DecoderApi, FailuresSurviveAResetAndTheSearchSoTheNextChannelRestartsSooner)
{
    CoreDecoder d;
    CellDecoder* dec = d.dec;
    const std::vector<cf32> silence(2500, cf32{0.0f, 0.0f});
    auto push = [&](const std::vector<cf32>& frame, int frames) {
        for (int i = 0; i < frames; ++i)
            GSM_pushFrame(dec, frame.data());
    };
    // Five failed timing searches on silence: the SCH of t3 = 1 and the BCCH of t3 = 2..5.
    dec->t3 = 0;
    synchronise(dec);
    push(silence, 6);   // the first fills the block
    ASSERT_EQ(dec->failCount, 5);
    GSM_reset(dec);
    EXPECT_EQ(dec->failCount, 5);
    // A tone at the FCCH's frequency is found as one, then no SCH follows and the search starts
    // again: neither clears the count.
    std::vector<cf32> tone(2500);
    bool searchedSch = false;
    for (int f = 0; f < 20; ++f) {
        for (int i = 0; i < 2500; ++i) {
            const double ph = 2.0 * M_PI * 67708.33 * (f * 2500 + i) / 541666.6875;
            tone[i] = {static_cast<float>(std::cos(ph)), static_cast<float>(std::sin(ph))};
        }
        push(tone, 1);
        searchedSch |= dec->state == dsSch;
    }
    EXPECT_TRUE(searchedSch);
    EXPECT_EQ(dec->failCount, 5);
    // The next channel: its fourth failed search is the ninth since the last decoded burst.
    GSM_reset(dec);
    dec->t3 = 1;
    synchronise(dec);
    push(silence, 4);
    EXPECT_EQ(dec->failCount, 8);
    EXPECT_EQ(dec->state, dsSync);
    push(silence, 1);
    EXPECT_EQ(dec->state, dsFcch);
    EXPECT_EQ(dec->failCount, 0);
}

TEST(DecoderApi, BurstPowerTakesTheFirstBurstThenSmoothsForEveryKind)
{
    CoreDecoder d;
    CellDecoder* dec = d.dec;
    BurstCtx sch = burstCtx(-1), bcch = burstCtx(3);
    bcch.frameNo = 2;
    // Constant-magnitude bursts in louder surroundings: the power is that of the 148 samples
    // from the pointer handed in, before any timing search, the first unsmoothed, then
    // 0.8 old + 0.2 new.
    const struct {
        BurstCtx* ctx;
        float magnitude, want;
    } steps[] = {{&dec->fcchCtx, 2.0f, 4.0f}, {&sch, 1.0f, 3.4f}, {&bcch, 0.0f, 2.72f},
                 {&dec->fcchCtx, 3.0f, 3.976f}};
    std::vector<cf32> x(400);
    for (const auto& s : steps) {
        for (int i = 0; i < 400; ++i)
            x[i] = i >= 100 && i < 248 ? cf32{0.0f, s.magnitude} : cf32{10.0f, 0.0f};
        uint8_t octets[24];
        decodeBurst(dec, s.ctx, x.data() + 100, octets);
        EXPECT_NEAR(dec->burstPower, s.want, 1e-5f) << s.ctx->kind;
    }
}

TEST(DecoderApi, ReadPositionOutsideTheBlockRestartsTheSearch)
{
    for (int pos : {6, 1492, -400, 5000}) {
        CoreDecoder d;
        synchronise(d.dec);
        d.dec->t3 = 0;   // next frame: the SCH, whose search would read around the position
        std::vector<cf32> frame(2500, cf32{1.0f, 0.0f});
        GSM_pushFrame(d.dec, frame.data());
        d.dec->front.readPos = pos;
        GSM_pushFrame(d.dec, frame.data());
        EXPECT_EQ(d.dec->state, dsFcch) << pos;
        EXPECT_EQ(d.dec->front.readPos, 120);
    }
}

TEST(DecoderApi, ResyncLeavesAMatchingBcchContextAlone)
{
    CoreDecoder d;
    CellDecoder* dec = d.dec;
    SchInfo info{21, 1000, 7, 11};
    resyncSch(dec, info);
    EXPECT_EQ((std::vector<int>{dec->siArea.bsic, dec->t1, dec->t2, dec->t3}), (std::vector<int>{21, 1000, 7, 11}));
    EXPECT_EQ(dec->bcchCtx.known, tscBits(5));
    EXPECT_EQ(dec->bcchCtx.ref.knownStart, 61);
    dec->bcchCtx.ref.threshold = 0.5f;   // a mark that a rebuild would overwrite
    resyncSch(dec, info);
    EXPECT_EQ(dec->bcchCtx.ref.threshold, 0.5f);
    // New frame numbers rebuild it.
    resyncSch(dec, SchInfo{21, 1000, 8, 21});
    EXPECT_EQ(dec->bcchCtx.ref.threshold, 0.27f);
    // Counters that survived a reset may match a new cell's SCH by chance; a context built for
    // another training sequence is rebuilt all the same.
    GSM_reset(dec);
    dec->bcchCtx.ref.threshold = 0.5f;
    resyncSch(dec, SchInfo{0, 1000, 8, 21});
    EXPECT_EQ(dec->bcchCtx.known, tscBits(0));
    EXPECT_EQ(dec->bcchCtx.ref.threshold, 0.27f);
}

}  // namespace
