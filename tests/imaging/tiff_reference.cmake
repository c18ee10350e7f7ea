# The TIFF reader against the host's libtiff: comparison tests that join the
# imaging suite on the host, and a benchmark of the LZW decoding (built when
# Google Benchmark is installed, never run by ctest).
if(LUMETRA_WIN32)
  return()
endif()
find_package(TIFF QUIET)
if(NOT TIFF_FOUND)
  return()
endif()

if(TARGET imaging_tests)
  target_sources(imaging_tests PRIVATE "${CMAKE_CURRENT_LIST_DIR}/tiff_reference/libtiff_compare_test.cpp")
  target_link_libraries(imaging_tests PRIVATE TIFF::TIFF)
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(tiff_benchmark "${CMAKE_CURRENT_LIST_DIR}/tiff_reference/tiff_benchmark.cpp")
  target_link_libraries(tiff_benchmark PRIVATE lumetra_imaging TIFF::TIFF benchmark::benchmark_main)
  target_compile_definitions(tiff_benchmark PRIVATE LUMETRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
endif()
