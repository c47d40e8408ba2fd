// Copies, moves, zero-fills and 32-bit fills of every slot against the C runtime, byte for byte
// with canaries on both sides (the scanner's 16-bit copy and zero among them); the argument
// checks of the guarded kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fake_cpu.h"
#include "mem_path_log.h"
#include "mem_kernels.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using testing_slots::SlotScope;

constexpr int32_t kValue = 0x11a2c3f4;  // four distinct bytes: a fill out of phase shows

// Copy: separate buffers, or a destination at or below an overlapping source (the decoder shifts
// held samples down with sigCopy_cf32 and needs the ascending result). Move: any overlap.
enum class Kind { Copy, Move, Zero, Fill };

using Src = const uint8_t*;
using Dst = uint8_t*;

struct Kernel {
    std::string name;
    Kind kind;
    size_t unit;   // the bytes of one counted element
    bool guarded;  // checks its arguments; the raw kernels report sigOk
    std::function<sigStatus(Src, Dst, int32_t)> run;

    bool moves() const { return kind == Kind::Copy || kind == Kind::Move; }
    // Element kernels start on 4-byte boundaries; the 32-bit fills also at odd and 2-mod-4 ones.
    size_t step() const { return unit == 1 || kind == Kind::Fill ? 1 : 4; }
    size_t place(size_t offset) const { return offset & ~(step() - 1); }
};

template <class T>
T* as(Src p) { return reinterpret_cast<T*>(const_cast<uint8_t*>(p)); }

// The raw kernels check nothing and report nothing; the public ones run on the slot dispatched.
Kernel raw(const char* name, Kind kind, size_t unit, std::function<void(Src, Dst, int32_t)> f)
{
    return {name, kind, unit, false, [f](Src s, Dst d, int32_t n) { f(s, d, n); return sigOk; }};
}
Kernel guarded(const char* name, Kind kind, size_t unit, int slot, std::function<sigStatus(Src, Dst, int32_t)> f)
{
    return {name, kind, unit, true, [f, slot](Src s, Dst d, int32_t n) { SlotScope in(slot); return f(s, d, n); }};
}

std::vector<Kernel> kernels(int slot)
{
    const MemKernels& k = memKernels(slot);
    std::vector<Kernel> list = {
        raw("sigkMemCopy_u8", Kind::Copy, 1, k.memCopy),
        guarded("sigkCopy_u8", Kind::Copy, 1, slot, k.copyU8),
        guarded("sigCopy_cf32", Kind::Copy, 8, slot,
            [](Src s, Dst d, int32_t n) { return sigCopy_cf32(as<cf32>(s), as<cf32>(d), n); }),
        guarded("sigCopy_cs16", Kind::Copy, 4, slot,
            [](Src s, Dst d, int32_t n) { return sigCopy_cs16(as<cs16>(s), as<cs16>(d), n); }),
        raw("sigkMemMove_u8", Kind::Move, 1, k.memMove),
        guarded("sigkMove_cf32", Kind::Move, 8, slot,
            [&k](Src s, Dst d, int32_t n) { return k.moveCf32(as<cf32>(s), as<cf32>(d), n); }),
        raw("sigkMemZero_u8", Kind::Zero, 1, [&k](Src, Dst d, int32_t n) { k.memZero(d, n); }),
        guarded("sigkZero_u8", Kind::Zero, 1, slot, [&k](Src, Dst d, int32_t n) { return k.zeroU8(d, n); }),
        guarded("sigkZero_f32", Kind::Zero, 4, slot,
            [&k](Src, Dst d, int32_t n) { return k.zeroF32(as<float>(d), n); }),
        guarded("sigZero_f32", Kind::Zero, 4, slot,
            [](Src, Dst d, int32_t n) { return sigZero_f32(as<float>(d), n); }),
        guarded("sigZero_cs16", Kind::Zero, 4, slot,
            [](Src, Dst d, int32_t n) { return sigZero_cs16(as<cs16>(d), n); }),
        guarded("sigZero_cf32", Kind::Zero, 8, slot,
            [](Src, Dst d, int32_t n) { return sigZero_cf32(as<cf32>(d), n); }),
        raw("sigkMemSet_s32", Kind::Fill, 4, [&k](Src, Dst d, int32_t n) { k.memSet(kValue, as<int32_t>(d), n); }),
        guarded("sigkSet_s32", Kind::Fill, 4, slot,
            [&k](Src, Dst d, int32_t n) { return k.setS32(kValue, as<int32_t>(d), n); }),
    };
    if (k.memCopyRep)
        list.insert(list.end(), {
            raw("sigkMemCopyRep_u8", Kind::Copy, 1, k.memCopyRep),
            raw("sigkMemZeroNt_u8", Kind::Zero, 1, [&k](Src, Dst d, int32_t n) { k.memZeroNt(d, n); }),
            raw("sigkMemSetNt_s32", Kind::Fill, 4,
                [&k](Src, Dst d, int32_t n) { k.memSetNt(kValue, as<int32_t>(d), n); }),
        });
    return list;
}

