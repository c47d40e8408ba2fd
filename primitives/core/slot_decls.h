// Declares, inside the current slot's namespace, the slot variants of a list of primitives, so
// that a kernel of slot k reaches other primitives' slot-k variants directly, never through a
// dispatch entry. Define SIG_LIST, then include.
#include "core/slot.h"

#define SIG_PRIM(ret, name, params, args) ret name params;
namespace sig::SIG_NS {
#include SIG_LIST
}
#undef SIG_PRIM
#undef SIG_LIST
