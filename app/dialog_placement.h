// The one placement rule of the program's small dialogs: centred over the
// owner only when the owner is both wider and taller, else at the owner's
// client origin, where a dialog template without coordinates would put it.
#pragma once

#include <QRect>

class QFont;
class QWidget;

namespace quill {

// Dialog units of a font, as the platform's dialog templates measure them: a
// quarter of the average letter width, an eighth of the line height. Layouts
// given in dialog units keep their proportions with any font.
struct DialogUnits {
    double x = 1;
    double y = 1;
    QRect rect(int left, int top, int width, int height) const;
    int width(int units) const;
    int height(int units) const;
};
DialogUnits dialogUnits(const QFont& font);

// Call once the dialog has its final size, before showing it.
void placeDialog(QWidget& dialog, const QWidget* owner);

}  // namespace quill
