# The scanner engine: the channeliser on one second of one channel (goal: 20 times real time
# per worker), a whole capture through a worker's decoder, and one sweep of each band on the
# file receiver. Needs the test-signal generator for its recording and the real decoder library.
if(TARGET gsmsiggen AND TARGET corvane AND TARGET scanner_core)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(RTLSDR REQUIRED IMPORTED_TARGET librtlsdr)
  add_executable(bench_scanner ${CMAKE_CURRENT_LIST_DIR}/scanner.cpp)
  # scanner_core leaves librtlsdr unresolved: the real one, as the program links it.
  target_link_libraries(bench_scanner PRIVATE scanner_core gsmsiggen benchmark::benchmark
    PkgConfig::RTLSDR)
  add_dependencies(bench_scanner corvane)
  # LD_LIBRARY_PATH still comes first; without it the decoder is found in the build's bin/.
  set_target_properties(bench_scanner PROPERTIES BUILD_RPATH ${CMAKE_BINARY_DIR}/bin)
  target_link_options(bench_scanner PRIVATE -Wl,--enable-new-dtags)
endif()
