add_executable(bench_scanprim ${CMAKE_CURRENT_LIST_DIR}/scanprim_bench.cpp)
target_link_libraries(bench_scanprim PRIVATE sigprim benchmark::benchmark benchmark::benchmark_main)
