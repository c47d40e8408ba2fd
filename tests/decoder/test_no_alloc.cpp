// GSM_pushFrame takes no memory: every allocation of the process is counted while frames of a
// real carrier go through every state (search, synchronisation, decoding, done).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "cell_run.h"
#include "core_vtab.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void count()
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) { return count(), __libc_malloc(n); }
void* calloc(size_t a, size_t b) { return count(), __libc_calloc(a, b); }
void* realloc(void* p, size_t n) { return count(), __libc_realloc(p, n); }
void* aligned_alloc(size_t align, size_t n) { return count(), __libc_memalign(align, n); }
void* memalign(size_t align, size_t n) { return count(), __libc_memalign(align, n); }
int posix_memalign(void** p, size_t align, size_t n)
{
    count();
    *p = __libc_memalign(align, n);
    return *p ? 0 : 12;
}
void free(void* p) { __libc_free(p); }
}

namespace {

TEST(NoAlloc, PushFrameAllocatesNothingInAnyState)
{
    const gsmsig::Cell c = cell_run::cell(234, 15, 2, 99, 12345, 12, {5, 6, 7});
    auto x = gsmsig::generateFrames(c, 10 * 51, 0, cell_run::impairments(1717.3, 4000.0, 20.0));

    CoreDecoder d;
    g_counting = true;
    for (size_t f = 0; f < x.size() / GSM_FRAME_SAMPLES; ++f)
        kCoreVtab.GSM_pushFrame(d.dec, reinterpret_cast<const cf32*>(x.data()) + f * GSM_FRAME_SAMPLES);
    g_counting = false;
    const BcchInfo* r = kCoreVtab.GSM_getResult(d.dec);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(cell_run::mapMatches(*r, c));   // went all the way to the channel map
    EXPECT_EQ(g_allocations.load(), 0);
}

}  // namespace
