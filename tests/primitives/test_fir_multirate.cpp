// The multi-rate FIR on every slot: the record (worked examples, sizes, checks, failures that
// write nothing, the delay loader) and filtering against the double-precision polyphase
// reference (random filters, in place, the decoder's front-end case, checks, failures); the
// vector slots' polyphase block kernel bit for bit against its lane-by-lane sums.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "fir_test_support.h"

#define SIG_MR_BLOCK_DECL(ns)                                                                    \
    namespace sig::ns {                                                                          \
    int32_t sigkFirMrBlock_cf32(const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count, \
                                const int32_t* phaseTable, int32_t upFactor, int32_t base,       \
                                int32_t n, int32_t tapStride);                                   \
    }
SIG_MR_BLOCK_DECL(s1) SIG_MR_BLOCK_DECL(s2) SIG_MR_BLOCK_DECL(s3) SIG_MR_BLOCK_DECL(s4)
SIG_MR_BLOCK_DECL(s5) SIG_MR_BLOCK_DECL(s6)
#undef SIG_MR_BLOCK_DECL

namespace {

using firtest::MrRecord;

struct Example {
    int T, U, pu, D, pd;
    int n, E, L;
    std::vector<int32_t> phases;  // start indices as the plain slot stores them
};

const Example kExamples[] = {
    {48, 1, 0, 2, 0, 48, 57, 24, {1, 3, 5, 7, 8}},
    {7, 2, 0, 3, 2, 4, 19, 8, {2, 4, 5, 7, 8, 10, 11, 13, 12}},
    {3, 4, 2, 1, 0, 1, 8, 16, {0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4}},
    {1, 1, 0, 1, 0, 1, 8, 4, {1, 2, 3, 4, 4}},
    {1, 1, 0, 4, 3, 1, 29, 4, {4, 8, 12, 16, 16}},
    {2, 3, 1, 1, 0, 1, 8, 12, {1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}},
};

std::vector<cf32> countingTaps(int T)
{
    std::vector<cf32> h(T);
    for (int k = 0; k < T; ++k)
        h[k] = cf32{float(k + 1), float(-(k + 1)) * 0.5f};
    return h;
}

using FirMrSlots = firtest::EverySlot;

// The derived words and the phase table exactly (start indices on the plain slot, byte steps
// between consecutive windows on the others). A wrong tap-table entry shows in the filters'
// outputs against the reference below; the zeros padding the vector layout's rows do not.
TEST_P(FirMrSlots, WorkedExamplesGiveTheirDerivedWordsAndPhaseTables)
{
    for (const Example& ex : kExamples) {
        SCOPED_TRACE(::testing::Message() << "taps " << ex.T << " U " << ex.U << " D " << ex.D);
        MrRecord rec(countingTaps(ex.T), ex.U, ex.pu, ex.D, ex.pd, nullptr);
        ASSERT_EQ(rec.status(), sigOk);
        const sigFirRecord_cf32& r = *rec.state();
        EXPECT_EQ(r.tag, kFirTagMultiRate);
        EXPECT_TRUE(r.dlyLen == ex.n && r.dlyExt == ex.E && r.headLen == ex.L && r.fftLen == -1);
        EXPECT_TRUE(r.dlyOffset == 0 && r.upPhase == ex.pu && r.downPhase == ex.pd);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(&r) % 16, 0u);
        EXPECT_EQ(r.tapStride, slot() == 0 ? ex.n : (ex.n + 1) / 2 * 2);
        const int entries = 4 * ex.U + 1;
        std::vector<int32_t> expected = ex.phases;
        for (int k = entries - 1; slot() != 0 && k >= 0; --k)
            expected[k] = 8 * (ex.phases[k] - (k > 0 ? ex.phases[k - 1] : 0));
        EXPECT_EQ(std::vector<int32_t>(r.phaseTable, r.phaseTable + entries), expected);
        for (int k = 0; k < ex.T; ++k)
            EXPECT_EQ(r.taps[k].re, float(ex.T - k));  // reversed
        for (int64_t row = 0; slot() != 0 && row < 8 * ex.U; ++row)  // both halves
            for (int i = ex.n; i < r.tapStride; ++i) {
                const cf32 pad = r.tapTable[row * r.tapStride + i];
                EXPECT_TRUE(pad.re == 0 && pad.im == 0);
            }
        EXPECT_TRUE(rec.canaryIntact());
    }
}

