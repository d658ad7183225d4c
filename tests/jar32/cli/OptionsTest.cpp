#include <gtest/gtest.h>

#include "Invocation.h"
#include "Options.h"
#include "Tokenizer.h"
#include "UsageError.h"

using namespace jar32::cli;

namespace {
Options apply(const std::string& line) {
  Options o;
  for (const Token& t : tokenize(line)) applySwitch(t, o);
  return o;
}
}  // namespace

// Every switch form the front-end writes is accepted.
TEST(Switches, EveryFormTheFrontEndWrites) {
  const char* forms[] = {
      "-g-", "-g\"pw pw\"", "-gsecret99", "-jg", "-jg\"newpass1\"", "-b-", "-b0", "-b1", "-f", "-f1",
      "-f2", "-u", "-u1", "-u2", "-m-", "-m1", "-m2", "-m3", "-m4", "-s", "-s-", "-s1", "-jl-",
      "-jl", "-jl1", "-jl2", "-js", "-js0", "-js1", "-hf-", "-hf", "-hf1", "-hf2", "-hf3", "-hg-",
      "-hg0", "-hg1", "-l\"list.txt\"", "-o\"out\"", "-w\"/tmp\"", "-zNUL", "-z\"c.txt\"",
      "-hzNUL", "-hz\"c.txt\"", "-vi", "-vv", "-va", "-v360", "-v720", "-v1440", "-v2880k",
      "-v100431870", "-vr100k", "-hba0", "-hbd0", "-hbh0", "-hbr0", "-hbs0", "-y", "-d", "-d-",
      "-n", "-n-", "-q", "-q-", "-r", "-r-", "-jf", "-jf-", "-jr", "-jr-", "-jt", "-jt-", "-hk",
      "-hk-", "-hx", "-hx-", "-jx", "-jx-", "-ha", "-ha-", "-he", "-he-", "-hy", "-hy-", "-ht0",
      "-ht-", "-jb1-", "-jb3-", "-jb-5", "-jb2-3", "-jb-", "-x\"/tmp/~tb1\"", "-xbare*.txt"};
  for (const char* f : forms) EXPECT_NO_THROW(apply(f)) << f;
}

TEST(Switches, ModesAndValues) {
  Options o = apply(R"(-f2 -u -m3 -s1 -jl1 -js -hf3 -hg1 -o"a b" -w"/w" -l"/l")");
  EXPECT_EQ(o.freshenMode, 2);
  EXPECT_EQ(o.updateMode, 0);
  EXPECT_EQ(o.method, 3);
  EXPECT_EQ(o.timeStamp, 1);
  EXPECT_EQ(o.lockMode, 1);
  EXPECT_EQ(o.chapterMode, 2);  // bare -js is "Compress All"
  EXPECT_EQ(o.lfnMode, 3);
  EXPECT_EQ(o.protection, 1);
  EXPECT_EQ(o.outputPath, "a b");
  EXPECT_EQ(o.workFolder, "/w");
  EXPECT_EQ(o.listFile, "/l");
  o = apply("-f -u- -m- -s -jl- -js0");
  EXPECT_EQ(o.freshenMode, 0);
  EXPECT_EQ(o.updateMode, -1);
  EXPECT_EQ(o.method, 0);
  EXPECT_EQ(o.timeStamp, 0);
  EXPECT_EQ(o.lockMode, -1);
  EXPECT_EQ(o.chapterMode, 0);
}

TEST(Switches, PasswordForms) {
  EXPECT_EQ(apply(R"(-g"pass word")").password, std::optional<std::string>("pass word"));
  EXPECT_EQ(apply("-gsecret99").password, std::optional<std::string>("secret99"));
  EXPECT_FALSE(apply("-g-").password);
  EXPECT_EQ(apply(R"(-g"-")").password, std::optional<std::string>("-"));  // quoted: a password
  EXPECT_FALSE(apply("-gsecret99 -g-").password);
  EXPECT_EQ(apply("-jg").newPassword.kind, NewPasswordSwitch::Kind::Keep);
  EXPECT_EQ(apply(R"(-jg"newpass1")").newPassword.password, "newpass1");
  EXPECT_EQ(apply("-jg-").newPassword.kind, NewPasswordSwitch::Kind::Remove);
  EXPECT_EQ(apply("-jg\"\"").newPassword.kind, NewPasswordSwitch::Kind::Remove);
}

TEST(Switches, CommentsUnquotedNulRemovesQuotedNulIsAFile) {
  EXPECT_EQ(apply("-zNUL").archiveComment.kind, CommentSwitch::Kind::Remove);
  const Options o = apply(R"(-z"NUL" -hz"/t/c.txt")");
  EXPECT_EQ(o.archiveComment.kind, CommentSwitch::Kind::FromFile);
  EXPECT_EQ(o.archiveComment.file, "NUL");
  EXPECT_EQ(o.chapterComment.file, "/t/c.txt");
  EXPECT_EQ(apply(R"(-z"")").archiveComment.kind, CommentSwitch::Kind::Unchanged);
}

TEST(Switches, RecordsAndEnvelopeSwitches) {
  const Options o = apply("-hk -hx- -hy -he- -va -vr10k");
  EXPECT_TRUE(o.unsupported.empty());
  EXPECT_TRUE(o.addRecords);
  EXPECT_EQ(o.recordsShare, 3u);
  EXPECT_FALSE(o.useRecords);
  EXPECT_TRUE(apply("-hx").useRecords);
  EXPECT_EQ(apply("-hk10").recordsShare, 10u);
  EXPECT_TRUE(apply("-hk1").addRecords);
  EXPECT_FALSE(apply("-hk7 -hk-").addRecords);
  EXPECT_EQ(apply("-hk7 -hk").recordsShare, 3u);
  EXPECT_TRUE(o.sign);
  EXPECT_FALSE(o.skipEnvelopeTest);
  EXPECT_TRUE(apply("-he").skipEnvelopeTest);
  EXPECT_TRUE(apply("-hk- -hx- -hy- -he-").unsupported.empty());
}

