#pragma once
// What a dialog test stands on: a configuration over a store of its own (in a fresh folder), the
// scripted message boxes and file pickers, and an owner window.

#include <gtest/gtest.h>

#include <QWidget>

#include "config/TConfig.h"
#include "platform/SettingsStore.h"
#include "tests/support/ScriptedFileChooser.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

class ConfigFixture : public ::testing::Test {
 protected:
  TempFolder home;
  platform::SettingsStore store{home.path() + "/registry.reg"};
  testsupport::ScriptedPrompter prompter;
  testsupport::ScriptedFileChooser chooser;
  TConfig config{store, prompter};
  QWidget owner;
};
