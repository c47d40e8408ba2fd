# bench_fir: the multi-rate FIR per slot against liquid-dsp's decimator and a naive loop.
find_library(LIQUID_LIB liquid REQUIRED)
add_executable(bench_fir ${CMAKE_CURRENT_LIST_DIR}/bench_fir.cpp)
target_link_libraries(bench_fir PRIVATE sigprim benchmark::benchmark ${LIQUID_LIB})
