// What the program's small dialogs share: their frame, their buttons and the
// one placement rule: centred over the owner only when the owner is both
// wider and taller, else at the owner's client origin, where a dialog
// template without coordinates would put it.
#pragma once

#include <QRect>

#include <initializer_list>

class QDialog;
class QFont;
class QHBoxLayout;
class QPushButton;
class QString;
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

// Title bar, system menu and close box; never resizable.
void setUpDialog(QDialog& dialog, const char* objectName, const QString& title);

// A button of a dialog's button row, found by its name; screen readers read
// its text, which may change while the dialog shows.
QPushButton* dialogButton(QWidget* parent, const char* objectName, const QString& text);

// The button row at a dialog's foot, buttons at its right end.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

// Call once the dialog has its final size, before showing it.
void placeDialog(QWidget& dialog, const QWidget* owner);

}  // namespace quill
