// The program's icons, drawn with QPainter at start in 16 and 32 pixel
// sizes on a 16-unit grid, so they stay sharp on the toolbar.
#pragma once

#include <QIcon>
#include <QImage>

namespace quill {

// The toolbar pictures; which command shows which is decided by the window.
enum class ToolIcon {
    NewList,
    FolderSelect,
    FileDelete,
    DeleteIdentical,
    Rename,
    RenameBatch,
    SelectToggle,
    Clean,
    Baseline,
    Progressive,
    Grayscale,
    Transform,
    Trim,
    Recompress,
    NewJpeg,
    Overwrite,
    ForceProgressive,
    Options,
    About,
    // The trimming window's toolbar.
    SaveAs,
    SelectAll,
    Deselect,
    RegularSize,
};

QIcon toolIcon(ToolIcon icon);
// Window and application icon.
QIcon appIcon();
// The application icon at size x size pixels; needs no QGuiApplication.
QImage appIconImage(int size);

}  // namespace quill
