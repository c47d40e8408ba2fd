// The library's memory functions and the hooks that let tests reach its failure paths.
// Not part of the public headers: nothing outside the library and its tests includes this.
#pragma once

#include <cstddef>

extern "C" {

struct sigMemFuncTable {
    void* (*alloc)(size_t);
    void* (*allocZeroed)(size_t, size_t);
    void* (*realloc)(void*, size_t);
    void (*free)(void*);
};

// Allocate, allocate zeroed, reallocate, free: the C runtime's, unless a test swaps one.
extern sigMemFuncTable sigMemFuncs;
}
