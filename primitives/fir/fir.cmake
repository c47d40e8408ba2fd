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
# The vector slots' direct-form members; only slots 5 and 6's asks for fused multiply-adds.
sig_slot_sources(sigprim
  fir/fir_block_sse.cpp)
sig_slot_sources(sigprim
  fir/fir_block_avx.cpp)
sig_slot_sources(sigprim
  fir/fir_fft.cpp)
