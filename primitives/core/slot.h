// Per-slot compilation support. A kernel source is compiled once per dispatch slot with
// SIG_SLOT set to 0..6; SIG_NS names that slot's namespace (s0 .. s6). Everything a kernel
// source defines, templates and inline helpers included, lives in sig::SIG_NS, so no code built
// for one processor level can stand in for another's at link time.
#pragma once

#ifndef SIG_SLOT
#error "compile kernel sources through sig_slot_sources(), which sets SIG_SLOT"
#endif

#define SIG_NS_CAT2(a, b) a##b
#define SIG_NS_CAT(a, b) SIG_NS_CAT2(a, b)
#define SIG_NS SIG_NS_CAT(s, SIG_SLOT)

namespace sig::SIG_NS {
inline constexpr int kSlot = SIG_SLOT;
}
