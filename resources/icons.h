// The program's icons, drawn with QPainter at start in 16 and 32 pixel
// sizes on a 16-unit grid, so they stay sharp on the toolbar.
#pragma once

#include <QIcon>

namespace quill {

// Toolbar icon of a command identifier; a null icon for unknown ones.
QIcon commandIcon(int id);
// Window and application icon.
QIcon appIcon();

}  // namespace quill
