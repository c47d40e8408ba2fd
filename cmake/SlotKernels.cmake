# Per-slot compilation of the primitives' kernels.
#
# Every dispatch slot gets its own translation unit of each kernel source, compiled with that
# slot's instruction-set flags and with SIG_SLOT=k, so that the code lands in namespace sig::sk.
# Keeping the slots in distinct namespaces stops the linker from merging an inline function
# compiled for AVX2 into the code that serves the plain slot.
set(SIG_SLOT_FLAGS_0 "")
set(SIG_SLOT_FLAGS_1 -msse2)
set(SIG_SLOT_FLAGS_2 -mssse3)
set(SIG_SLOT_FLAGS_3 -mssse3 -mmovbe)
set(SIG_SLOT_FLAGS_4 -msse4.1)
set(SIG_SLOT_FLAGS_5 -mavx)
set(SIG_SLOT_FLAGS_6 -mavx2 -mfma -mbmi -mbmi2)

# Rounding is fixed by the kernels themselves: no silent contraction into fused multiply-adds.
set(SIG_PRIM_FLAGS -ffp-contract=off -fno-fast-math -fvisibility=hidden -fvisibility-inlines-hidden)

# sig_slot_sources(<target> <source>...): compiles each source seven times, once per slot,
# and adds the objects to <target>.
function(sig_slot_sources target)
  foreach(k RANGE 0 6)
    set(obj ${target}_${ARGV1}_s${k})
    string(MAKE_C_IDENTIFIER "${obj}" obj)
    add_library(${obj} OBJECT ${ARGN})
    target_compile_definitions(${obj} PRIVATE SIG_SLOT=${k})
    target_compile_options(${obj} PRIVATE ${SIG_PRIM_FLAGS} ${SIG_SLOT_FLAGS_${k}})
    target_include_directories(${obj} PRIVATE ${PROJECT_SOURCE_DIR}/primitives
                                              ${PROJECT_SOURCE_DIR}/primitives/include)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${obj}>)
  endforeach()
endfunction()
