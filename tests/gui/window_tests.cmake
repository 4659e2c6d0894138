# Tests of the main window, toolbar, file list, folder scan and preview pane.
quill_add_gui_test(main_window_test
  SOURCES gui/file_list_model_test.cpp gui/preview_pane_test.cpp gui/main_frame_test.cpp)

# Screenshot of the main window listing a folder (scripts/screenshot.sh).
add_executable(quill-screenshot gui/screenshot_main.cpp)
target_link_libraries(quill-screenshot PRIVATE quill_gui quill_warnings)

# The columns once more with the interface scaled twice (a HiDPI desktop).
add_test(NAME Frame.ColumnsFitAtTwiceTheScale
  COMMAND main_window_test --gtest_filter=Frame.ColumnsFitTheirLabelsAndTextsAtEachFontSize)
set_tests_properties(Frame.ColumnsFitAtTwiceTheScale PROPERTIES ENVIRONMENT "QT_SCALE_FACTOR=2;QT_QPA_PLATFORM=offscreen")
