// The about box: product name and version, modal.
#pragma once

class QWidget;

namespace quill {

void showAboutBox(QWidget* owner);

}  // namespace quill
