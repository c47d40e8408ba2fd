# FFT: spec record and planning on every slot, the plain transform, bit reversal and the
# large-order helpers.
target_sources(sigprim PRIVATE
  fft/fft_dispatch.cpp
  fft/fft_sine1024.cpp)
sig_slot_sources(sigprim
  fft/fft_tables_slot.cpp
  fft/fft_plan_slot.cpp
  fft/fft_bitrev_slot.cpp
  fft/fft_small_slot.cpp
  fft/fft_radix_slot.cpp
  fft/fft_large_slot.cpp
  fft/fft_forward_slot.cpp
  fft/fft_helpers_slot.cpp)
