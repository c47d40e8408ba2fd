target_sources(sigprim PRIVATE
  core/vector_dispatch.cpp)
sig_slot_sources(sigprim
  core/vector_dot_slot.cpp)
sig_slot_sources(sigprim
  core/vector_dot_f32_slot.cpp)
sig_slot_sources(sigprim
  core/vector_mul_slot.cpp)
sig_slot_sources(sigprim
  core/vector_interleave_slot.cpp)
sig_slot_sources(sigprim
  core/vector_tone_slot.cpp)
sig_slot_sources(sigprim
  core/vector_norm_slot.cpp)
