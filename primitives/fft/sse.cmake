# FFT kernels of slots 1 to 4 (128-bit vectors): small orders of every such slot, the level-1
# fused and radix kernels, and the blocked fused and radix kernels of levels 2 to 4, both
# directions. Compiled per slot like every kernel source; each source is empty on other slots.
sig_slot_sources(sigprim
  fft/sse/small_slot.cpp
  fft/sse/level1_slot.cpp
  fft/sse/blocked_slot.cpp)
