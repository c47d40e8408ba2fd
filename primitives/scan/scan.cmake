target_sources(sigprim PRIVATE
  scan/scan_dispatch.cpp
  scan/cpu_select.cpp)
sig_slot_sources(sigprim scan/memory16_slot.cpp)
sig_slot_sources(sigprim scan/fir16_build_slot.cpp)
sig_slot_sources(sigprim scan/fir16_filter_slot.cpp)
sig_slot_sources(sigprim scan/mul16_slot.cpp)
sig_slot_sources(sigprim scan/tone16_slot.cpp)
sig_slot_sources(sigprim scan/tone_recur_slot.cpp)
sig_slot_sources(sigprim scan/convert_slot.cpp)
sig_slot_sources(sigprim scan/dotprod_f32cf32_slot.cpp)
sig_slot_sources(sigprim scan/hann_slot.cpp)
