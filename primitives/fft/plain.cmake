# The plain FFT kernels, both directions, and the plain inverse transform. Every slot carries
# them: slot 0 publishes them as its kernels, a vector slot runs them on the plain table layout
# for the orders its own kernels do not cover.
sig_slot_sources(sigprim
  fft/plain/small_slot.cpp
  fft/plain/radix_slot.cpp
  fft/plain/large_slot.cpp
  fft/plain/inverse_small.cpp
  fft/plain/inverse_radix.cpp
  fft/plain/inverse_large.cpp
  fft/plain/inverse_entry.cpp)
