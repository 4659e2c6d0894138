# GUI tests run offscreen (QT_QPA_PLATFORM=offscreen) and link quill_gui.
include(${CMAKE_CURRENT_LIST_DIR}/settings_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/window_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/trimming_tests.cmake)
