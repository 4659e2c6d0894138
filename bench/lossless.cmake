# bench_lossless: convertLossless against jpegtran on a 24-megapixel JPEG,
# then six rotations through quillmark-cli (and any other CLI named) against
# jpegtran one after another.
#   cmake -S . -B build -DQUILL_BUILD_BENCH=ON && cmake --build build --target bench_lossless
#   build/bench_lossless [RUNS] [CLI...]
if(TARGET quill_test_support)
  add_executable(bench_lossless ${CMAKE_CURRENT_LIST_DIR}/lossless_bench.cpp)
  target_link_libraries(bench_lossless PRIVATE quill_lossless quill_test_support quill_warnings)
  target_compile_definitions(bench_lossless PRIVATE QUILLMARK_CLI="$<TARGET_FILE:quillmark-cli>")
  add_dependencies(bench_lossless quillmark-cli)
endif()
