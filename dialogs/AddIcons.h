#pragma once
// The small pictures of the file browser's buttons, drawn in the palette's text colour so that they
// suit any style and theme.

#include <QIcon>
#include <QPalette>

#include "dialogs/AddBrowser.h"

namespace adddialog {

QIcon ViewStyleIcon(ViewStyle style, const QPalette& palette);
QIcon SelectAllIcon(const QPalette& palette);

}  // namespace adddialog
