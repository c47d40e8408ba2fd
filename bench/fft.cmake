# bench_fft: the plain slot's forward FFT against single-precision FFTW, orders 4 to 20.
add_executable(bench_fft ${CMAKE_CURRENT_SOURCE_DIR}/bench_fft.cpp)
target_link_libraries(bench_fft PRIVATE sigprim benchmark::benchmark fftw3f)
