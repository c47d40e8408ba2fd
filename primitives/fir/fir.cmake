target_sources(sigprim PRIVATE
  fir/fir_dispatch.cpp
  fir/fir_layout.cpp)
sig_slot_sources(sigprim
  fir/fir_state.cpp)
sig_slot_sources(sigprim
  fir/fir_filter.cpp)
sig_slot_sources(sigprim
  fir/fir_mr_block.cpp)
sig_slot_sources(sigprim
  fir/fir_block.cpp)
sig_slot_sources(sigprim
  fir/fir_fft.cpp)
