// Which dispatch slots this processor can run, so tests skip (never fail) the ones it lacks.
#pragma once

#include <gtest/gtest.h>

#include "sigprim.h"
#include "slot_support.h"

namespace testing_slots {

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
