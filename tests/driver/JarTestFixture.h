#pragma once
// A job with its own temporary folder for work files, a settings copy and a scripted prompter.

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "driver/TJarExec_unit.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

// Stands in for the owner's password dialog and output viewer.
struct FakeJarDialogs : JarDialogs {
  bool AskPassword() override {
    ++passwordAsked;
    if (confirmWith) settingsToChange->password = *confirmWith;
    return confirmWith.has_value();
  }
  void ShowFile(const std::string& captionSuffix, const std::string& fileName) override {
    shown.push_back({captionSuffix, fileName});
  }
  int passwordAsked = 0;
  std::optional<std::string> confirmWith;  // the password the user confirms; none: Cancel
  TJarSettings* settingsToChange = nullptr;
  std::vector<std::pair<std::string, std::string>> shown;
};

class JarTest : public ::testing::Test {
 protected:
  JarTest() {
    jar.tempFolder = temp.path() + "/";
    settings.theJar32Exe = kFakeArchiver;
    jar.SetOwner(&loop);
  }

  // A stand-in archiver that ends with 0 unless its argument file says otherwise.
  static inline const std::string kFakeArchiver = std::string(TAMBER_TEST_BIN_DIR) + "/fake_archiver";

  // The argument line the builder writes for an operation.
  std::string Line(int operation) {
    jar.BuildArguments(operation);
    return jar.ReadWholeFile(jar.argumentsFile);
  }

  TempFolder temp;
  TJarSettings settings;
  testsupport::ScriptedPrompter prompter;
  platform::QueueRunEventLoop loop;
  TJar jar{settings, prompter};
};
