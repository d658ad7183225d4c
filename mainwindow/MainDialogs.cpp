// The main window's use of the configuration dialog and the Add dialog.

#include <QPointer>

#include "config/Config_unit.h"
#include "dialogs/AddDialog1_unit.h"
#include "mainwindow/Main_unit.h"
#include "platform/qt/PlaceDialogWidget.h"

// Made for this use only and gone afterwards, as every dialog but the Add dialog.
void TMain::ShowConfiguration() {
  QPointer<TConfiguration> dialog = new TConfiguration(*config_, services_.prompter, services_.chooser, this);
  platform::PlaceDialog(dialog, this);
  try {
    dialog->ShowConfiguration();
  } catch (...) {
    delete dialog.data();
    throw;
  }
  delete dialog.data();
}

void TMain::SaveConfiguration() { config_->SaveAndRepair(); }

void TMain::ResetAddChoices() {
  if (addDialog_) addDialog_->ResetChoices();
}
