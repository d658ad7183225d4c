#pragma once
// The job's windows after a run, as Qt dialogs over an owner window.

#include <QPointer>
#include <QWidget>
#include <string>

#include "config/TConfig.h"
#include "driver/JarDialogs.h"
#include "platform/Prompter.h"

class QtJarDialogs : public JarDialogs {
 public:
  QtJarDialogs(TConfig& config, platform::Prompter& prompter, QWidget* owner);

  // A TPWDialog over the configuration's password, made for this question only.
  bool AskPassword() override;
  // A TErrorForm captioned "Tamber 2.23" + captionSuffix showing the file, made for this view only.
  void ShowFile(const std::string& captionSuffix, const std::string& fileName) override;

 private:
  TConfig& config_;
  platform::Prompter& prompter_;
  QPointer<QWidget> owner_;
};