// A page-aligned buffer of random bytes. check() runs a kernel and compares everything from 64
// bytes below the lower of source and destination to 64 bytes past the higher one's end with
// what the C runtime leaves there: every byte the kernel may not write is a canary.
class Arena {
public:
    explicit Arena(size_t size, uint32_t seed = 1) : raw_(size + 4096), pristine_(size), expected_(size)
    {
        base_ = raw_.data() + (-reinterpret_cast<uintptr_t>(raw_.data()) & 4095);
        uint64_t x = 0x9e3779b97f4a7c15ull ^ seed;
        for (uint8_t& b : pristine_) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            b = uint8_t(x >> 40);
        }
    }

    uint8_t* at(size_t offset) { return base_ + offset; }

    ::testing::AssertionResult check(const Kernel& k, Src src, Dst dst, size_t n)
    {
        if (!k.moves())
            src = dst;
        size_t lo = size_t(std::min<Src>(src, dst) - base_) - 64;
        size_t hi = std::min(pristine_.size(), size_t(std::max<Src>(src, dst) - base_) + n + 64);
        std::memcpy(base_ + lo, pristine_.data() + lo, hi - lo);
        std::memcpy(expected_.data() + lo, pristine_.data() + lo, hi - lo);
        uint8_t* want = expected_.data() + (dst - base_);
        if (k.kind == Kind::Zero)
            std::memset(want, 0, n);
        else if (k.kind == Kind::Fill)
            for (size_t i = 0; i < n; i += 4)
                std::memcpy(want + i, &kValue, 4);
        else
            std::memmove(want, expected_.data() + (src - base_), n);
        if (const sigStatus status = k.run(src, dst, int32_t(n / k.unit)); status != sigOk)
            return ::testing::AssertionFailure() << k.name << ", n " << n << ": status " << status;
        if (std::memcmp(base_ + lo, expected_.data() + lo, hi - lo) == 0)
            return ::testing::AssertionSuccess();
        auto diff = std::mismatch(base_ + lo, base_ + hi, expected_.data() + lo);
        const ptrdiff_t at = diff.first - dst;
        return ::testing::AssertionFailure()
               << k.name << ", n " << n << ", dst%64 " << (dst - base_) % 64 << ", src-dst "
               << src - dst << ": byte at dst" << (at < 0 ? "" : "+") << at << " is "
               << int(*diff.first) << ", expected " << int(*diff.second);
    }

    // Separate buffers: the destination (dst%64 == d) above the source (src%64 == s).
    ::testing::AssertionResult apart(const Kernel& k, size_t n, size_t d, size_t s)
    {
        Dst dst = at(64 + (k.moves() ? (n + 191) & ~size_t(63) : 0) + k.place(d));
        return check(k, at(64 + k.place(s)), dst, n);
    }

private:
    std::vector<uint8_t> raw_, pristine_, expected_;
    uint8_t* base_;
};

// Destination and source offsets (mod 64) for the big sizes: every residue mod 4 at the
// destination.
constexpr std::pair<size_t, size_t> kSparse[] = {{0, 0},  {1, 3},   {2, 12}, {3, 3}, {5, 0},
                                                 {0, 7},  {16, 48}, {34, 8}, {63, 1}};

class MemorySlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    const std::vector<Kernel> all = kernels(GetParam());
};

