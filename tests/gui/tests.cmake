# GUI tests run offscreen (QT_QPA_PLATFORM=offscreen) and link quill_gui.
find_package(Qt6 REQUIRED COMPONENTS Test)

# quill_add_gui_test(NAME SOURCES ... [LIBS ...]): a GoogleTest binary whose
# cases run inside one QApplication (gui_test_main.cpp), offscreen unless the
# caller chose a platform; tests drive it through gui/gui_harness.h.
function(quill_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  quill_add_test(${name}
    SOURCES ${PROJECT_SOURCE_DIR}/tests/gui/gui_test_main.cpp ${ARG_SOURCES}
    LIBS quill_gui Qt6::Test ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/settings_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/window_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/lossless_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/trimming_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/file_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/imaging_tests.cmake)
