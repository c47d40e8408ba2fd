// Which dispatch slots this processor can run, so tests skip (never fail) the ones it lacks.
#pragma once

#include <gtest/gtest.h>

#include "sigprim.h"

namespace testing_slots {

inline bool slotRuns(int slot)
{
    __builtin_cpu_init();
    switch (slot) {
    case 0: return true;
    case 1: return __builtin_cpu_supports("sse2");
    case 2: return __builtin_cpu_supports("ssse3");
    case 3: return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("movbe");
    case 4: return __builtin_cpu_supports("sse4.1");
    case 5: return __builtin_cpu_supports("avx");
    case 6:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
               __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    default: return false;
    }
}

// Sets the dispatch slot for the life of a scope and puts the old one back.
class SlotScope {
public:
    explicit SlotScope(int slot) : saved_(sigCpuSlot) { sigCpuSlot = slot; }
    ~SlotScope() { sigCpuSlot = saved_; }
    SlotScope(const SlotScope&) = delete;
    SlotScope& operator=(const SlotScope&) = delete;

private:
    int32_t saved_;
};

}  // namespace testing_slots

// Parameterise a test over the seven slots; a slot this processor lacks is skipped.
#define SIG_SKIP_UNLESS_SLOT_RUNS(slot)                                        \
    do {                                                                       \
        if (!testing_slots::slotRuns(slot))                                    \
            GTEST_SKIP() << "this processor cannot run slot " << (slot);       \
    } while (0)
