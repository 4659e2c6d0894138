// Command identifiers of the main window, their texts (tooltips of the
// toolbar and menu entries), icons and the toolbar layout: the one place that
// defines them. The trimming window's own identifiers live beside it.
#pragma once

#include <span>

class QIcon;

namespace quill {

enum CommandId : int {
    ID_LIST_NEW = 57600,
    ID_FOLDER_SELECT = 57601,
    ID_FILE_DELETE = 57616,
    ID_FILE_DELETE_IDENTICAL = 57617,
    ID_FILE_RENAME = 57618,
    ID_FILE_RENAME_BATCH = 57620,
    ID_SELECT_TOGGLE = 57632,
    ID_OP_CLEAN = 57648,
    ID_OP_BASELINE = 57649,
    ID_OP_PROGRESSIVE = 57650,
    ID_OP_GRAYSCALE = 57651,
    ID_OP_TRANSFORM = 57652,
    ID_OP_ROTATE_R90 = 57653,
    ID_OP_ROTATE_L90 = 57654,
    ID_OP_ROTATE_180 = 57655,
    ID_OP_FLIP_H = 57656,
    ID_OP_FLIP_V = 57657,
    ID_OP_TRANSPOSE = 57664,
    ID_OP_TRANSVERSE = 57665,
    ID_OP_NONE = 57666,
    ID_OP_TRIM = 57667,
    ID_OP_AUTO_ROTATE = 57668,  // our own: the turn the Exif orientation asks for
    ID_RECOMPRESS = 57680,
    ID_NEW_JPEG = 57681,
    ID_TOGGLE_OVERWRITE = 57696,
    ID_TOGGLE_FORCE_PROGRESSIVE = 57697,
    ID_OPTIONS = 57698,
    ID_ABOUT = 57712,
};

constexpr int kFirstCommandId = ID_LIST_NEW;
constexpr int kLastCommandId = ID_ABOUT;

// The text of a command (UTF-8), or nullptr for an identifier without one.
const char* commandText(int id);

// The toolbar picture of a command; a null icon for the transform menu's
// items and unknown identifiers.
QIcon commandIcon(int id);

// Toolbar order; 0 stands for a separator.
std::span<const int> toolbarLayout();

// Items of the transform drop-down menu, in menu order; 0 stands for a separator.
std::span<const int> transformMenuItems();

}  // namespace quill
