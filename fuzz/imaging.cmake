# Fuzz targets for the image loaders, one per format: fuzz_load_bmp,
# fuzz_load_gif, fuzz_load_png and fuzz_load_jpeg. Each saves its input
# under a name with that format's extension and loads it with LoadImageFile
# (JPEG at full size and as a reduced preview). Run e.g.
#   build-fuzz/fuzz_load_png -max_total_time=120 -rss_limit_mb=2560 CORPUS_DIR
# (a loader may hold a 384 MiB picture plus libjpeg's own 1 GiB).
# libjpeg, libpng and giflib are the system's uninstrumented builds.
# Included from fuzz/CMakeLists.txt, which defines the helpers used here.

quill_fuzz_instrument(quill_imaging)

foreach(format bmp gif png jpeg)
  set(extension ".${format}")
  if(format STREQUAL "jpeg")
    set(extension ".jpg")
  endif()
  quill_add_fuzzer(fuzz_load_${format} SOURCES ${CMAKE_CURRENT_LIST_DIR}/load_image_fuzz.cpp
                   LIBS quill_imaging quill_base JPEG::JPEG)
  target_compile_definitions(fuzz_load_${format} PRIVATE QUILL_FUZZ_EXTENSION="${extension}")
endforeach()
