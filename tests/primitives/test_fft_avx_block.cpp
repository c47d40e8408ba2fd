// The large-order kernels of slots 5 and 6, called directly with specs from each slot's own
// planner, both directions: the row transform on bit-reversed rows of 2^15 to 2^18 points against
// the double-precision transform and, to the bit, the fused transform's scalar model; aligned
// rows in place and unaligned ones through the work buffer, with the same bits, interleaved or
// split, and the inverse as the forward's conjugate twin; a round trip through both; the column
// pass completing a transform from the spectra of its residues; the tile moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fft_avx_model.h"
#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::allowedError;
using fft_reference::cd;
using fft_reference::toDouble;
using fft_test::caseName;
using fft_test::conj;
using fft_test::Guarded;
using fft_test::Plan;
using fft_test::References;
using fft_test::sameUpToZeroSign;
using fft_test::SlotOrder;

using Row = decltype(&sig::s5::sigkFftRadixFwd_cf32);
using Cols = decltype(&sig::s5::sigkFftRadix4Cols_cf32);
using BitRev = decltype(&sig::s5::sigkBitRevCopy_cf32);

struct Kernels {
    Row row[2];  // forward, inverse
    Cols cols[2];
    BitRev bitRev;
    decltype(&sig::s5::sigkFftTileGather_cf32) gather;
    decltype(&sig::s5::sigkFftTileScatter_cf32) scatter;
};
#define KERNELS_OF(ns)                                                                             \
    {{sig::ns::sigkFftRadixFwd_cf32, sig::ns::sigkFftRadixInv_cf32},                               \
     {sig::ns::sigkFftRadix4Cols_cf32, sig::ns::sigkFftRadix4ColsInv_cf32},                        \
     sig::ns::sigkBitRevCopy_cf32, sig::ns::sigkFftTileGather_cf32, sig::ns::sigkFftTileScatter_cf32}
const Kernels kKernels[2] = {KERNELS_OF(s5), KERNELS_OF(s6)};
#undef KERNELS_OF
const Kernels& kernelsOf(int slot) { return kKernels[slot - 5]; }

// Float index of the real part of value v in split blocks of 8.
size_t splitRe(size_t v) { return 16 * (v / 8) + v % 8; }

// ---- The row transform ---------------------------------------------------------------------------

class AvxBlock : public testing::TestWithParam<SlotOrder> {};

TEST_P(AvxBlock, ReferenceAlignmentsSplitOutputAndTwin)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const Kernels& k = kernelsOf(slot);
    const size_t n = size_t{1} << order;
    const Plan plan(order, 8, slot);
    const float* twiddles = plan.at<float>(11);
    const std::vector<cf32> x = fft_reference::testSignal(n, 500u + uint32_t(order));
    std::vector<cf32> xr(n);
    k.bitRev(x.data(), xr.data(), int32_t(n), plan.at<int32_t>(10));
    std::vector<cf32> result[2];
    for (int inverse = 0; inverse < 2; ++inverse) {
        SCOPED_TRACE(inverse ? "inverse" : "forward");
        Guarded data(n, 0), work(n, 0);
        data.fill(xr);
        k.row[inverse](data.data, int32_t(n), twiddles, work.data, 1);
        result[inverse] = data.values();
        EXPECT_LE(fft_reference::relativeRmsError(data.data, References(x).ref[inverse], 1.0),
                  allowedError(order));
        const fft_test::AvxModel model{{inverse == 1}, slot == 6};
        EXPECT_TRUE(sameUpToZeroSign(result[inverse], model.run(x, twiddles))) << "not the model's bits";
        EXPECT_TRUE(data.guardsIntact());
        EXPECT_TRUE(work.untouched()) << "work buffer written although the row is aligned";
        // The split output holds the same values; an unaligned row goes through the work buffer
        // (within its n values) and comes back with the same bits.
        for (size_t offset : {0, 8, 24})
            for (int32_t flag : {1, 0}) {
                if (offset == 0 && flag == 1)
                    continue;
                Guarded d(n, offset), w(n, 0);
                d.fill(xr);
                k.row[inverse](d.data, int32_t(n), twiddles, w.data, flag);
                const std::vector<cf32> y = flag == 1 ? d.values() : fft_test::desplit(d.values(), 8);
                EXPECT_TRUE(std::memcmp(y.data(), result[inverse].data(), 8 * n) == 0 && d.guardsIntact())
                    << "row +" << offset << ", flag " << flag;
                EXPECT_TRUE(offset == 0 ? w.untouched() : w.guardsIntact()) << "row +" << offset;
            }
    }
    Guarded twin(n, 8), work(n, 0);
    twin.fill(conj(xr));
    k.row[0](twin.data, int32_t(n), twiddles, work.data, 1);
    EXPECT_TRUE(sameUpToZeroSign(conj(twin.values()), result[1])) << "not the forward's twin";
}

