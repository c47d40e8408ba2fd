// The direction of a transform kernel template. One kernel body serves both directions: the
// inverse is the forward with conjugated twiddle factors and every rotation by -j turned into +j.
#pragma once

namespace sig::fft {

enum class Dir { Fwd, Inv };

}  // namespace sig::fft
