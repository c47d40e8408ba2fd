# FFT inverse kernels: the plain twins of the forward kernels (every slot carries them while its
# FFT entries run the plain table layout) and the plain inverse transform.
sig_slot_sources(sigprim
  fft/inverse_small.cpp
  fft/inverse_radix.cpp
  fft/inverse_large.cpp
  fft/inverse_entry.cpp)
