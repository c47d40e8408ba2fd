# Copy, zero and move of every slot against the C runtime's memcpy, memset and memmove.
add_executable(bench_memory ${CMAKE_CURRENT_LIST_DIR}/memory_bench.cpp)
target_include_directories(bench_memory PRIVATE ${PROJECT_SOURCE_DIR}/tests/primitives)
target_link_libraries(bench_memory PRIVATE sigprim_internal benchmark::benchmark)