TEST_P(MemorySlots, SmallSizesAtEveryAlignment)
{
    Arena arena(2 * 300 * 8 + 512);
    for (const Kernel& k : all)
        for (size_t n = k.unit; n <= 300 * k.unit; n += k.unit)
            for (size_t d = 0; d < 64; d += k.step()) {
                // The same alignment, and a source that walks through all relative ones.
                ASSERT_TRUE(arena.apart(k, n, d, d));
                if (k.moves()) {
                    ASSERT_TRUE(arena.apart(k, n, d, (d * 37 + n * 11 + 1) % 64));
                }
            }
}

TEST_P(MemorySlots, SizesAroundEveryBound)
{
    std::vector<size_t> sizes;
    for (size_t b : {4096u, 32768u, 131072u, 262144u, 524288u, 1048576u, 2097152u,
                     4 * 262144u, 4 * 524288u})  // the last two: the fill bounds count words
        sizes.insert(sizes.end(), {b - 1, b, b + 1});
    Arena arena(2 * 2097156 + 512);
    for (const Kernel& k : all)
        for (size_t size : sizes)
            for (auto [d, s] : kSparse)
                ASSERT_TRUE(arena.apart(k, size / k.unit * k.unit, d, s));
}

// Separate buffers go forward or backward by the distance between their offsets within a
// 4096-byte page; each side of every edge of that choice gives memmove's bytes.
TEST_P(MemorySlots, EveryPageOffsetDistance)
{
    Arena arena(4 * 4096 + 5000);
    for (const Kernel& k : all)
        for (size_t n : {264u, 1000u, 5000u})
            for (long diff : {0L, 8L, 160L, 168L, 2048L, 3936L, -8L, -160L, -3936L, -3944L, -4088L}) {
                if (!k.moves())
                    break;
                // The source at 64 in its page, the destination at 64 - diff in a page past its end.
                ASSERT_TRUE(arena.check(k, arena.at(64), arena.at(2 * 4096 + ((64 - diff) & 4095)), n));
            }
}

// Every overlap up to 70 bytes both ways (copies: the destination below), distances around
// 4096, sizes around the step and string-move bounds; src == dst leaves everything as it was.
TEST_P(MemorySlots, OverlapsGiveWhatMemmoveGives)
{
    std::vector<size_t> sizes;
    for (size_t n = 1; n <= 70; n += (n < 40 ? 1 : 3))
        sizes.push_back(n);
    sizes.insert(sizes.end(), {96, 127, 128, 129, 160, 200, 224, 225, 255, 256, 257, 1000, 4096,
                               32767, 32768, 32769, 40000, 131071, 131072, 131073, 270000, 1048577});
    for (size_t n : sizes) {
        const bool large = n > 40000;
        std::vector<ptrdiff_t> distances;  // src - dst
        if (large)
            distances = {0, 1, 8, 100, 4096, 20000, ptrdiff_t(n) + 72};
        else {
            for (ptrdiff_t d = 0; d <= 70; ++d)
                distances.push_back(d);
            distances.insert(distances.end(), {100, 1000, 4093, 4095, 4096, 4097, 4099, 4160, 20000});
        }
        const size_t far = (size_t(distances.back()) + 63) & ~size_t(63);
        for (size_t i = distances.size(); i-- > 1;)
            distances.push_back(-distances[i]);
        Arena arena(n + 2 * far + 256, uint32_t(n));
        for (const Kernel& k : all)
            for (ptrdiff_t distance : distances) {
                if (!k.moves() || n % k.unit || distance % ptrdiff_t(k.unit) ||
                    (k.kind == Kind::Copy && distance < 0))
                    continue;
                for (size_t offset = 0; offset < 32; offset += n <= 70 ? k.step() : 7) {
                    Dst dst = arena.at(far + 64 + k.place(offset));
                    ASSERT_TRUE(arena.check(k, dst + distance, dst, n));
                    if (large && offset)
                        break;
                }
            }
    }
}

