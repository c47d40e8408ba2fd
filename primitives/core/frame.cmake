target_sources(sigprim PRIVATE
  core/aligned_alloc.cpp
  core/core_dispatch.cpp
  core/cpu.cpp
  core/fpu_control.cpp
  core/cache_tables.cpp)
sig_slot_sources(sigprim
  core/alloc_slot.cpp)
sig_slot_sources(sigprim
  core/memory_slot.cpp
  core/memory_copy.cpp
  core/memory_fill.cpp
  core/mulc_slot.cpp)
