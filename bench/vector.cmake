# Complex float vector operations of every slot against VOLK's kernels (libvolk2-dev).
find_package(Volk REQUIRED)
add_executable(bench_vector ${CMAKE_CURRENT_LIST_DIR}/vector_bench.cpp)
target_link_libraries(bench_vector PRIVATE sigprim benchmark::benchmark Volk::volk)
