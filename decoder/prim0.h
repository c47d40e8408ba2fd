// The primitives as the decoder calls them: always the plain (slot 0) variants, whatever dispatch
// slot the host program selected. The library never reads or writes the dispatch slot. The
// declarations come from the primitives' own dispatch lists, so they cannot drift apart.
#pragma once

#include "sigprim.h"

#define SIG_PRIM(ret, name, params, args) ret name params;
namespace sig::s0 {
#include "core/core_list.h"
#include "core/vector_list.h"
#include "fft/fft_list.h"
#include "fir/fir_list.h"
}  // namespace sig::s0
#undef SIG_PRIM

namespace corvane {
namespace prim = sig::s0;
}