// An Intel processor with a 512 KiB cache: the 128-bit copies stream from 256 KiB (level 4
// from its probe bound of 1 MiB), the 128-bit zero above 512 KiB, the 128-bit fill above 1 MiB,
// levels 5 and 6 above 2 MiB; the bytes must not change.
TEST_P(MemorySlots, ForcedStreamingGivesTheSameBytes)
{
    const int slot = GetParam();
    FakeCpu cpu;
    cpu.intel(2).descriptors({0x43});
    Arena arena(2 * (3u << 20) + 512);
    for (const Kernel& k : all) {
        std::vector<size_t> sizes = {262143 + 64, 262144 + 64, 262145 + 64, 300000,
                                     1048575 + 16, 1048576 + 16, 1048577 + 16, (3u << 20) - 5};
        if (!k.moves())
            sizes = {524288 + 60, 524289 + 64, 1048576 + 4, 1048580, 2097152, 2097156, 2097152 + 100003};
        else if (k.kind == Kind::Move)
            continue;
        for (size_t size : sizes) {
            const size_t n = size / k.unit * k.unit;
            const int before = FakeCpu::calls();
            for (auto [d, s] : kSparse)
                ASSERT_TRUE(arena.apart(k, n, d, s));
            if (k.moves() && slot >= 1 && slot <= 4 && n > 1048576 + 64) {
                EXPECT_GT(FakeCpu::calls(), before) << k.name << ": the cache was not probed";
            }
        }
    }
}

enum class Path { Cached, Streamed, StringMove };
constexpr ptrdiff_t kAbove = 1 << 30, kBelow = -kAbove;  // separate buffers, src above/below dst

// One call at one side of a bound: which slots, which kernel, the cache the stand-in Intel
// processor reports (descriptor), the destination's offset from a 64-byte boundary, the
// source's place, the byte count, the path it must take, and whether the cache is asked
// (-1: either).
struct PathCase {
    int fromSlot, toSlot;
    const char* kernel;
    uint8_t cache;
    size_t dstOffset;
    ptrdiff_t srcFromDst;
    size_t n;
    Path want;
    int asks;
};

constexpr uint8_t k512K = 0x43, k1M = 0x44, k2M = 0x45, k4M = 0x49;

