#pragma once
// The windows the job opens after a run. The owner implements them with its widgets.

#include <string>

class JarDialogs {
 public:
  virtual ~JarDialogs() = default;
  // The password dialog over the configuration's password; true when the user confirmed it.
  virtual bool AskPassword() = 0;
  // The output viewer, captioned kAppTitle + captionSuffix, showing the file modally.
  virtual void ShowFile(const std::string& captionSuffix, const std::string& fileName) = 0;
};
