#pragma once
// Places a dialog over its owner window before it is shown (widget side of platform/DialogPlacement.h).

class QWidget;

namespace platform {

// Centred across the owner's window, a quarter of its height down, kept inside the usable area of
// the owner's screen. Moves the dialog only: size, stacking and activation stay as they are.
// Without an owner the dialog goes over the usable area of its screen.
void PlaceDialog(QWidget* dialog, QWidget* owner);

}  // namespace platform
