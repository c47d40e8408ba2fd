# bench_backend: BCCH and SCH channel decoding speed, and block error rate against Eb/N0
# beside libosmocore's decoder on the same soft input (libosmocore only as the yardstick).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_OSMOCODING REQUIRED IMPORTED_TARGET libosmocoding libosmocore)
if(TARGET corvane_backend)
  add_executable(bench_backend ${CMAKE_CURRENT_LIST_DIR}/backend.cpp)
  target_include_directories(bench_backend PRIVATE ${PROJECT_SOURCE_DIR}/tests/decoder/backend)
  target_link_libraries(bench_backend PRIVATE corvane_backend benchmark::benchmark
                        PkgConfig::BENCH_OSMOCODING)
else()
  message(STATUS "bench_backend needs libosmocoding; not built")
endif()
