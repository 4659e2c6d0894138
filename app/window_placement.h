// The saved placement record meets a Qt top-level window: taken from it at
// exit, applied at start. The record and its place in status.ini are
// settings/app_settings.h's.
#pragma once

#include "settings/app_settings.h"

class QWidget;

namespace quill {

// The window's restored rectangle and show state.
WindowPlacement placementOf(const QWidget& window);
// Sets the restored rectangle and shows the window in the saved state
// (maximised stays maximised, minimised comes back minimised). False, and the
// window untouched, when the record is invalid or lies on no screen.
bool applyPlacement(QWidget& window, const WindowPlacement& placement);
// Centres the window on the primary screen keeping its size, then shows it.
void showCentred(QWidget& window);

}  // namespace quill
