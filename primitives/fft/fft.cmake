# FFT: the spec record and its planning on every slot, the transform entries, bit reversal and
# the large-order helpers of the 128-bit slots. The kernels sit by family: plain/ (slot 0, and
# the orders a vector slot has no kernels for yet), sse/ (slots 1-4), avx/ (slots 5 and 6).
target_sources(sigprim PRIVATE
  fft/fft_dispatch.cpp
  fft/fft_sine1024.cpp)
sig_slot_sources(sigprim
  fft/fft_tables_slot.cpp
  fft/fft_plan_slot.cpp
  fft/fft_bitrev_slot.cpp
  fft/fft_forward_slot.cpp
  fft/fft_helpers_slot.cpp)
# The cross-block passes of the vector slots, both directions (fft/cross_block.h).
sig_slot_sources(sigprim
  fft/cross_block_slot.cpp)