std::vector<SlotOrder> blockCases()
{
    std::vector<SlotOrder> cases;
    for (int slot : {5, 6})
        for (int32_t order = 15; order <= 18; ++order)
            cases.push_back({slot, order});
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Slots5And6, AvxBlock, testing::ValuesIn(blockCases()), caseName);

// Natural x, bit-reversed, forward, bit-reversed again and inverse gives n x: the two directions
// read one table and undo each other.
TEST(AvxBlockKernels, ForwardThenInverseRestoresTheRow)
{
    for (int slot : {5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const Kernels& k = kernelsOf(slot);
        for (int32_t order : {15, 16}) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order);
            const size_t n = size_t{1} << order;
            const Plan plan(order, 8, slot);
            const int32_t* table = plan.at<int32_t>(10);
            const std::vector<cf32> x = fft_reference::testSignal(n, 600u + uint32_t(order));
            Guarded y(n, 8), z(n, 0), work(n, 0);
            k.bitRev(x.data(), y.data, int32_t(n), table);
            k.row[0](y.data, int32_t(n), plan.at<float>(11), work.data, 1);
            k.bitRev(y.data, z.data, int32_t(n), table);
            k.row[1](z.data, int32_t(n), plan.at<float>(11), work.data, 1);
            EXPECT_LE(fft_reference::relativeRmsError(z.data, toDouble(x), double(n)), 2 * allowedError(order));
        }
    }
}

// ---- The column pass -----------------------------------------------------------------------------

// floats at a 32-byte boundary.
struct AlignedFloats {
    std::vector<float> block;
    float* data;
    explicit AlignedFloats(size_t count) : block(count + 16, 0.0f)
    {
        data = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(block.data()) + 31) & ~uintptr_t{31});
    }
};

// w^(power p) for positions p of a span t, w = e^(-j 2 pi / 4t), as the column tables store them
// per run of 8 positions: real parts then imaginary parts of each power in turn.
std::vector<float> columnFactors(int32_t t, int32_t positions, std::vector<int> powers)
{
    std::vector<float> f;
    for (int32_t r = 0; r < positions; r += 8)
        for (int power : powers)
            for (int part = 0; part < 2; ++part)
                for (int32_t i = 0; i < 8; ++i) {
                    const cd w = std::polar(1.0, -2 * M_PI * power * (r + i) / (4.0 * t));
                    f.push_back(static_cast<float>(part == 0 ? w.real() : w.imag()));
                }
    return f;
}

