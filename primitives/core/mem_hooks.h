// A test hook of the memory kernels: when set, every kernel call that stores past the cache or
// hands its bytes to the processor's string move reports it once, so a test can tell which
// path a call of a given size took even though the bytes come out the same. Null otherwise.
// For tests only; nothing outside the library and its tests includes this.
#pragma once

extern "C" {

enum sigMemPath {
    sigMemStreamed = 1,     // non-temporal stores (fenced before the call returns)
    sigMemStringMove = 2,   // the processor's repeated string move
};

extern void (*sigMemPathHook)(int path);
}

namespace sig {
inline void reportMemPath(int path)
{
    if (sigMemPathHook != nullptr) [[unlikely]]
        sigMemPathHook(path);
}
}  // namespace sig
