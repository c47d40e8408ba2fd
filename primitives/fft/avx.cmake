# FFT kernels of slots 5 and 6 (256-bit vectors): small orders, the fused middle orders and the
# row, column and tile kernels of the large orders, both directions. Compiled per slot like every kernel source; the sources are empty below slot 5.
sig_slot_sources(sigprim
  fft/avx/small_slot.cpp
  fft/avx/fused_slot.cpp
  fft/avx/block_slot.cpp
  fft/avx/columns_slot.cpp)
