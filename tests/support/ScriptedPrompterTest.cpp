// The scripted prompter must catch the faults it exists for.
#include "tests/support/ScriptedPrompter.h"

#include <gtest/gtest-spi.h>

using namespace platform;
using testsupport::PlainBox;
using testsupport::ScriptedPrompter;

TEST(ScriptedPrompter, AnswersInOrderAndRecordsEveryBox) {
  ScriptedPrompter p;
  p.expect(BoxKind::Error, "Error in writing to registry");
  p.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes, ButtonYes | ButtonNo);
  p.expect(PlainBox, "Error opening registry for saving!");
  p.expect(BoxKind::Information, "note");
  p.error("Error in writing to registry");
  EXPECT_EQ(p.ask(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes | ButtonNo), ButtonYes);
  p.plain("Error opening registry for saving!");
  p.info("note");
  p.verifyDone();
  ASSERT_EQ(p.calls().size(), 4u);
  EXPECT_EQ(p.calls()[1].buttons, unsigned(ButtonYes | ButtonNo));
  EXPECT_EQ(p.calls()[2].kind, PlainBox);
}

TEST(ScriptedPrompter, FailsOnBoxesThatDoNotMatch) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompter p;
        p.info("unexpected");
      },
      "Unexpected message box: Information box \"unexpected\"");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompter p;
        p.expect(BoxKind::Error, "text");
        p.info("text");
      },
      "expected: Error box");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompter p;
        p.expect(BoxKind::Error, "Tamber unsuccesfully associated", ButtonRetry, ButtonRetry | ButtonCancel);
        EXPECT_EQ(p.ask(BoxKind::Error, "Tamber unsuccesfully associated", ButtonYes | ButtonNo), ButtonNo);
      },
      "actual: Error box \"Tamber unsuccesfully associated\" [Yes|No]");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompter p;
        p.expect(BoxKind::Error, "x", ButtonRetry);
        EXPECT_EQ(p.ask(BoxKind::Error, "x", ButtonYes | ButtonNo), ButtonNo);
      },
      "Scripted answer Retry is not offered");
}

TEST(ScriptedPrompter, FailsWhenExpectedBoxesNeverCame) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompter p;
        p.expect(BoxKind::Information, "never shown");
      },
      "Expected message box never shown: Information box \"never shown\"");
}