TEST(Switches, VolumeSizesAsTheDialogsSendThem) {
  EXPECT_EQ(*parseVolumeSize("360"), 360u * 1024);
  EXPECT_EQ(*parseVolumeSize("1440"), 1440u * 1024);
  EXPECT_EQ(*parseVolumeSize("2880k"), 2880u * 1024);
  EXPECT_EQ(*parseVolumeSize("100431870"), 100431870u);
  EXPECT_EQ(*parseVolumeSize("9999"), 9999u * 1024);
  EXPECT_EQ(*parseVolumeSize("10000"), 10000u);
  EXPECT_EQ(*parseVolumeSize("5M"), 5u << 20);
  EXPECT_EQ(*parseVolumeSize("2g"), 2ull << 30);
  for (const char* bad : {"", "0", "k", "12q", "1.5m", "-3", "99999999999999999999", "10kk"})
    EXPECT_FALSE(parseVolumeSize(bad)) << bad;
  Options o = apply("-v2880k -vr10k -vi -VV");
  EXPECT_EQ(o.volumes.size, 2880u * 1024);
  EXPECT_EQ(o.volumes.reserve, 10u * 1024);
  EXPECT_TRUE(o.volumes.inhibit && o.volumes.beep && !o.volumes.single && !o.volumes.autoSize);
  o = apply("-v360 -va");
  EXPECT_TRUE(o.volumes.autoSize);
  o = apply("-v360 -v-");
  EXPECT_TRUE(o.volumes.single);
  EXPECT_EQ(o.volumes.size, 0u);
  for (const char* bad : {"-v", "-vx", "-vr", "-vrk", "-via", "-v0"}) EXPECT_THROW(apply(bad), UsageError) << bad;
}

TEST(Switches, AttributesAndToggles) {
  Options o = apply("-hba0 -hbd0 -hbh0 -hbr0 -hbs0 -y -d -n -q -r -jf -jr -jt -jx -ha -ht0");
  EXPECT_FALSE(o.includeArchive || o.includeDirectories || o.includeHidden || o.includeReadOnly ||
               o.includeSystem);
  EXPECT_TRUE(o.assumeYes && o.withDelete && o.onlyNew && o.query && o.recurse && o.fullPath &&
              o.recoverBroken && o.testTemp && o.hideContents && o.ignoreReadOnly && o.testNew);
  o = apply("-r -r- -ht0 -ht-");
  EXPECT_FALSE(o.recurse);
  EXPECT_FALSE(o.testNew);
}

TEST(Switches, ChapterSelection) {
  EXPECT_EQ(*apply("-jb1-").chapters, (ChapterBounds{1, 0}));
  EXPECT_EQ(*apply("-jb-5").chapters, (ChapterBounds{0, 5}));
  EXPECT_EQ(*apply("-jb2-3").chapters, (ChapterBounds{2, 3}));
  EXPECT_EQ(*apply("-jb4").chapters, (ChapterBounds{4, 4}));
  EXPECT_EQ(*apply("-jb").chapters, (ChapterBounds{0, 0}));
  EXPECT_THROW(apply("-jb3-2"), UsageError);
  EXPECT_THROW(apply("-jb0"), UsageError);
  EXPECT_THROW(apply("-jbx"), UsageError);
  EXPECT_THROW(apply("-jb99999999999"), UsageError);
}

TEST(Switches, UnknownOrMalformedSwitchesAreBadParameters) {
  for (const char* bad : {"-k", "-m5", "-m12", "-b2", "-hg2", "-js3", "-jl3", "-f3", "-rr", "-y1",
                          "-hb", "-hbq0", "-hba2", "-ht1", "-hq", "-jq", "-v", "-hk0", "-hk51", "-hkx", "-hx1"})
    EXPECT_THROW(apply(bad), UsageError) << bad;
}

TEST(Switches, NamesAreCaseInsensitiveValuesAreNot) {
  const Options o = apply("-JB1- -R -Gsecret99");
  EXPECT_TRUE(o.recurse);
  EXPECT_EQ(*o.chapters, (ChapterBounds{1, 0}));
  EXPECT_EQ(*o.password, "secret99");
}

// The front-end's complete list line (every option at its default) parses.
TEST(Switches, TheFrontEndsListLine) {
  const auto inv = parseInvocation(
      tokenize(R"( l -jb1- "C:\A.J" -g- -b- -m- -s- -jl- -hf- -hg0 -y -q- -r -jf- -jr- -jt- -hk- -hx- -jx- -ha- -he- -hy- -ht-)"),
      Options{});
  EXPECT_EQ(inv.command, Command::List);
  EXPECT_EQ(inv.archive, "C:\\A.J");
  EXPECT_TRUE(inv.options.unsupported.empty());
  EXPECT_EQ(*inv.options.chapters, (ChapterBounds{1, 0}));
}

TEST(Switches, ExtendedAttributesAreOffUnlessAskedFor) {
  EXPECT_FALSE(apply("-r").extendedAttributes);
  EXPECT_TRUE(apply("-ja").extendedAttributes);
  EXPECT_FALSE(apply("-ja -ja-").extendedAttributes);
  EXPECT_THROW(apply("-ja1"), UsageError);
}
