#include "scratch_pool.h"

#include <cstdlib>

#include "console_log.h"

ScrPool::Entry ScrPool::table[ScrPool::kEntries] = {
    {1048576, nullptr}, {1048576, nullptr}, {1048576, nullptr}};

void ScrPool::init()
{
    for (Entry& e : table)
        if (e.buf == nullptr)
            e.buf = std::malloc(e.capacity);
}

void* ScrPool::get(uint32_t bytes, int i)
{
    Entry& e = table[i];
    if (e.buf == nullptr || e.capacity < bytes) {
        static const char* const kMessage = "!!! MALLOC SCRT ERR\n";
        logPrintf("%s", kMessage);
        throw LoggedError(kMessage);
    }
    return e.buf;
}

const ScrPool::Entry* ScrPool::find(const void* p)
{
    for (const Entry& e : table)
        if (e.buf == p)
            return &e;
    return end();
}