const PathCase kPathCases[] = {
    // 128-bit copies: probe past 131072 (level 4: from 1 MiB) counted after the head, which is
    // empty on an aligned destination; stream from half the cache (level 3: above it). Slot 2
    // copies bytes with level 4's code and complex vectors with level 3's.
    {1, 1, "sigkMemCopy_u8", k4M, 0, kAbove, 131072, Path::Cached, 0},
    {1, 1, "sigkMemCopy_u8", k4M, 0, kAbove, 131073, Path::Cached, 1},
    {1, 1, "sigkMemCopy_u8", k512K, 0, kAbove, 262143, Path::Cached, 1},
    {1, 1, "sigkMemCopy_u8", k512K, 0, kAbove, 262144, Path::Streamed, 1},
    {1, 1, "sigkMemCopy_u8", k512K, 5, kBelow, 262144 + 10, Path::Cached, 1},
    {1, 1, "sigkMemCopy_u8", k512K, 5, kBelow, 262144 + 11, Path::Streamed, 1},
    {2, 3, "sigCopy_cf32", k512K, 0, kAbove, 262144, Path::Cached, 1},
    {2, 3, "sigCopy_cf32", k512K, 0, kAbove, 262152, Path::Streamed, 1},
    {3, 3, "sigkMemCopy_u8", k512K, 0, kAbove, 262145, Path::Streamed, 1},
    {3, 3, "sigkCopy_u8", k512K, 0, 0, 262145, Path::Streamed, 1},  // src == dst streams too
    {2, 2, "sigkCopy_u8", k512K, 0, kAbove, 1048575, Path::Cached, 0},
    {2, 2, "sigkCopy_u8", k512K, 0, kAbove, 1048576, Path::Streamed, 1},
    {4, 4, "sigkMemCopy_u8", k512K, 0, kAbove, 1048575, Path::Cached, 0},
    {4, 4, "sigkMemCopy_u8", k512K, 0, kAbove, 1048576, Path::Streamed, 1},
    {4, 4, "sigkMemCopy_u8", k4M, 8, kAbove, 2097151 + 8, Path::Cached, 1},
    {4, 4, "sigkMemCopy_u8", k4M, 8, kAbove, 2097152 + 8, Path::Streamed, 1},
    // Levels 5 and 6 copy through the cache, with the string move from 32768 bytes.
    {5, 6, "sigkCopy_u8", k512K, 0, kAbove, 32767, Path::Cached, 0},
    {5, 6, "sigkCopy_u8", k512K, 3, kAbove, 32768, Path::StringMove, 0},
    {5, 6, "sigCopy_cf32", k512K, 0, kBelow, 3u << 20, Path::StringMove, 0},
    {5, 6, "sigkMemCopy_u8", k512K, 0, kAbove, 3u << 20, Path::Cached, 0},
    // Moves: the string move only forward, from 32768 bytes on level 5 (onto itself when the
    // arrays coincide) and 6, whatever the overlap; never on levels 1 to 4.
    {1, 4, "sigkMemMove_u8", k512K, 0, kAbove, 3u << 20, Path::Cached, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, kAbove, 32767, Path::Cached, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, kAbove, 32768, Path::StringMove, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, 8, 32768, Path::StringMove, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, 0, 32768, Path::StringMove, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, kBelow, 40000, Path::Cached, 0},
    {5, 6, "sigkMemMove_u8", k512K, 0, -8, 40000, Path::Cached, 0},
    // The 128-bit zero: probe past 524288 bytes after its head, stream from the cache size.
    {1, 4, "sigkMemZero_u8", k512K, 0, 0, 524288, Path::Cached, 0},
    {1, 4, "sigkMemZero_u8", k512K, 0, 0, 524289, Path::Streamed, 1},
    {1, 4, "sigkZero_u8", k1M, 3, 0, 1048575 + 13, Path::Cached, 1},
    {1, 4, "sigkZero_u8", k1M, 3, 0, 1048576 + 13, Path::Streamed, 1},
    // The 256-bit zero-fill: never streams itself; its twin asks above 2 MiB and streams above
    // the cache size.
    {5, 6, "sigkMemZero_u8", k512K, 0, 0, 3u << 20, Path::Cached, 0},
    {5, 6, "sigkMemZeroNt_u8", k512K, 0, 0, 2097152, Path::Cached, 0},
    {5, 6, "sigkMemZeroNt_u8", k512K, 0, 0, 2097153, Path::Streamed, 1},
    {5, 6, "sigkZero_f32", k4M, 4, 0, 4194304, Path::Cached, 1},
    {5, 6, "sigZero_cf32", k4M, 0, 0, 4194312, Path::Streamed, 1},
    // The 128-bit fill: probe past 262144 words (after a 2-mod-4 destination's first half-word),
    // stream when the words after the aligning single ones exceed the cache; odd: never.
    {1, 4, "sigkMemSet_s32", k512K, 0, 0, 4 * 262144, Path::Cached, 0},
    {1, 4, "sigkMemSet_s32", k512K, 0, 0, 4 * 262145, Path::Streamed, 1},
    {1, 4, "sigkSet_s32", k512K, 2, 0, 4 * 262145, Path::Cached, 0},
    {1, 4, "sigkSet_s32", k512K, 2, 0, 4 * 262146, Path::Streamed, 1},
    {1, 4, "sigkSet_s32", k2M, 4, 0, 4 * 524291, Path::Cached, 1},
    {1, 4, "sigkSet_s32", k2M, 4, 0, 4 * 524292, Path::Streamed, 1},
    {1, 4, "sigkSet_s32", k512K, 1, 0, 4 * 524292, Path::Cached, -1},
    // The 256-bit fill as the 256-bit zero; a destination off the 4-byte grid never streams.
    {5, 6, "sigkMemSet_s32", k512K, 0, 0, 3u << 20, Path::Cached, 0},
    {5, 6, "sigkSet_s32", k512K, 0, 0, 2097152, Path::Cached, 0},
    {5, 6, "sigkSet_s32", k512K, 0, 0, 2097156, Path::Streamed, 1},
    {5, 6, "sigkMemSetNt_s32", k4M, 0, 0, 4194304, Path::Cached, 1},
    {5, 6, "sigkMemSetNt_s32", k4M, 0, 0, 4194308, Path::Streamed, 1},
    {5, 6, "sigkMemSetNt_s32", k512K, 2, 0, 4194308, Path::Cached, -1},
};

