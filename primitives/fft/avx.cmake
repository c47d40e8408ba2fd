# FFT kernels of slots 5 and 6 (256-bit vectors): small orders and the fused middle orders, both
# directions. Compiled per slot like every kernel source; the sources are empty below slot 5.
sig_slot_sources(sigprim
  fft/avx/small_slot.cpp
  fft/avx/fused_slot.cpp)
