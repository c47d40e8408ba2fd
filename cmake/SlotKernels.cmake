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

set(SIG_KERNEL_INCLUDE_DIRS ${PROJECT_SOURCE_DIR}/primitives ${PROJECT_SOURCE_DIR}/primitives/include)

# -ffp-contract=off is not enough on a slot that has fused multiply-adds (slot 6): GCC 12's
# vectorizer ignores it in its SLP pattern matcher, which runs on loops and on straight-line code,
# at -O2 as well as -O3. Lanes alternating a*b - c and a*b + c, as in the two halves of a complex
# product, become vfmaddsub/vfmsubadd, rounding once where the source rounds twice, so a plain
# kernel's bits would depend on the optimiser. No switch reaches that pattern alone, hence:
#  - kernels whose sources never ask for a fused operation are compiled without the FMA
#    instructions, so they keep the rest of the slot's auto-vectorisation and cannot fuse;
#  - kernels that do ask (an FMA intrinsic or fma call) keep the instructions but are not
#    auto-vectorized: their vector code is their intrinsics, which fuse exactly where written.
# The sources of one sig_slot_sources call share one object library, hence one verdict.
# tools/check-slot-objects.sh verifies the built objects against their sources.
set(SIG_FUSING_CALLS "_mm[0-9]*_(mask3?_|maskz_)?fn?m(add|sub)|__builtin_fma|[^A-Za-z0-9_]fmaf?[ \t]*\\(")
set(SIG_PLAIN_ON_FUSING_SLOT -mno-fma)
set(SIG_FUSING_KERNEL_FLAGS -fno-tree-loop-vectorize -fno-tree-slp-vectorize)

# _sig_ask_for_fusing(<out> <source>...): whether any of the sources, or a project header they
# include, calls for a fused multiply-add. Every file read becomes a configure input, so that
# editing one re-decides its objects' flags.
function(_sig_ask_for_fusing out)
  set(pending)
  foreach(src IN LISTS ARGN)
    get_filename_component(src "${src}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND pending "${src}")
  endforeach()
  set(seen)
  set(asks FALSE)
  while(pending)
    list(POP_FRONT pending file)
    if(file IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${file}")
    file(READ "${file}" text)
    if(text MATCHES "${SIG_FUSING_CALLS}")
      set(asks TRUE)
    endif()
    get_filename_component(dir "${file}" DIRECTORY)
    string(REGEX MATCHALL "#[ \t]*include[ \t]*\"[^\"]+\"" includes "${text}")
    foreach(inc IN LISTS includes)
      string(REGEX REPLACE ".*\"([^\"]+)\"" "\\1" name "${inc}")
      foreach(base IN ITEMS "${dir}" ${SIG_KERNEL_INCLUDE_DIRS})
        if(EXISTS "${base}/${name}")
          get_filename_component(header "${base}/${name}" ABSOLUTE)
          list(APPEND pending "${header}")
          break()
        endif()
      endforeach()
    endforeach()
  endwhile()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${seen})
  set(${out} ${asks} PARENT_SCOPE)
endfunction()

# sig_slot_sources(<target> <source>...): compiles each source seven times, once per slot,
# and adds the objects to <target>.
function(sig_slot_sources target)
  _sig_ask_for_fusing(asks ${ARGN})
  foreach(k RANGE 0 6)
    set(obj ${target}_${ARGV1}_s${k})
    string(MAKE_C_IDENTIFIER "${obj}" obj)
    add_library(${obj} OBJECT ${ARGN})
    target_compile_definitions(${obj} PRIVATE SIG_SLOT=${k})
    target_compile_options(${obj} PRIVATE ${SIG_PRIM_FLAGS} ${SIG_SLOT_FLAGS_${k}})
    if("-mfma" IN_LIST SIG_SLOT_FLAGS_${k})
      if(asks)
        target_compile_options(${obj} PRIVATE ${SIG_FUSING_KERNEL_FLAGS})
      else()
        target_compile_options(${obj} PRIVATE ${SIG_PLAIN_ON_FUSING_SLOT})
      endif()
    endif()
    target_include_directories(${obj} PRIVATE ${SIG_KERNEL_INCLUDE_DIRS})
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${obj}>)
  endforeach()
endfunction()
