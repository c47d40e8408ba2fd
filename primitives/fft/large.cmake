# FFT large orders of the vector slots, both directions: one driver (fft/large/driver.h)
# instantiated per slot with the slot's kernels and thresholds.
sig_slot_sources(sigprim
  fft/large/large_slot.cpp)
