// A stand-in processor for the library's cpuid queries: answers per (leaf, sub-leaf), counts the
// queries, fills the FXSAVE area's MXCSR words, and forgets the remembered cache size when it
// comes and goes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "core/cpu_hooks.h"

class FakeCpu {
public:
    FakeCpu()
    {
        answers.clear();
        calls() = 0;
        hasCpuid = true;
        xcr0 = 7;
        mxcsr = 0x1f80;
        mxcsrMask = 0xffff;
        sigCpuHooks.idFlagToggles = [] { return hasCpuid ? 1 : 0; };
        sigCpuHooks.cpuid = [](sigCpuidRecord* out, uint32_t leaf, uint32_t sub) {
            ++calls();
            auto it = answers.find({leaf, sub});
            *out = it == answers.end() ? sigCpuidRecord{0, 0, 0, 0} : it->second;
        };
        sigCpuHooks.xgetbv = [](uint32_t index) -> uint64_t { return index == 0 ? xcr0 : 0; };
        sigCpuHooks.fxsave = [](uint8_t* area) {
            std::memset(area, 0xa5, 512);
            std::memcpy(area + 24, &mxcsr, 4);
            std::memcpy(area + 28, &mxcsrMask, 4);
        };
        sigCacheSizeReset();
    }
    ~FakeCpu()
    {
        sigCpuHooks = sigCpuHooksNative;
        sigCacheSizeReset();
    }
    FakeCpu(const FakeCpu&) = delete;
    FakeCpu& operator=(const FakeCpu&) = delete;

    static int& calls()
    {
        static int n = 0;
        return n;
    }

    sigCpuidRecord& at(uint32_t leaf, uint32_t sub = 0) { return answers[{leaf, sub}]; }
    FakeCpu& leaf(uint32_t leaf, uint32_t sub, sigCpuidRecord r)
    {
        at(leaf, sub) = r;
        return *this;
    }
    // Leaf 0 with the given highest leaf and a 12-character vendor string.
    FakeCpu& vendor(const char* name, uint32_t maxLeaf)
    {
        sigCpuidRecord r{maxLeaf, 0, 0, 0};
        std::memcpy(&r.ebx, name, 4);
        std::memcpy(&r.edx, name + 4, 4);
        std::memcpy(&r.ecx, name + 8, 4);
        return leaf(0, 0, r);
    }
    FakeCpu& intel(uint32_t maxLeaf) { return vendor("GenuineIntel", maxLeaf); }

    // Leaf 2 answering once (call count 1) with the given descriptor bytes, packed from the
    // second byte of eax on through ebx, ecx and edx.
    FakeCpu& descriptors(const std::vector<uint8_t>& bytes)
    {
        uint8_t all[16] = {1};
        std::memcpy(all + 1, bytes.data(), std::min<size_t>(bytes.size(), 15));
        sigCpuidRecord r;
        std::memcpy(&r, all, sizeof r);
        return leaf(2, 0, r);
    }

    // Leaf 4 sub-leaves in order: type (1 data, 2 instruction, 3 unified) and geometry.
    struct Cache {
        uint32_t type, line, partitions, ways, sets;
    };
    FakeCpu& caches(const std::vector<Cache>& list)
    {
        uint32_t i = 0;
        for (const Cache& c : list)
            leaf(4, i++,
                 {c.type, (c.line - 1) | ((c.partitions - 1) << 12) | ((c.ways - 1) << 22),
                  c.sets - 1, 0});
        return leaf(4, i, {0, 0, 0, 0});
    }

    FakeCpu& noCpuid()
    {
        hasCpuid = false;
        return *this;
    }
    FakeCpu& savedMxcsr(uint32_t value, uint32_t mask)  // the FXSAVE area's MXCSR and its mask
    {
        mxcsr = value;
        mxcsrMask = mask;
        return *this;
    }
    FakeCpu& osState(uint64_t value)  // XCR0 (xgetbv 0): which register state the system saves
    {
        xcr0 = value;
        return *this;
    }

private:
    static inline std::map<std::pair<uint32_t, uint32_t>, sigCpuidRecord> answers;
    static inline bool hasCpuid = true;
    static inline uint64_t xcr0 = 7;
    static inline uint32_t mxcsr = 0x1f80, mxcsrMask = 0xffff;
};
