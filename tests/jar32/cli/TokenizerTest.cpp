#include <gtest/gtest.h>

#include "Invocation.h"
#include "Tokenizer.h"
#include "UsageError.h"

using namespace jar32::cli;

namespace {
std::vector<std::string> texts(const std::vector<Token>& items) {
  std::vector<std::string> out;
  for (const auto& t : items) out.push_back(t.text);
  return out;
}
}  // namespace

TEST(Tokenizer, SplitsOnBlanksAndTakesQuotedSegmentsLiterally) {
  const auto items = tokenize(R"( l -jb1- "C:\A.J" -g- -o"/x y/z" "a ""b" end)");
  EXPECT_EQ(texts(items),
            (std::vector<std::string>{"l", "-jb1-", "C:\\A.J", "-g-", "-o/x y/z", "a b", "end"}));
  EXPECT_FALSE(items[1].quoted());
  EXPECT_EQ(items[2].literalFrom, 0u);
  EXPECT_EQ(items[4].literalFrom, 2u);  // -o is unquoted, the value literal
  EXPECT_TRUE(items[4].literalAt(2));
  EXPECT_FALSE(items[4].literalAt(1));
}

TEST(Tokenizer, EmptyQuotesMakeAnEmptyItemAndLineEndsSeparate) {
  const auto items = tokenize("a\t\"\"\r\nb\n");
  EXPECT_EQ(texts(items), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(items[1].quoted());
  EXPECT_TRUE(tokenize("   ").empty());
  // A quoted newline is part of the name.
  EXPECT_EQ(tokenize("\"x\ny\"")[0].text, "x\ny");
}

TEST(Tokenizer, RejectsUnbalancedQuotesAndNulBytes) {
  EXPECT_THROW(tokenize(R"( a "unterminated)"), UsageError);
  EXPECT_THROW(tokenize(std::string(" a\0b", 4)), UsageError);
}

TEST(Invocation, ArchiveNamesAndSwitchesInAnyOrder) {
  const auto inv = parseInvocation(tokenize(R"( a "/t/b.j" -r "x y.txt" -m4 docs/*)"), Options{});
  EXPECT_EQ(inv.command, Command::Add);
  EXPECT_EQ(inv.archive, "/t/b.j");
  EXPECT_EQ(inv.names.toVector(), (std::vector<std::string>{"x y.txt", "docs/*"}));
  EXPECT_TRUE(inv.options.recurse);
  EXPECT_EQ(inv.options.method, 4);
}

TEST(Invocation, QuotedItemsAreNamesEvenWithSwitchOrListCharacters) {
  const auto inv = parseInvocation(tokenize(R"( d "a.j" "-odd" "@home")"), Options{});
  EXPECT_EQ(inv.names.toVector(), (std::vector<std::string>{"-odd", "@home"}));
}

TEST(Invocation, FileListsAreRead) {
  const auto reader = +[](const std::string& path, NameList& names) {
    EXPECT_EQ(path, "/tmp/~tb1");
    names.push_back("\\readme.txt");
    names.push_back("docs\\sub\\guide.txt");
  };
  const auto inv = parseInvocation(tokenize(R"( e "a.j" -y @"/tmp/~tb1")"), Options{}, reader);
  EXPECT_EQ(inv.names.toVector(), (std::vector<std::string>{"\\readme.txt", "docs\\sub\\guide.txt"}));
}

TEST(Invocation, DeleteChaptersTakesTheBareRange) {
  auto inv = parseInvocation(tokenize(R"( dc "a.j" -g- -q- 3- -xkeep.txt)"), Options{});
  ASSERT_TRUE(inv.deleteRange);
  EXPECT_EQ(*inv.deleteRange, (ChapterBounds{3, 0}));
  EXPECT_EQ(inv.options.excludes, std::vector<std::string>{"keep.txt"});
  inv = parseInvocation(tokenize(R"( dc "a.j" -y -)"), Options{});
  EXPECT_EQ(*inv.deleteRange, (ChapterBounds{0, 0}));
  inv = parseInvocation(tokenize(R"( dc "a.j" -5)"), Options{});
  EXPECT_EQ(*inv.deleteRange, (ChapterBounds{0, 5}));
  EXPECT_THROW(parseInvocation(tokenize(R"( dc "a.j" -y)"), Options{}), UsageError);
  EXPECT_THROW(parseInvocation(tokenize(R"( dc "a.j" 5-2)"), Options{}), UsageError);
}

TEST(Invocation, BadCommandsAndMissingArchive) {
  EXPECT_THROW(parseInvocation(tokenize(" zz a.j"), Options{}), UsageError);
  EXPECT_THROW(parseInvocation(tokenize(" l"), Options{}), UsageError);
  EXPECT_THROW(parseInvocation(tokenize(" l -"), Options{}), UsageError);
  EXPECT_THROW(parseInvocation(tokenize(R"( CFG)"), Options{}), UsageError);
  EXPECT_EQ(parseInvocation(tokenize(R"( cfg "/x/jar.cfg")"), Options{}).command, Command::WriteConfig);
  EXPECT_EQ(parseInvocation(tokenize(R"( RH -y "d.j" -gsecret99)"), Options{}).options.password,
            std::optional<std::string>("secret99"));
}

TEST(Invocation, DefaultsComeFirstAndTheLineWins) {
  Options defaults;
  defaults.method = 2;
  defaults.recurse = true;
  const auto inv = parseInvocation(tokenize(" a b.j -r- x"), defaults);
  EXPECT_EQ(inv.options.method, 2);
  EXPECT_FALSE(inv.options.recurse);
}
