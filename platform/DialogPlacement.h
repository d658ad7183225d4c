#pragma once
// Where a dialog goes over its owner window (pure geometry; the widget wrapper is in platform/qt).

namespace platform {

struct DialogRect {
  int left = 0, top = 0, width = 0, height = 0;
};
struct DialogPosition {
  int x = 0, y = 0;
};

// Centred across the owner, a quarter of the owner's height down, kept above the bottom of the
// screen's usable height, never at a negative coordinate.
inline DialogPosition PlaceDialog(const DialogRect& owner, const DialogRect& dialog, int screenHeight) {
  DialogPosition p;
  p.x = owner.left + owner.width / 2 - dialog.width / 2;
  p.y = owner.top + owner.height / 4;
  if (dialog.height + p.y > screenHeight) p.y = screenHeight - dialog.height;
  if (p.x < 0) p.x = 0;
  if (p.y < 0) p.y = 0;
  return p;
}

}  // namespace platform
