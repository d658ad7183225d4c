#pragma once
// A job with its own temporary folder for work files, a settings copy and a scripted prompter.

#include <gtest/gtest.h>

#include "driver/TJarExec_unit.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

class JarTest : public ::testing::Test {
 protected:
  JarTest() { jar.tempFolder = temp.path() + "/"; }

  // The argument line the builder writes for an operation.
  std::string Line(int operation) {
    jar.BuildArguments(operation);
    return jar.ReadWholeFile(jar.argumentsFile);
  }

  TempFolder temp;
  TJarSettings settings;
  testsupport::ScriptedPrompter prompter;
  TJar jar{settings, prompter};
};
