#include <gtest/gtest.h>

#include "Config.h"
#include "UsageError.h"

using namespace jar32::cli;

TEST(Config, GeneratedTextParsesAndKeepsTheBuiltInDefaults) {
  const Config c = parseConfig(generatedConfigText());
  const Options add = defaultsFor(c, Command::Add);
  EXPECT_EQ(add.method, 2);
  EXPECT_FALSE(add.recurse);
  EXPECT_EQ(defaultsFor(c, Command::AddChapter).chapterMode, 0);
  EXPECT_FALSE(defaultsFor(c, Command::Extract).assumeYes);
}

TEST(Config, EveryCommandLineThenTheCommandsOwn) {
  const Config c = parseConfig("# comment\n\n* -y -m1\na -m4 -w\"/tmp/work dir\"\r\nl -jb1-\n");
  Options a = defaultsFor(c, Command::Add);
  EXPECT_TRUE(a.assumeYes);
  EXPECT_EQ(a.method, 4);
  EXPECT_EQ(a.workFolder, "/tmp/work dir");
  EXPECT_EQ(defaultsFor(c, Command::Update).method, 1);
  EXPECT_EQ(*defaultsFor(c, Command::List).chapters, (ChapterBounds{1, 0}));
}

TEST(Config, TheSignersName) {
  const Config c = parseConfig("signer Jane  \"Q.\" Doe <jane@example.org>\na -m1\n");
  EXPECT_EQ(c.signerName, "Jane Q. Doe <jane@example.org>");
  EXPECT_EQ(defaultsFor(c, Command::Add).signerName, c.signerName);
  EXPECT_THROW(parseConfig("signer\n"), UsageError);
  EXPECT_THROW(parseConfig("signer " + std::string(128, 'x') + "\n"), UsageError);
  EXPECT_THROW(parseConfig("signer a\x01b\n"), UsageError);
  EXPECT_TRUE(parseConfig(generatedConfigText()).signerName.empty());
}

TEST(Config, ErrorsNameTheLine) {
  try {
    parseConfig("a -m2\nzz -y\n");
    FAIL();
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos);
  }
  EXPECT_THROW(parseConfig("a name.txt\n"), UsageError);
  EXPECT_THROW(parseConfig("a -m9\n"), UsageError);
  EXPECT_THROW(parseConfig("a \"-y\n"), UsageError);
}
