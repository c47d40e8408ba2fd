// Moves of every slot against memmove over the overlap matrix: every distance up to 70 bytes
// both ways, distances around 4096, sizes around the step and string-move bounds, several
// alignments.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "mem_arena.h"
#include "mem_kernels.h"
#include "slots.h"

namespace {

struct MoveKernel {
    std::string name;
    size_t unit;
    bool forwardOnly;  // right only for a destination at or below the source
    std::function<void(const uint8_t*, uint8_t*, size_t)> run;
};

std::vector<MoveKernel> moveKernels(int slot)
{
    const MemKernels& k = memKernels(slot);
    std::vector<MoveKernel> list = {
        {"sigkMemMove_u8", 1, false,
         [&k](const uint8_t* s, uint8_t* d, size_t n) { k.memMove(s, d, int32_t(n)); }},
        {"sigkMove_cf32", 8, false,
         [&k](const uint8_t* s, uint8_t* d, size_t n) {
             ASSERT_EQ(k.moveCf32(reinterpret_cast<const cf32*>(s), reinterpret_cast<cf32*>(d),
                                  int32_t(n / 8)),
                       sigOk);
         }},
    };
    if (k.memCopyRep)
        list.push_back({"sigkMemCopyRep_u8", 1, true, [&k](const uint8_t* s, uint8_t* d, size_t n) {
                            k.memCopyRep(s, d, int32_t(n));
                        }});
    return list;
}

std::vector<ptrdiff_t> distances()
{
    std::vector<ptrdiff_t> list;
    for (ptrdiff_t d = -70; d <= 70; ++d)
        list.push_back(d);
    for (ptrdiff_t d : {4093, 4095, 4096, 4097, 4099, 4160})
        list.insert(list.end(), {d, -d});
    return list;
}

std::vector<size_t> sizes()
{
    std::vector<size_t> list;
    for (size_t n = 1; n <= 70; n += (n < 40 ? 1 : 3))
        list.push_back(n);
    for (size_t n : {96u, 127u, 128u, 129u, 160u, 224u, 225u, 255u, 256u, 257u, 1000u, 4096u,
                     32767u, 32768u, 32769u, 40000u})
        list.push_back(n);
    return list;
}

class MoveSlots : public ::testing::TestWithParam<int> {};

TEST_P(MoveSlots, EveryOverlapGivesWhatMemmoveGives)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    for (const MoveKernel& kernel : moveKernels(GetParam()))
        for (size_t n : sizes()) {
            if (n % kernel.unit)
                continue;
            Arena arena(n + 2 * 4160 + 256, uint32_t(n));
            for (ptrdiff_t distance : distances()) {
                if (kernel.forwardOnly && distance < 0)
                    continue;
                if (distance % ptrdiff_t(kernel.unit))
                    continue;
                // Small sizes at every alignment mod 32; larger ones at a few.
                for (size_t offset = 0; offset < 32; offset += (n <= 70 ? 1 : 7)) {
                    if (kernel.unit != 1 && offset % 4)
                        continue;
                    arena.reset();
                    uint8_t* dst = arena.at(4160 + 64 + offset);
                    const uint8_t* src = dst + distance;
                    std::memmove(arena.expect(dst), src, n);
                    kernel.run(src, dst, n);
                    ASSERT_TRUE(arena.matches(dst)) << kernel.name << " n " << n << " src-dst "
                                                    << distance << " offset " << offset;
                }
            }
        }
}

TEST_P(MoveSlots, SeparateBuffersAndItselfAtLargeSizes)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    for (const MoveKernel& kernel : moveKernels(GetParam()))
        for (size_t n : {131071u, 131072u, 131073u, 1048577u}) {
            n = n / kernel.unit * kernel.unit;
            Arena arena(2 * n + 512, uint32_t(n));
            for (ptrdiff_t distance : {ptrdiff_t(0), ptrdiff_t(n + 72), -ptrdiff_t(n + 136),
                                       ptrdiff_t(8000), -ptrdiff_t(8000)}) {
                if (kernel.forwardOnly && distance < 0)
                    continue;
                arena.reset();
                uint8_t* dst = arena.at(distance < 0 ? size_t(-distance) + 64 : 64);
                const uint8_t* src = dst + distance;
                std::memmove(arena.expect(dst), src, n);
                kernel.run(src, dst, n);
                ASSERT_TRUE(arena.matches(dst)) << kernel.name << " n " << n << " distance "
                                                << distance;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(EverySlot, MoveSlots, ::testing::Range(0, 7));

}  // namespace
