// Generates the dispatch entries of one list of primitives.
//
// A list header holds lines SIG_PRIM(ret, name, (params), (args)). Including this file with
// SIG_LIST naming such a header declares each primitive's seven slot variants sig::s0::name ..
// sig::s6::name and defines the public entry name(), which reads sigCpuSlot and jumps through a
// seven-entry table. Include it from exactly one plain (not per-slot) source per list.
#include "sigprim.h"

#ifndef SIG_LIST
#error "define SIG_LIST before including dispatch_gen.h"
#endif

#define SIG_PRIM(ret, name, params, args) ret name params;
namespace sig::s0 {
#include SIG_LIST
}
namespace sig::s1 {
#include SIG_LIST
}
namespace sig::s2 {
#include SIG_LIST
}
namespace sig::s3 {
#include SIG_LIST
}
namespace sig::s4 {
#include SIG_LIST
}
namespace sig::s5 {
#include SIG_LIST
}
namespace sig::s6 {
#include SIG_LIST
}
#undef SIG_PRIM

#define SIG_PRIM(ret, name, params, args)                                              \
    extern "C" ret name params {                                                       \
        static ret(*const table[7]) params = {sig::s0::name, sig::s1::name, sig::s2::name, \
                                              sig::s3::name, sig::s4::name, sig::s5::name, \
                                              sig::s6::name};                          \
        return table[sigCpuSlot] args;                                                 \
    }
#include SIG_LIST
#undef SIG_PRIM