// Each bound on both sides: the path taken (seen through the library's path hook) and whether
// the cache was asked (the stand-in processor's query count), with the bytes exact. Nothing
// else tells these apart: a path on the wrong side of its bound writes the same bytes.
TEST_P(MemorySlots, EachBoundSelectsItsPath)
{
    const int slot = GetParam();
    Arena arena(2 * (4194312 + 4096) + 1024);
    const char* names[] = {"cached", "streamed", "string move"};
    for (const PathCase& c : kPathCases) {
        if (slot < c.fromSlot || slot > c.toSlot)
            continue;
        auto k = std::find_if(all.begin(), all.end(), [&](const Kernel& x) { return x.name == c.kernel; });
        ASSERT_NE(k, all.end()) << c.kernel;
        FakeCpu cpu;
        cpu.intel(2).descriptors({c.cache});
        const size_t room = (c.n + 4096 + 127) & ~size_t(63);
        Dst dst = arena.at(c.srcFromDst == kBelow ? 64 + room + c.dstOffset : 64 + 4096 + c.dstOffset);
        Src src = c.srcFromDst == kBelow ? arena.at(64 + c.dstOffset)
                  : c.srcFromDst == kAbove ? dst + room
                                           : dst + c.srcFromDst;
        PathLog log;
        const int asked = FakeCpu::calls();
        ASSERT_TRUE(arena.check(*k, src, dst, c.n));
        const Path got = PathLog::streamed ? Path::Streamed
                         : PathLog::stringMoves ? Path::StringMove
                                                : Path::Cached;
        EXPECT_EQ(PathLog::streamed + PathLog::stringMoves, got == Path::Cached ? 0 : 1);
        EXPECT_STREQ(names[int(got)], names[int(c.want)]) << c.kernel << ", n " << c.n << ", dst%64 " << c.dstOffset;
        if (c.asks >= 0) {
            EXPECT_EQ(FakeCpu::calls() > asked, c.asks == 1)
                << c.kernel << ", n " << c.n << ": the cache was " << (c.asks ? "not " : "") << "asked";
        }
    }
}

TEST_P(MemorySlots, MultiplyInPlaceMatchesTheScalarProduct)
{
    const MemKernels& k = memKernels(GetParam());
    Arena arena(4 * (131072 + 38) + 128);
    for (int32_t count : {1, 2, 3, 7, 10, 11, 12, 17, 64, 100, 131072 + 8, 131072 + 37})
        for (size_t offset : {0u, 4u, 8u, 12u, 20u, 1u}) {
            Dst base = arena.at(64 + offset);
            std::vector<float> data(size_t(count) + 1), want(size_t(count) + 1);
            for (int32_t i = 0; i <= count; ++i) {
                data[size_t(i)] = float((i * 7919) % 20011 - 10005) * 1.3e-3f;
                want[size_t(i)] = i < count ? data[size_t(i)] * -0.7071f : data[size_t(i)];
            }
            std::memcpy(base, data.data(), data.size() * 4);
            k.mulC(-0.7071f, as<float>(base), count);  // the element after the last stays
            ASSERT_EQ(std::memcmp(base, want.data(), want.size() * 4), 0)
                << "count " << count << " offset " << offset;
        }
}

// A NULL pointer (-8) is reported before a count below 1 (-6), and a refused call writes nothing.
TEST_P(MemorySlots, NullBeforeLengthAndNothingWritten)
{
    alignas(64) uint8_t src[64], dst[64], before[64];
    std::memset(src, 0x5a, sizeof src);
    std::memset(dst, 0xc3, sizeof dst);
    std::memcpy(before, dst, sizeof dst);
    for (const Kernel& k : all) {
        if (!k.guarded)
            continue;
        for (int32_t n : {1, 0, -1, INT32_MIN}) {
            EXPECT_EQ(k.run(src, nullptr, n), sigErrNull) << k.name << " " << n;
            if (k.moves()) {
                EXPECT_EQ(k.run(nullptr, dst, n), sigErrNull) << k.name << " " << n;
            }
            if (n < 1) {
                EXPECT_EQ(k.run(src, dst, n), sigErrLength) << k.name << " " << n;
            }
        }
        EXPECT_EQ(std::memcmp(dst, before, sizeof dst), 0) << k.name << ": a refused call wrote";
        EXPECT_EQ(k.run(src, dst, 2), sigOk) << k.name;
        std::memcpy(dst, before, sizeof dst);
    }
}

INSTANTIATE_TEST_SUITE_P(EverySlot, MemorySlots, ::testing::Range(0, 7));

}  // namespace