// Sizes are computed in 64 bits: one beyond 32 bits is -9, never a small size; the builder
// checks everything, overflows included, before it writes anything.
TEST_P(FirMrSlots, RecordChecksInOrderAndFailuresWriteNothing)
{
    int32_t size = 7;
    EXPECT_EQ(sigFirMrGetSize_cf32(0, 0, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigFirMrGetSize_cf32(0, 0, 0, &size), sigErrTapsLen);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 0, 1, &size), sigErrFactor);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, 0, &size), sigErrFactor);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, -3, &size), sigErrFactor);
    // Each of these overflows a 32-bit size: 8 tapsLen, 32 r (r >= 3D), 16 U.
    EXPECT_EQ(sigFirMrGetSize_cf32(INT32_MAX, 1, 1, &size), sigErrMemory);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, 30000000, &size), sigErrMemory);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 200000000, 1, &size), sigErrMemory);
    EXPECT_EQ(size, 7);
    ASSERT_EQ(sigFirMrGetSize_cf32(48, 1, 2, &size), sigOk);
    // Header, 48 reversed taps, the tap table, 5 phases, 48 + 57 history samples, the scratch,
    // and 15 bytes for a buffer that is not 16-byte aligned.
    const int64_t table = slot() == 0 ? 32 * 54 : 64 * 54;
    EXPECT_EQ(size, int64_t(sizeof(sigFirRecord_cf32)) + 48 * 8 + table + 32 +
                        ((105 * 8 + 23) & ~15) + 32768 + 15);

    std::vector<uint8_t> buf(1 << 16, 0x77);
    const std::vector<cf32> h = countingTaps(4);
    const cf32* t = h.data();
    uint8_t* b = buf.data();
    sigFirMrState_cf32* st = reinterpret_cast<sigFirMrState_cf32*>(uintptr_t{0x1234});
    EXPECT_EQ(sigFirMrInit_cf32(nullptr, t, 4, 1, 0, 1, 0, nullptr, b), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, nullptr, 0, 0, 0, 0, 0, nullptr, b), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 1, 0, nullptr, nullptr), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 0, 1, 0, 1, 0, nullptr, b), sigErrTapsLen);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 0, 0, 1, 0, nullptr, b), sigErrFactor);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 0, 5, nullptr, b), sigErrFactor);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 2, 2, 1, 0, nullptr, b), sigErrPhase);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 2, -1, 1, 0, nullptr, b), sigErrPhase);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 3, 3, nullptr, b), sigErrPhase);
    // 4 U D + pd beyond 2^31 - 2 while the record's sizes would still fit.
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1000, 0, 600000, 0, nullptr, b), sigErrMemory);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 30000000, 0, nullptr, b), sigErrMemory);
    EXPECT_EQ(st, reinterpret_cast<sigFirMrState_cf32*>(uintptr_t{0x1234}));
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t v) { return v == 0x77; }));
}

