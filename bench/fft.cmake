# bench_fft: every slot against single-precision FFTW (with and without its SIMD codelets), both
# directions, in place and out of place, small to large orders (up to 24 forward).
add_executable(bench_fft ${CMAKE_CURRENT_SOURCE_DIR}/bench_fft.cpp)
target_link_libraries(bench_fft PRIVATE sigprim benchmark::benchmark fftw3f)
