# bench_fft: the plain slot's forward FFT against single-precision FFTW, orders 4 to 20, and slots
# 5 and 6 in both directions, in place and out of place, against FFTW, orders 2 to 18.
add_executable(bench_fft ${CMAKE_CURRENT_SOURCE_DIR}/bench_fft.cpp)
target_link_libraries(bench_fft PRIVATE sigprim benchmark::benchmark fftw3f)
