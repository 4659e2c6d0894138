# bench_lossless: convertLossless against jpegtran on a 24-megapixel JPEG.
#   cmake -S . -B build -DQUILL_BUILD_BENCH=ON && cmake --build build --target bench_lossless
#   build/bench_lossless [RUNS]
if(TARGET quill_test_support)
  add_executable(bench_lossless ${CMAKE_CURRENT_LIST_DIR}/lossless_bench.cpp)
  target_link_libraries(bench_lossless PRIVATE quill_lossless quill_test_support quill_warnings)
endif()
