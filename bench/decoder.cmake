# The decoder library: frames per second while searching and while synchronised, and the
# sensitivity table (decode success against Es/N0 under carrier offset, clock error, two paths).
if(TARGET corvane_core AND TARGET gsmsiggen)
  find_package(Threads REQUIRED)
  add_executable(bench_decoder ${CMAKE_CURRENT_LIST_DIR}/decoder/bench_decoder.cpp)
  target_include_directories(bench_decoder PRIVATE ${PROJECT_SOURCE_DIR}/tests/decoder)
  target_link_libraries(bench_decoder PRIVATE corvane_core gsmsiggen benchmark::benchmark)

  add_executable(bench_decoder_sensitivity ${CMAKE_CURRENT_LIST_DIR}/decoder/sensitivity.cpp)
  target_include_directories(bench_decoder_sensitivity PRIVATE ${PROJECT_SOURCE_DIR}/tests/decoder)
  target_link_libraries(bench_decoder_sensitivity PRIVATE corvane_core gsmsiggen Threads::Threads)
endif()
