# The compression settings dialog, the recompression and new-JPEG commands,
# and the image panel of the new-JPEG file dialog.
quill_add_gui_test(imaging_commands_test SOURCES gui/imaging_commands_test.cpp LIBS quill_imaging)