// The loader takes the history most recent first and stores it oldest first, resets the
// offset, leaves what lies beyond the history alone, clears with NULL, and refuses other tags
// (the single-rate one is accepted too).
TEST_P(FirMrSlots, SetDelayLoadsAndClearsExactlyTheHistory)
{
    std::mt19937 rng(3);
    const std::vector<cf32> h = firtest::randomSignal(rng, 10), zeros(4, cf32{0, 0});
    const std::vector<cf32> hist = firtest::randomSignal(rng, 4), other = firtest::randomSignal(rng, 4);
    MrRecord rec(h, 3, 1, 2, 0, hist.data());  // n = ceil(10 / 3)
    sigFirRecord_cf32& r = *rec.state();
    ASSERT_EQ(r.dlyLen, 4);
    r.dlyLine[4] = cf32{42, 43};
    const uint32_t tag = r.tag;
    EXPECT_EQ(sigFirSetDelay_cf32(nullptr, hist.data()), sigErrNull);
    const struct {
        uint32_t tag;
        const cf32* dly;
        sigStatus status;
        const std::vector<cf32>& line;  // most recent first
    } steps[] = {{tag, hist.data(), sigOk, hist},       {tag, nullptr, sigOk, zeros},
                 {tag, other.data(), sigOk, other},     {0x46493033, nullptr, sigErrTag, other},
                 {kFirTagSingleRate, nullptr, sigOk, zeros}};
    for (const auto& step : steps) {
        r.tag = step.tag;
        r.dlyOffset = 5;
        EXPECT_EQ(sigFirSetDelay_cf32(&r, step.dly), step.status);
        const std::vector<cf32> oldestFirst(step.line.rbegin(), step.line.rend());
        EXPECT_EQ(std::memcmp(r.dlyLine, oldestFirst.data(), 4 * sizeof(cf32)), 0);
        EXPECT_EQ(r.dlyOffset, step.status == sigOk ? 0 : 5);
        EXPECT_EQ(r.dlyLine[4].re, 42.0f);
    }
    r.tag = tag;
}

// One filter over `blocks` blocks (0: a random count on both sides of E input samples, so the
// short path, the long path and a few cycles) in one call, in random pieces and in place. Inputs
// and outputs start right after or end right before inaccessible pages: no path reads before or
// past the caller's input or writes outside its output. All match the reference, the plain
// slot's calls to the bit (it sums every output the same way on every path), and leave the last
// n inputs as history; the record, `misalign` bytes past a boundary, stays inside its size.
void expectFilters(std::mt19937& rng, int slot, int T, int U, int pu, int D, int pd, int blocks,
                   int misalign)
{
    const int n = (T + U - 1) / U;
    const std::vector<cf32> h = firtest::randomSignal(rng, T), hist = firtest::randomSignal(rng, n);
    MrRecord whole(h, U, pu, D, pd, hist.data(), misalign), split(h, U, pu, D, pd, hist.data());
    MrRecord inPlace(h, U, pu, D, pd, hist.data());
    ASSERT_EQ(whole.status(), sigOk);
    if (blocks == 0)
        blocks = std::uniform_int_distribution<int>(1, 3 * whole.state()->dlyExt / D + 40)(rng);
    SCOPED_TRACE(::testing::Message() << "taps " << T << " U " << U << " pu " << pu << " D " << D
                                      << " pd " << pd << " blocks " << blocks);
    const size_t inLen = size_t(blocks) * D, outLen = size_t(blocks) * U;
    const std::vector<cf32> in = firtest::randomSignal(rng, inLen);
    firtest::GuardedBlock inA(inLen * sizeof(cf32)), inB(inLen * sizeof(cf32));
    firtest::GuardedBlock outA(outLen * sizeof(cf32)), outB(outLen * sizeof(cf32));
    cf32 *one = outA.back(), *parts = outB.front();
    std::copy(in.begin(), in.end(), inA.front());
    std::copy(in.begin(), in.end(), inB.back());
    ASSERT_EQ(sigFir_cf32(inA.front(), one, blocks, whole.state()), sigOk);
    for (int done = 0, b; done < blocks; done += b) {
        b = std::min(blocks - done, std::uniform_int_distribution<int>(1, blocks / 2 + 1)(rng));
        ASSERT_EQ(sigFir_cf32(inB.back() + size_t(done) * D, parts + size_t(done) * U, b, split.state()),
                  sigOk);
    }
    std::vector<cf32> inout(std::max(inLen, outLen));
    std::copy(in.begin(), in.end(), inout.begin());
    ASSERT_EQ(sigFir_cf32(inout.data(), inout.data(), blocks, inPlace.state()), sigOk);
    const std::vector<cf32> signal = firtest::joined(hist, in.data(), inLen);
    const auto ref = firtest::polyphase(h, U, pu, D, pd, signal, n, int64_t(outLen));
    firtest::expectNear(ref, one, int64_t(outLen), n, "one call");
    firtest::expectNear(ref, parts, int64_t(outLen), n, "split calls");
    firtest::expectNear(ref, inout.data(), int64_t(outLen), n, "in place");
    EXPECT_TRUE(slot != 0 || std::memcmp(one, parts, outLen * sizeof(cf32)) == 0);
    // The same calls, hence the same bits, unless in place runs in chunks on a vector slot.
    const bool sameCalls = U > D || outLen <= 4096 || slot == 0;
    EXPECT_TRUE(!sameCalls || std::memcmp(one, inout.data(), outLen * sizeof(cf32)) == 0);
    for (const MrRecord* rec : {&whole, &split, &inPlace})
        EXPECT_EQ(std::memcmp(rec->state()->dlyLine, &signal[signal.size() - n], n * sizeof(cf32)), 0);
    EXPECT_TRUE(whole.canaryIntact());
}

