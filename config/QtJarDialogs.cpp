#include "config/QtJarDialogs.h"

#include "config/ErrorForm_unit.h"
#include "config/PWDialog_unit.h"
#include "driver/AppTitle.h"

QtJarDialogs::QtJarDialogs(TConfig& config, platform::Prompter& prompter, QWidget* owner)
    : config_(config), prompter_(prompter), owner_(owner) {}

bool QtJarDialogs::AskPassword() {
  QPointer<TPWDialog> dialog = new TPWDialog(config_, prompter_, owner_);
  const bool confirmed = dialog->AskPassword();
  delete dialog.data();
  return confirmed;
}

void QtJarDialogs::ShowFile(const std::string& captionSuffix, const std::string& fileName) {
  QPointer<TErrorForm> form = new TErrorForm(owner_);
  form->setWindowTitle(QString::fromUtf8(kAppTitle) + QString::fromStdString(captionSuffix));
  form->Execute(fileName);
  delete form.data();
}
