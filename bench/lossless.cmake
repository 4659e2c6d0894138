# lossless_bench: convertLossless against jpegtran on a 24-megapixel JPEG.
#   cmake -S . -B build -DQUILL_BUILD_BENCH=ON && cmake --build build --target lossless_bench
#   build/lossless_bench [RUNS]
if(TARGET quill_test_support)
  add_executable(lossless_bench ${CMAKE_CURRENT_LIST_DIR}/lossless_bench.cpp)
  target_link_libraries(lossless_bench PRIVATE quill_lossless quill_test_support quill_warnings)
endif()