// The quarters of a group hold the t-point transforms of the residues 0, 2, 1, 3 of a 4t-point
// signal (in the split layout); one pass gives its 4t-point transform, general form over several
// groups and last form (half the factors stored) over one, both directions, the inverse the
// forward's conjugate twin.
TEST(AvxBlockKernels, ColumnPassCompletesTheTransform)
{
    for (int slot : {5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const Kernels& k = kernelsOf(slot);
        for (int32_t t : {16, 256}) {
            const int32_t residue[4] = {0, 2, 1, 3};
            const std::vector<cf32> x = fft_reference::testSignal(size_t(4 * t), 700u + uint32_t(t));
            const std::vector<float> general = columnFactors(t, t, {1, 2, 3});
            const std::vector<float> last = columnFactors(t, t / 2, {1, 2});
            AlignedFloats generalAt(general.size()), lastAt(last.size());
            std::copy(general.begin(), general.end(), generalAt.data);
            std::copy(last.begin(), last.end(), lastAt.data);
            std::vector<float> results[2][2];  // [direction][general, last], first group
            for (int inverse = 0; inverse < 2; ++inverse) {
                SCOPED_TRACE(testing::Message() << "slot " << slot << " t = " << t
                                                << (inverse ? " inverse" : " forward"));
                const std::vector<cd> want = References(x).ref[inverse];
                std::vector<float> group(8 * size_t(t));
                for (int32_t q = 0; q < 4; ++q) {
                    std::vector<cd> sub(static_cast<size_t>(t));
                    for (int32_t m = 0; m < t; ++m)
                        sub[size_t(m)] = {x[size_t(4 * m + residue[q])].re, x[size_t(4 * m + residue[q])].im};
                    const std::vector<cd> spectrum = References(sub).ref[inverse];
                    for (int32_t i = 0; i < t; ++i) {
                        group[splitRe(size_t(q * t + i))] = static_cast<float>(spectrum[size_t(i)].real());
                        group[splitRe(size_t(q * t + i)) + 8] = static_cast<float>(spectrum[size_t(i)].imag());
                    }
                }
                auto spectrumOf = [&](const float* p) {
                    std::vector<cf32> got(4 * size_t(t));
                    for (size_t i = 0; i < got.size(); ++i)
                        got[i] = {p[splitRe(i)], p[splitRe(i) + 8]};
                    return got;
                };
                AlignedFloats tile(3 * group.size());
                for (int g = 0; g < 3; ++g)
                    std::copy(group.begin(), group.end(), tile.data + g * group.size());
                k.cols[inverse](tile.data, tile.data, t, 0, generalAt.data);
                EXPECT_TRUE(std::equal(group.begin(), group.end(), tile.data)) << "no group, yet written";
                k.cols[inverse](tile.data, tile.data, t, 3, generalAt.data);
                for (int g = 0; g < 3; ++g)
                    EXPECT_LT(fft_reference::relativeRmsError(spectrumOf(tile.data + g * group.size()).data(),
                                                              want, 1.0),
                              2e-7)
                        << "general, group " << g;
                results[inverse][0].assign(tile.data, tile.data + group.size());
                for (int g = 0; g < 3; ++g)
                    std::copy(group.begin(), group.end(), tile.data + g * group.size());
                k.cols[inverse](tile.data, tile.data, t, 1, lastAt.data);
                EXPECT_LT(fft_reference::relativeRmsError(spectrumOf(tile.data).data(), want, 1.0), 2e-7)
                    << "last";
                EXPECT_TRUE(std::equal(tile.data + group.size(), tile.data + 2 * group.size(), group.begin()))
                    << "the last pass went past its group";
                results[inverse][1].assign(tile.data, tile.data + group.size());
                if (inverse == 1)
                    continue;
                // The inverse on the conjugated sub-spectra, conjugated back, must give the same bits.
                for (int form = 0; form < 2; ++form) {
                    std::vector<float> c = group;
                    for (size_t i = 0; i < 4 * size_t(t); ++i)
                        c[splitRe(i) + 8] = -c[splitRe(i) + 8];
                    std::copy(c.begin(), c.end(), tile.data);
                    k.cols[1](tile.data, tile.data, t, form == 0 ? 2 : 1, form == 0 ? generalAt.data : lastAt.data);
                    std::vector<cf32> twin = spectrumOf(tile.data), fwd = spectrumOf(results[0][form].data());
                    EXPECT_TRUE(sameUpToZeroSign(conj(twin), fwd)) << "not the twin, form " << form;
                }
            }
        }
    }
}

// ---- Tile moves ----------------------------------------------------------------------------------

// A tile out of a wider matrix at any 8-byte alignment and back with mode 0 restores it exactly,
// touching nothing beside the rows; mode 1 interleaves split blocks of 8 at a width of 8 mod 16.
TEST(AvxBlockKernels, TileGatherAndScatter)
{
    for (int slot : {5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        const Kernels& k = kernelsOf(slot);
        constexpr int32_t kStride = 200, kRows = 16;
        const std::vector<cf32> matrix = fft_reference::testSignal(kStride * kRows, 4);
        for (int32_t width : {16, 48, 64})
            for (int32_t column : {0, 3}) {
                std::vector<cf32> tile(size_t(kRows * width) + 1, cf32{7, 7}), back(matrix.size(), cf32{0, 0});
                k.gather(matrix.data() + column, tile.data(), kStride, kRows, width);
                EXPECT_TRUE(tile.back().re == 7 && tile.back().im == 7) << "gather past the tile";
                k.scatter(back.data() + column, tile.data(), kStride, kRows, width, 0);
                for (int32_t r = 0; r < kRows; ++r)
                    for (int32_t c = 0; c < kStride; ++c) {
                        const cf32 want = c >= column && c < column + width ? matrix[size_t(r * kStride + c)]
                                                                            : cf32{0, 0};
                        ASSERT_EQ(std::memcmp(&back[size_t(r * kStride + c)], &want, 8), 0)
                            << "width " << width << ", row " << r << ", column " << c;
                    }
            }
        constexpr int32_t kWidth = 24;
        std::vector<float> split(2 * kRows * kWidth);
        for (int32_t v = 0; v < kRows * kWidth; ++v) {
            split[splitRe(size_t(v))] = static_cast<float>(v);
            split[splitRe(size_t(v)) + 8] = -static_cast<float>(v);
        }
        std::vector<cf32> back(matrix.size(), cf32{0, 0});
        k.scatter(back.data() + 1, reinterpret_cast<const cf32*>(split.data()), kStride, kRows, kWidth, 1);
        for (int32_t r = 0; r < kRows; ++r)
            for (int32_t c = 0; c <= kWidth; ++c) {
                const cf32 got = back[size_t(r * kStride + 1 + c)];
                const float v = c < kWidth ? static_cast<float>(r * kWidth + c) : 0.0f;
                ASSERT_TRUE(got.re == v && got.im == -v) << "row " << r << ", column " << c;
            }
    }
}

}  // namespace
