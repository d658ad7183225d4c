#pragma once
// Password boxes masked with "#": every character shows as "#" at once (no briefly visible last one).

class QLineEdit;

namespace platform {

// Gives the box the "#" mask; it shows whenever the box hides its text.
void UseHashMask(QLineEdit* edit);
// Hides the text behind the mask, or shows it plainly.
void SetMasked(QLineEdit* edit, bool hidden);

}  // namespace platform
