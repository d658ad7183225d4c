// The main window's use of the configuration dialog and the Add dialog.

#include "mainwindow/Main_unit.h"

void TMain::ShowConfiguration() {}

void TMain::SaveConfiguration() { config_->Save(); }

void TMain::ResetAddChoices() {}
