// Counts, through the library's path hook, the kernel calls that stored past the cache and
// those that went to the processor's string move, while one of these lives.
#pragma once

#include "core/mem_hooks.h"

struct PathLog {
    static inline int streamed = 0, stringMoves = 0;
    PathLog()
    {
        streamed = stringMoves = 0;
        sigMemPathHook = [](int path) { ++(path == sigMemStreamed ? streamed : stringMoves); };
    }
    ~PathLog() { sigMemPathHook = nullptr; }
    PathLog(const PathLog&) = delete;
    PathLog& operator=(const PathLog&) = delete;
};