// Random filters and phases; then for in place U > D (temporary copy), U <= D within one chunk
// and across several, and U beyond the plain 4096-output chunk (which would give zero blocks a
// chunk); a record of 1000 taps.
TEST_P(FirMrSlots, FiltersMatchTheReferenceWithinTheCallersArrays)
{
    std::mt19937 rng(100 + slot());
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 300; ++trial) {
        const int T = uniform(1, 100), U = uniform(1, 6), D = uniform(1, 6);
        const int pu = uniform(0, U - 1), pd = uniform(0, D - 1);
        expectFilters(rng, slot(), T, U, pu, D, pd, 0, trial % 16);
    }
    struct Shape { int T, U, D, blocks; };
    int misalign = 0;
    for (const Shape s : {Shape{21, 3, 2, 700}, Shape{48, 1, 2, 1646}, Shape{48, 1, 2, 9000},
                          Shape{30, 2, 5, 5000}, Shape{3, 5000, 5000, 3}, Shape{64, 4, 4, 3000},
                          Shape{1000, 1, 1, 50}})
        expectFilters(rng, slot(), s.T, s.U, 0, s.D, s.D - 1, s.blocks, misalign += 5);
}

// The decoder's front end: 48 taps, up 1, down 2; per frame the history is loaded and 3292
// samples become 1646 outputs (head 24 from the delay line, 1616 from the input, tail 6).
TEST_P(FirMrSlots, DecoderFrontEndContinuesFromTheLoadedHistory)
{
    std::mt19937 rng(400 + slot());
    std::vector<cf32> h(48);
    for (int k = 0; k < 48; ++k)  // real low-pass taps, as the decoder interleaves them
        h[k] = cf32{float(std::sin(0.3 * (k - 23.5)) / (k - 23.5)), 0.0f};
    MrRecord rec(h, 1, 0, 2, 0, nullptr);
    ASSERT_EQ(rec.status(), sigOk);
    const std::vector<cf32> stream = firtest::randomSignal(rng, 48 + 3 * 3292);
    for (int frame = 0; frame < 3; ++frame) {
        const cf32* frameStart = stream.data() + 48 + size_t(frame) * 3292;
        const std::vector<cf32> dly(std::make_reverse_iterator(frameStart),
                                    std::make_reverse_iterator(frameStart - 48));
        ASSERT_EQ(sigFirSetDelay_cf32(rec.state(), dly.data()), sigOk);
        std::vector<cf32> out(1646 + 1, cf32{9, 9});
        ASSERT_EQ(sigFir_cf32(frameStart, out.data(), 1646, rec.state()), sigOk);
        const std::vector<cf32> signal(frameStart - 48, frameStart + 3292);
        const auto ref = firtest::polyphase(h, 1, 0, 2, 0, signal, 48, 1646);
        firtest::expectNear(ref, out.data(), 1646, 48, "decoder frame");
        EXPECT_EQ(out[1646].re, 9.0f);
    }
}

