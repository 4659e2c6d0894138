// The one placement rule of the program's small dialogs: centred over the
// owner only when the owner is both wider and taller, else at the owner's
// client origin, where a dialog template without coordinates would put it.
#pragma once

class QWidget;

namespace quill {

// Call once the dialog has its final size, before showing it.
void placeDialog(QWidget& dialog, const QWidget* owner);

}  // namespace quill
