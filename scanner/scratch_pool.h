// A fixed pool of three 1 MiB scratch buffers, allocated first thing in main and never freed.
#pragma once

#include <cstdint>

class ScrPool {
public:
    struct Entry {
        uint32_t capacity;
        void* buf;
    };
    static constexpr int kEntries = 3;

    static void init();
    // Entry i's buffer when it holds bytes; otherwise logs the start-up failure
    // "!!! MALLOC SCRT ERR\n" and throws it as a LoggedError.
    static void* get(uint32_t bytes, int i);
    // The entry whose buffer is p, or end() when none.
    static const Entry* find(const void* p);
    static const Entry* end() { return table + kEntries; }

private:
    static Entry table[kEntries];
};
