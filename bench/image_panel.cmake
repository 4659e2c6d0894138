# bench_image_panel [W H]: the image panel of the new-JPEG file dialog on
# large pictures: its load per format, and how long a small file waits
# behind a large one (inputs from the test generators).
if(TARGET quill_gui AND TARGET quill_test_support)
  add_executable(bench_image_panel ${CMAKE_CURRENT_LIST_DIR}/image_panel_bench.cpp)
  target_link_libraries(bench_image_panel PRIVATE quill_gui quill_test_support quill_warnings)
endif()
