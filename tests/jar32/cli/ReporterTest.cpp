#include <gtest/gtest.h>

#include <cstdio>

#include "Asker.h"
#include "Reporter.h"

using namespace jar32::cli;

namespace {
std::string textOf(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  int c;
  while ((c = std::fgetc(f)) != EOF) s.push_back(static_cast<char>(c));
  return s;
}
}  // namespace

TEST(Reporter, WarningsAreHeldAndPrintedAtTheEnd) {
  std::FILE* f = std::tmpfile();
  Reporter r(f);
  r.warning("skipped a");
  EXPECT_EQ(textOf(f), "");
  EXPECT_EQ(r.finish(), 1);
  EXPECT_EQ(textOf(f), "jar32: warning: skipped a\n");
  std::fclose(f);
}

TEST(Reporter, APasswordFailureLeavesOnlyItsMarker) {
  std::FILE* f = std::tmpfile();
  Reporter r(f);
  r.warning("-hk: not supported yet");
  EXPECT_EQ(r.fail(2, "ERROR #168: wrong password"), 2);
  EXPECT_EQ(textOf(f), "ERROR #168: wrong password\n");
  std::fclose(f);
  f = std::tmpfile();
  Reporter other(f);
  other.warning("skipped b");
  EXPECT_EQ(other.fail(9, "not a JAR archive"), 9);
  EXPECT_EQ(textOf(f), "jar32: warning: skipped b\njar32: not a JAR archive\n");
  std::fclose(f);
}

TEST(Asker, AnswersFromInputAllQuitAndEnd) {
  std::FILE* in = std::tmpfile();
  std::fputs("y\nn\nx\na\n", in);
  std::rewind(in);
  Asker a(false, in, nullptr);
  EXPECT_EQ(a.ask("one"), Asker::Answer::Yes);
  EXPECT_EQ(a.ask("two"), Asker::Answer::No);
  EXPECT_EQ(a.ask("three"), Asker::Answer::Yes);  // "x" asks again, "a" answers all
  EXPECT_EQ(a.ask("four"), Asker::Answer::Yes);
  std::fclose(in);
  in = std::tmpfile();
  std::fputs("q\ny\n", in);
  std::rewind(in);
  Asker q(false, in, nullptr);
  EXPECT_EQ(q.ask("one"), Asker::Answer::No);
  EXPECT_EQ(q.ask("two"), Asker::Answer::No);  // quit: no from then on
  std::fclose(in);
  in = std::tmpfile();
  Asker empty(false, in, nullptr);
  EXPECT_EQ(empty.ask("one"), Asker::Answer::No);  // end of input
  std::fclose(in);
  EXPECT_EQ(Asker(true, nullptr, nullptr).ask("x"), Asker::Answer::Yes);
}
