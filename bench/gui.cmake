# bench_gui [COUNT] [DIR]: lists a folder of COUNT generated JPEGs in the real
# main window (offscreen) against `quillmark-cli scan`, then times a sort by
# every column, and the same on 100,000 rows.
if(TARGET quill_gui)
  add_executable(bench_gui ${CMAKE_CURRENT_LIST_DIR}/gui_bench.cpp)
  target_link_libraries(bench_gui PRIVATE quill_gui quill_warnings)
endif()