// Checks in order (the length before the tag); a block count whose sample counts exceed 32 bits
// is -9 before anything is read; a failed temporary copy leaves output and history alone.
TEST_P(FirMrSlots, FilterChecksInOrderAndFailuresLeaveOutputAndHistoryUntouched)
{
    std::mt19937 rng(500);
    const std::vector<cf32> h = firtest::randomSignal(rng, 9), hist = firtest::randomSignal(rng, 3);
    MrRecord rec(h, 3, 0, 2, 1, hist.data());  // U > D: in place needs a copy
    sigFirMrState_cf32* st = rec.state();
    std::vector<cf32> inout = firtest::randomSignal(rng, 300);
    const std::vector<cf32> before = inout;
    cf32* x = inout.data();
    EXPECT_EQ(sigFir_cf32(nullptr, nullptr, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigFir_cf32(nullptr, x, 0, st), sigErrNull);
    EXPECT_EQ(sigFir_cf32(x, nullptr, 0, st), sigErrNull);
    const uint32_t tag = st->tag;
    st->tag = 0;
    EXPECT_EQ(sigFir_cf32(x, x + 100, 0, st), sigErrLength);
    EXPECT_EQ(sigFir_cf32(x, x + 100, -1, st), sigErrLength);
    EXPECT_EQ(sigFir_cf32(x, x + 100, 4, st), sigErrTag);
    EXPECT_EQ(sigFir_cf32(x, x, 4, st), sigErrTag);
    st->tag = tag;
    EXPECT_EQ(sigFir_cf32(x, x + 1, INT32_MAX / 2 + 1, st), sigErrMemory);
    {
        fft_test::AllocatorSwap failing(true);
        EXPECT_EQ(sigFir_cf32(x, x, 100, st), sigErrMemory);
    }
    EXPECT_EQ(std::memcmp(inout.data(), before.data(), before.size() * sizeof(cf32)), 0);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(st->dlyLine[k].re, hist[2 - k].re);
}

using MrBlock = int32_t (*)(const cf32*, const cf32*, cf32*, int32_t, const int32_t*, int32_t,
                           int32_t, int32_t, int32_t);
const MrBlock kMrBlock[7] = {nullptr,
                             sig::s1::sigkFirMrBlock_cf32,
                             sig::s2::sigkFirMrBlock_cf32,
                             sig::s3::sigkFirMrBlock_cf32,
                             sig::s4::sigkFirMrBlock_cf32,
                             sig::s5::sigkFirMrBlock_cf32,
                             sig::s6::sigkFirMrBlock_cf32};

// The vector slots' one member, lane by lane: each output's row against its window two taps at
// a time, lanes 0 and 1 for the even tap and 2 and 3 for the odd one, an odd last tap in lanes
// 2 and 3 of R and 0 and 1 of I (the other lanes add 0 * 0); every product rounded before its
// add, re = (R0 + R2) + (R1 + R3), im = (I0 + I2) + (I1 + I3). Kept out of the vectoriser so
// that the sums stay as written.
[[gnu::optimize("no-tree-vectorize")]] int32_t laneSums(const float* table, const cf32* buf,
                                                        cf32* dst, int32_t count, const int32_t* P,
                                                        int32_t U, int32_t base, int32_t n, int32_t f)
{
    const float* halfB = table + 8 * int64_t{U} * f;
    int64_t w = 8 * int64_t{base} + P[0];  // bytes from buf
    for (int32_t m = 0, r = 0; m < count; ++m) {
        const int32_t row = U == 1 ? 0 : r;
        const float* x = reinterpret_cast<const float*>(buf) + (U == 1 ? w + m * int64_t{P[1]} : w) / 4;
        const float* a = table + 2 * int64_t{f} * row;
        const float* b = halfB + 2 * int64_t{f} * row;
        float R[4] = {}, I[4] = {};
        int32_t k = 0;
        for (; k + 2 <= n; k += 2)
            for (int l = 0; l < 4; ++l) {
                R[l] = R[l] + x[2 * k + l] * a[2 * k + l];
                I[l] = I[l] + x[2 * k + l] * b[2 * k + l];
            }
        if (k < n)
            for (int l = 0; l < 4; ++l) {
                const float zero = 0.0f;
                R[l] = R[l] + (l >= 2 ? x[2 * k + l - 2] * a[2 * k + l - 2] : zero * zero);
                I[l] = I[l] + (l < 2 ? x[2 * k + l] * b[2 * k + l] : zero * zero);
            }
        dst[m] = cf32{(R[0] + R[2]) + (R[1] + R[3]), (I[0] + I[2]) + (I[1] + I[3])};
        if (U != 1 && ++r < 4 * U) {
            w += P[r];
        } else if (U != 1) {
            r = 0;
            w += P[4 * U];
            if (m + 1 < count)
                w += P[0];
        }
    }
    return U == 1 ? int32_t((8 * int64_t{base} + count * int64_t{P[1]}) / 8) : int32_t(w / 8);
}

// Levels 1 to 6 share one polyphase block kernel: every vector slot gives the lane sums above
// and slot 1's outputs to the bit, for one row (U 1, the decoder's 48 taps among them) and for
// several, for odd and even tap counts, one tap and runs of eight and more.
TEST(FirMrBlockVector, EverySlotGivesTheLaneSumsOfLevelOne)
{
    std::mt19937 rng(2232);
    auto uniform = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    struct Shape { int32_t U, n, cycles; };
    std::vector<Shape> shapes = {{1, 48, 411}, {1, 1, 9}, {1, 7, 20}, {1, 8, 20}, {2, 3, 15}, {3, 16, 7}};
    for (int trial = 0; trial < 60; ++trial)
        shapes.push_back({uniform(1, 6), uniform(1, 70), uniform(1, 12)});
    for (const Shape& s : shapes) {
        const int32_t f = (s.n + 1) / 2 * 2, rows = 4 * s.U;
        SCOPED_TRACE(::testing::Message() << "U " << s.U << " n " << s.n << " cycles " << s.cycles);
        // Both halves of the table, random rows; window starts within a cycle, in samples.
        std::vector<float> table(size_t(4) * rows * f);
        for (float& v : table)
            v = std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
        const int32_t step = uniform(1, 3), advance = s.U == 1 ? 4 * step : uniform(1, 4 * s.U + 3);
        std::vector<int32_t> start(rows);
        for (int32_t r = 0; r < rows; ++r)
            start[r] = s.U == 1 ? r * step : uniform(0, 3 * s.U + 5);
        std::vector<int32_t> P(rows + 1);
        P[0] = 8 * start[0];
        for (int32_t r = 1; r < rows; ++r)
            P[r] = 8 * (start[r] - start[r - 1]);
        P[rows] = 8 * (advance - start[rows - 1]);
        const int32_t base = uniform(0, 9), count = rows * s.cycles;
        const std::vector<cf32> buf = firtest::randomSignal(
            rng, size_t(base) + size_t(s.cycles) * advance + 4 * step + 3 * s.U + 5 + s.n);
        const cf32* tab = reinterpret_cast<const cf32*>(table.data());
        std::vector<cf32> want(count), one(count);
        const int32_t next = laneSums(table.data(), buf.data(), want.data(), count, P.data(), s.U, base, s.n, f);
        ASSERT_EQ(next, base + s.cycles * advance);
        for (int slot = 1; slot <= 6; ++slot) {
            if (!testing_slots::slotRuns(slot))
                continue;
            std::vector<cf32> got(count + 1, cf32{-7, -7});
            EXPECT_EQ(kMrBlock[slot](tab, buf.data(), got.data(), count, P.data(), s.U, base, s.n, f), next);
            if (slot == 1)
                std::copy(got.begin(), got.end() - 1, one.begin());
            int32_t differ = 0, first = -1;
            for (int32_t m = 0; m < count; ++m)
                if (std::memcmp(&got[m], &want[m], sizeof(cf32)) != 0 ||
                    std::memcmp(&got[m], &one[m], sizeof(cf32)) != 0)
                    if (differ++ == 0)
                        first = m;
            EXPECT_EQ(differ, 0) << "slot " << slot << ": " << differ << " of " << count
                                 << " outputs differ, the first at " << first;
            EXPECT_EQ(got[count].re, -7.0f) << "slot " << slot;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirMrSlots, ::testing::Range(0, 7));

}  // namespace
