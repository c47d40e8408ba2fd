// Which dispatch slots this processor can run: shared by the tests and the benchmarks, which
// skip the slots the processor lacks.
#pragma once

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

}  // namespace testing_slots
