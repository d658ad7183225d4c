// The listing parser on small listings: every mode, the header lines, the failures, the progress bar.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/ArchiveRowStore.h"
#include "driver/TJarExec_unit.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

using platform::BoxKind;

namespace {

// Listings captured from our archiver (scripts/capture-listings): a locked three-chapter archive
// with a comment, all chapters and the last one; an empty archive (of format 1); the same archive
// of today's format with recovery records and signed.
std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(TAMBER_TEST_DATA_DIR) + "/listings/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "missing test data: " << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kExample = ReadData("chapters.txt");
const std::string kCurrent = ReadData("current-chapter.txt");
const std::string kEmpty = ReadData("empty.txt");
const std::string kRecordsEnvelope = ReadData("records-envelope.txt");

const std::string kHeader = kExample.substr(0, kExample.find("Root directory"));
const std::string kTotals = kExample.substr(kExample.find("Total files listed"));
const std::string kHeadings =
    "      Size Attr   Modified             Name\n"
    "---------- ----   -------------------  ----------------------------------------\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "not in the listing: " << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string Cut(const std::string& text, const std::string& from) { return text.substr(0, text.find(from)); }

std::string Member(const std::string& name, const std::string& size = "100") {
  char line[64];
  std::snprintf(line, sizeof line, "%10s  A---   2026-01-02 03:04:05  ", size.c_str());
  return line + name + "\n";
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

class FakeList : public JarListSink {
 public:
  void BeginUpdate() override { ++depth, ++begun; }
  void EndUpdate() override { --depth; }
  void Clear() override { rows.Clear(); }
  void AddRow(const ArchiveEntryRow& row) override {
    if (depth != 1 || sorting) ++badlyAdded;
    rows.Add(row);
  }
  bool SortingEnabled() const override { return sorting; }
  void SetSortingEnabled(bool enabled) override { sorting = enabled; }

  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < rows.size(); ++i) out.emplace_back(rows.Row(i).caption);
    return out;
  }

  ArchiveRowStore rows;
  int depth = 0, begun = 0, badlyAdded = 0;
  bool sorting = true;
};

class FakeMemo : public JarCommentSink {
 public:
  void BeginUpdate() override { ++depth; }
  void EndUpdate() override { --depth; }
  void Clear() override { lines.clear(); }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
  int depth = 0;
};

// Holds at most `capacity` as its maximum, as a real bar holds an int.
class FakeBar : public JarProgressSink {
 public:
  void SetMaximum(int64_t maximum) override { max = std::min(maximum, capacity); }
  int64_t Maximum() const override { return max; }
  void SetPosition(int64_t position) override {
    pos = position;
    ++moves;
    if (position > max) ++beyond;
  }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  int64_t capacity = INT_MAX, max = 100, pos = -1;
  int moves = 0, beyond = 0;
  bool visible = false;
};

class ListingTest : public ::testing::Test {
 protected:
  ListingTest() {
    jar.tempFolder = temp.path() + "/";
    jar.outputFile = temp.path() + "/output.txt";
    jar.listView = &list;
    jar.commentMemo = &memo;
    jar.progressBar = &bar;
  }

  void Write(const std::string& listing) { std::ofstream(jar.outputFile, std::ios::binary) << listing; }

  // Parses the listing; the failure text, or "" when it was read.
  std::string Parse(const std::string& listing) {
    Write(listing);
    try {
      jar.OpenOutputFile();
    } catch (const JarFailure& failure) {
      return failure.text.empty() ? "(empty failure)" : failure.text;
    }
    return "";
  }

  void ExpectSinksSettled() {
    EXPECT_EQ(list.depth, 0);
    EXPECT_EQ(memo.depth, 0);
    EXPECT_EQ(list.badlyAdded, 0);
    EXPECT_TRUE(list.sorting);
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(jar.listingStream.IsOpen());
  }

  TempFolder temp;
  TJarSettings settings;
  testsupport::ScriptedPrompter prompter;
  TJar jar{settings, prompter};
  FakeList list;
  FakeMemo memo;
  FakeBar bar;
};

void ExpectRow(const ArchiveEntryRow& row, std::string_view caption, std::string_view size, std::string_view path,
               std::string_view chapters, std::string_view modified, int image) {
  EXPECT_EQ(row.caption, caption);
  EXPECT_EQ(row.size, size);
  EXPECT_EQ(row.attributes, caption.ends_with('\\') ? "D---" : "A---");
  EXPECT_EQ(row.path, path);
  EXPECT_EQ(row.chapters, chapters);
  EXPECT_EQ(row.modified, modified);
  EXPECT_EQ(row.imageIndex, image);
}

TEST_F(ListingTest, ExampleListingFillsRowsPaneAndResults) {
  for (const std::string& listing : {kExample, WithCrLf(kExample)}) {
    jar.dataRatio = "stale";
    ASSERT_EQ(Parse(listing), "");
    ASSERT_EQ(list.rows.size(), 5u);
    ExpectRow(list.rows.Row(0), "readme.txt", "1234", "\\", "<1-3>", "2026-12-08 10:00:00", 0);
    ExpectRow(list.rows.Row(1), "notes.txt", "5678", "\\", "<3-3>", "2026-12-08 10:04:59", 0);
    ExpectRow(list.rows.Row(2), "docs\\", "0", "\\", "<1-3>", "2026-12-08 10:00:00", 1);
    ExpectRow(list.rows.Row(3), "guide.txt", "12345", "docs\\", "<1-2>", "2026-12-07 09:00:00", 0);
    ExpectRow(list.rows.Row(4), "guide.txt", "12400", "docs\\", "<3-3>", "2026-12-08 10:01:00", 0);
    EXPECT_EQ(list.begun, 2);  // emptying, then all rows in one update

    EXPECT_EQ(jar.archiveFlags, "LOCKED");
    EXPECT_EQ(jar.createdDate, "2026-12-08 10:00:00");
    EXPECT_EQ(jar.modifiedDate, "2026-12-08 10:05:31");
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Weekly backup of the project folder.", "Second comment line."}));
    EXPECT_TRUE(jar.hasComment);
    EXPECT_TRUE(jar.useArchiveComment);
    EXPECT_EQ(jar.archiveComment, "");
    EXPECT_EQ(jar.currentChapters, " 1-3");
    EXPECT_EQ(jar.totalFiles, " 5");
    EXPECT_EQ(jar.totalBytes, "31,657");
    EXPECT_EQ(jar.dataRatio, "17.4%");
    EXPECT_EQ(jar.securitySignature, "");
    ExpectSinksSettled();
    list.begun = 0;
  }
}

TEST_F(ListingTest, TodaysListingOfASignedArchiveWithRecordsIsReadWhole) {
  ASSERT_NE(kRecordsEnvelope.find("Archive format 2,"), std::string::npos);
  for (const std::string& listing : {kRecordsEnvelope, WithCrLf(kRecordsEnvelope)}) {
    ASSERT_EQ(Parse(listing), "");
    ASSERT_EQ(list.rows.size(), 5u);
    ExpectRow(list.rows.Row(0), "notes.txt", "5678", "\\", "<3-3>", "2026-12-08 10:04:59", 0);
    ExpectRow(list.rows.Row(4), "guide.txt", "12345", "docs\\", "<1-2>", "2026-12-07 09:00:00", 0);
    EXPECT_EQ(jar.archiveFlags, "LOCKED, RECOVERY RECORDS, SECURED");
    EXPECT_EQ(jar.createdDate, "2026-12-08 10:00:00");
    EXPECT_EQ(jar.modifiedDate, "2026-12-08 10:05:31");
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Weekly backup of the project folder.", "Second comment line."}));
    EXPECT_EQ(jar.currentChapters, " 1-3");
    EXPECT_EQ(jar.totalFiles, " 5");
    EXPECT_EQ(jar.dataRatio, "17.4%");
    EXPECT_EQ(jar.securitySignature, "root@vm, key C379-25DB-9FEE-BF30-F4D1, signed 2026-12-08 10:05:31");
    ExpectSinksSettled();
  }
}

TEST_F(ListingTest, ParseModesDecideWhichRowsAreMade) {
  jar.parseMode = 1;  // folders only: names holding a backslash, all with image 0
  ASSERT_EQ(Parse(kExample), "");
  ASSERT_EQ(list.rows.size(), 1u);
  ExpectRow(list.rows.Row(0), "docs\\", "0", "\\", "<1-3>", "2026-12-08 10:00:00", 0);

  jar.parseMode = 2;  // none: the header and the totals are still read
  ASSERT_EQ(Parse(kExample), "");
  EXPECT_EQ(list.rows.size(), 0u);
  EXPECT_EQ(jar.archiveFlags, "LOCKED");
  EXPECT_EQ(memo.lines.size(), 2u);
  EXPECT_EQ(jar.totalFiles, " 5");
  EXPECT_EQ(jar.dataRatio, "17.4%");
  ExpectSinksSettled();
}

TEST_F(ListingTest, CurrentChapterGoesToEveryRowAndNamesKeepTheirText) {
  const std::string listing = Replace(kCurrent, "notes.txt", "a <b>.txt");
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(jar.currentChapters, "3");
  ASSERT_EQ(list.rows.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(list.rows.Row(i).chapters, "3");
  EXPECT_EQ(list.rows.Row(1).caption, "a <b>.txt");
  EXPECT_EQ(list.rows.Row(2).imageIndex, 1);
  EXPECT_EQ(list.rows.Row(3).path, "docs\\");
  EXPECT_EQ(jar.totalFiles, " 4");
}

TEST_F(ListingTest, ChapterRangeIsTakenFromTheLastAngleBracket) {
  std::string listing = Replace(kExample, "readme.txt <1-3>", "x<1-2> y.txt <1-3>");
  listing = Replace(listing, "notes.txt <3-3>", "  spaced<.txt   <3-3>");
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(list.rows.Row(0).caption, "x<1-2> y.txt");
  EXPECT_EQ(list.rows.Row(0).chapters, "<1-3>");
  EXPECT_EQ(list.rows.Row(1).caption, "spaced<.txt");
  EXPECT_EQ(list.rows.Row(1).chapters, "<3-3>");
}

TEST_F(ListingTest, FolderNamesMayHoldTheDirectoryWordAndQuotes) {
  std::string listing = Replace(kExample, "\"docs\\\" directory", "\"my \"x\" directory\\\" directory");
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(list.rows.Row(3).path, "my \"x\" directory\\");

  // The first group need not be the root.
  listing = kHeader + "\"a\\b\\\" directory\n" + kHeadings + Member("one") + "\n" + kTotals;
  ASSERT_EQ(Parse(listing), "");
  ASSERT_EQ(list.rows.size(), 1u);
  EXPECT_EQ(list.rows.Row(0).path, "a\\b\\");
}

TEST_F(ListingTest, EmptyArchiveGivesZeroTotalsAndAnEmptyList) {
  ASSERT_EQ(Parse(kExample), "");
  ASSERT_EQ(Parse(kEmpty), "");
  EXPECT_EQ(list.rows.size(), 0u);
  EXPECT_EQ(jar.totalFiles, "0");
  EXPECT_EQ(jar.totalBytes, "0");
  EXPECT_EQ(jar.dataRatio, "0");
  ExpectSinksSettled();
}

TEST_F(ListingTest, MissingTotalLinesBecomeQuestionMarks) {
  ASSERT_EQ(Parse(kExample), "");
  ASSERT_EQ(Parse(Cut(kExample, "Whole archived")), "");
  EXPECT_EQ(jar.totalBytes, "31,657");
  EXPECT_EQ(jar.dataRatio, "?");
  ASSERT_EQ(Parse(Replace(kExample, "Total bytes in files listed: 31,657\n", "")), "");
  EXPECT_EQ(jar.totalFiles, " 5");
  EXPECT_EQ(jar.totalBytes, "?");
  EXPECT_EQ(jar.dataRatio, "?");
  ASSERT_EQ(Parse(Replace(kExample, "= 17.4%", "17.4%")), "");
  EXPECT_EQ(jar.dataRatio, "?");
}

TEST_F(ListingTest, CommentLimitCountsTheLaterLinesAndTheChapterLine) {
  // Later comment lines and the chapter line ("Chapter range selected: 1-3" + LF = 28) against 4096.
  auto listing = [](size_t laterLength) {
    std::string out = Replace(kExample, "Second comment line.", std::string(laterLength, 'c'));
    return Replace(out, "Weekly backup of the project folder.", std::string(6000, 'w'));
  };
  EXPECT_EQ(Parse(listing(4096 - 28 - 1)), "");
  EXPECT_EQ(memo.lines.size(), 2u);
  EXPECT_EQ(memo.lines[0].size(), 6000u);
  EXPECT_EQ(Parse(listing(4096 - 28)), "ParseFile() e#11");
  ExpectSinksSettled();

  // Without a flag line the first comment line is the line after the dates.
  EXPECT_EQ(Parse(Replace(listing(100), "LOCKED\n", "")), "");
  EXPECT_EQ(jar.archiveFlags, "");
  EXPECT_EQ(memo.lines.size(), 2u);
}

TEST_F(ListingTest, NoCommentLeavesThePaneEmpty) {
  memo.lines = {"old comment"};
  std::string listing = Replace(kExample, "Weekly backup of the project folder.\nSecond comment line.\n", "");
  ASSERT_EQ(Parse(Replace(listing, "LOCKED\n", "")), "");
  EXPECT_TRUE(memo.lines.empty());
  EXPECT_FALSE(jar.hasComment);
  EXPECT_FALSE(jar.useArchiveComment);
  EXPECT_EQ(jar.archiveFlags, "");
}

TEST_F(ListingTest, ShortLineEndsAGroup) {
  // A short member-like line (20 characters) closes the root group; the next line is a folder line.
  std::string listing = Replace(kExample, "docs\\ <1-3>\n\n", "docs\\ <1-3>\n12345678901234567890\n");
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(list.Captions(), (std::vector<std::string>{"readme.txt", "notes.txt", "docs\\", "guide.txt", "guide.txt"}));

  // Anything else after the short line fails, keeps the rows made so far and ends the update.
  listing = Replace(kExample, "\"docs\\\" directory", "docs directory");
  EXPECT_EQ(Parse(listing), "ParseFile() e#17");
  EXPECT_EQ(list.rows.size(), 3u);
  ExpectSinksSettled();
}

TEST_F(ListingTest, DatesFromTheArchiveLine) {
  ASSERT_EQ(Parse(Replace(kExample, ", modified 2026-12-08 10:05:31", "")), "");
  EXPECT_EQ(jar.createdDate, "2026-12-08 10:00:00");
  EXPECT_EQ(jar.modifiedDate, "Unknown");
  ASSERT_EQ(Parse(Replace(kExample, "created 2026-12-08 10:00:00, ", "")), "");
  EXPECT_EQ(jar.createdDate, "Unknown");
  EXPECT_EQ(jar.modifiedDate, "2026-12-08 10:05:31");
  ASSERT_EQ(Parse(Replace(kExample, "Archive created 2026-12-08 10:00:00, modified 2026-12-08 10:05:31", "x")), "");
  EXPECT_EQ(jar.createdDate, "Unknown");
  EXPECT_EQ(jar.modifiedDate, "Unknown");
}

TEST_F(ListingTest, SecurityEnvelopeLines) {
  std::string listing = Replace(kExample, "\nArchive created", "\n*** Verifying JAR SECURITY ENVELOPE\nArchive created");
  listing = Replace(listing, "LOCKED", "SECURED");
  listing += "*** Valid JAR SECURITY envelope signature:\n    Tamber developers 2026\n";
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(jar.createdDate, "2026-12-08 10:00:00");
  EXPECT_EQ(jar.securitySignature, "Tamber developers 2026");

  ASSERT_EQ(Parse(Cut(listing, "*** Valid")), "");  // a listing without the lines loses the old signature
  EXPECT_EQ(jar.securitySignature, "");
}

TEST_F(ListingTest, MissingConfigurationWarningIsShownAndTheListingRead) {
  const std::string warning =
      "\nWARNING #301: configuration file jar.cfg not found\n1\n2\n3\n4\n5\n";
  const std::string program = temp.path() + "/jar32.exe";
  std::ofstream(program) << "";
  settings.theJar32Exe = program;
  prompter.expect(BoxKind::Error, "Jar configuration file: \"" + temp.path() +
                                      "/jar.cfg\" not found, use \"Generate Jar.cfg\" to make one!");
  ASSERT_EQ(Parse(warning + kExample), "");
  EXPECT_EQ(list.rows.size(), 5u);
  prompter.verifyDone();

  settings.theJar32Exe = "no-such-archiver-for-tamber.exe";  // not found anywhere: the text as configured
  prompter.expect(BoxKind::Error, "Jar configuration file: \"jar.cfg\" not found, use \"Generate Jar.cfg\" to make one!");
  ASSERT_EQ(Parse(warning + kExample), "");
}

TEST_F(ListingTest, EveryNumberedFailure) {
  const std::string version = "JAR 1.02 (stand-in for Linux)\n";
  const std::string upToChapters = Cut(kExample, "Chapter range");
  struct Case {
    std::string listing, failure;
  } cases[] = {
      {"\nno warning here\n", "ParseFile() e#1"},
      {"Some other program\n", "ParseFile() error: Not Jar output ?"},
      {version + "banner\n", "Premature end of Jar output!"},
      {version + "banner\nbanner 2\n", "Premature end of Jar output!"},
      {version + "banner\nbanner 2\nnot processing\nmore\n", "ParseFile() e#5"},
      {Replace(kExample, "Archive format 1, 3 chapters, 5 members", ""), "ParseFile(): Unexpected empty line"},
      {Replace(kExample, "Archive created 2026-12-08 10:00:00, modified 2026-12-08 10:05:31", ""),
       "ParseFile(): Unexpected empty line"},
      {upToChapters, "ParseFile(): Premature end of output file"},
      {upToChapters + "Chapter range selected: 1-3", "ParseFile(): Premature end of output file"},
      {Replace(kExample, "Analyzing archive...", "Looking"), "ParseFile() e#12"},
      {Replace(kExample, "Analyzing archive...\n\n", "Analyzing archive...\nx\n"), "ParseFile e#13"},
      {Replace(kExample, "Root directory", "Something else"), "ParseFile() e#14"},
      {Replace(kExample, "\"docs\\\" directory", "\"docs\\\" folder"), "ParseFile() e#17"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    EXPECT_EQ(Parse(c.listing), c.failure);
    ExpectSinksSettled();
  }
}

TEST_F(ListingTest, EmptyOrMissingOutputFileIsReportedAndTheListKept) {
  ASSERT_EQ(Parse(kExample), "");
  prompter.expect(BoxKind::Error, "Outputfile is empty !");
  EXPECT_EQ(Parse(""), "");
  prompter.expect(BoxKind::Error, "Outputfile is empty !");
  jar.outputFile = temp.path() + "/missing.txt";
  jar.OpenOutputFile();
  EXPECT_EQ(list.rows.size(), 5u);
  ExpectSinksSettled();
}

TEST_F(ListingTest, ProgressRangeIsHalvedUntilTheBarHoldsIt) {
  bar.capacity = 500;
  Write(kExample);
  const int64_t size = static_cast<int64_t>(kExample.size());
  ASSERT_TRUE(size > 800 && size <= 1000) << size;
  jar.OpenOutputFile();
  EXPECT_FLOAT_EQ(jar.progressScale, 0.5f);
  EXPECT_EQ(jar.outputSize, (size + 1) / 2);
  EXPECT_EQ(bar.max, jar.outputSize);
  EXPECT_EQ(bar.pos, jar.outputSize);  // the last line read ends the file
  EXPECT_EQ(bar.beyond, 0);

  bar = FakeBar{};
  bar.capacity = 100;
  jar.OpenOutputFile();
  EXPECT_FLOAT_EQ(jar.progressScale, 0.0625f);
  EXPECT_LE(bar.max, 100);
  EXPECT_EQ(bar.beyond, 0);

  bar = FakeBar{};
  bar.capacity = -1;  // a bar that holds nothing must not hang the parse
  jar.OpenOutputFile();
  EXPECT_EQ(jar.outputSize, 0);
}

TEST_F(ListingTest, ReadLineCountsEveryByteAndMovesTheBarOnlyForText) {
  Write("ab\r\n\n\r\nlast");
  ASSERT_TRUE(jar.listingStream.Open(jar.outputFile));
  jar.progressScale = 0.5f;
  int64_t count = 0;
  EXPECT_EQ(jar.ReadLine(count), "ab");
  EXPECT_EQ(count, 4);
  EXPECT_EQ(bar.pos, 2);
  EXPECT_EQ(jar.ReadLine(count), "");
  EXPECT_EQ(count, 5);
  EXPECT_EQ(bar.moves, 1);
  EXPECT_EQ(jar.ReadLine(count), "");  // a carriage return alone is text until it is taken off
  EXPECT_EQ(count, 7);
  EXPECT_EQ(bar.moves, 2);
  EXPECT_FALSE(jar.listingStream.AtEnd());
  EXPECT_EQ(jar.ReadLine(count), "last");
  EXPECT_EQ(count, 11);
  EXPECT_EQ(bar.pos, 6);  // 5.5 rounded
  EXPECT_TRUE(jar.listingStream.AtEnd());
  EXPECT_EQ(jar.ReadLine(count), "");
  EXPECT_EQ(count, 11);
  jar.listingStream.Close();
}

TEST_F(ListingTest, LinesLongerThanTheReadBlock) {
  const std::string longLine(3'000'000, 'x');
  Write("a\n" + longLine + "\nb\n" + longLine);
  ListingReader reader;
  ASSERT_TRUE(reader.Open(jar.outputFile));
  int64_t count = 0;
  EXPECT_EQ(reader.ReadLine(count), "a");
  EXPECT_EQ(reader.ReadLine(count), longLine);
  EXPECT_EQ(reader.ReadLine(count), "b");
  EXPECT_EQ(reader.ReadLine(count), longLine);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(count, static_cast<int64_t>(5 + 2 * longLine.size()));
  EXPECT_FALSE(reader.Open(temp.path() + "/missing"));
  EXPECT_TRUE(reader.AtEnd());
}

// A line whose line feed is the last byte of the first read block, with more than a block after it:
// the parser must still see that line, not bytes from later in the file.
constexpr size_t kReadBlock = size_t{1} << 20;

// Member lines until the next one would pass `lastByte`, then one padded to end exactly there.
void AddMembersUpTo(std::string& text, size_t lastByte, std::vector<std::string>& names) {
  const size_t plain = Member("m0000000.txt").size();
  while (text.size() + 2 * plain <= lastByte + 1) {
    names.push_back("m" + std::to_string(10000000 + names.size()).substr(1) + ".txt");
    text += Member(names.back());
  }
  const size_t padLength = lastByte + 1 - text.size() - Member("").size();
  names.push_back("pad" + std::string(padLength - 3, 'p'));
  text += Member(names.back());
}

void AddMembers(std::string& text, size_t bytes, std::vector<std::string>& names) {
  AddMembersUpTo(text, text.size() + bytes, names);
}

void ExpectCaptions(const FakeList& list, const std::vector<std::string>& names) {
  ASSERT_EQ(list.rows.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i)
    if (list.rows.Row(i).caption != names[i]) {
      ADD_FAILURE() << "row " << i << " is \"" << list.rows.Row(i).caption << "\", not \"" << names[i] << "\"";
      return;
    }
}

// Everything a listing gives, to compare two readings of it.
std::string Results(const TJar& jar, const FakeList& list, const FakeMemo& memo) {
  std::string out = jar.archiveFlags + "|" + jar.createdDate + "|" + jar.modifiedDate + "|" + jar.securitySignature +
                    "|" + jar.currentChapters + "|" + jar.totalFiles + "|" + jar.totalBytes + "|" + jar.dataRatio +
                    "|" + (jar.hasComment ? "comment" : "none") + "\n";
  for (const std::string& line : memo.lines) out += line + "\n";
  for (size_t i = 0; i < list.rows.size(); ++i) {
    const ArchiveEntryRow& r = list.rows.Row(i);
    out += std::string(r.caption) + "|" + std::string(r.size) + "|" + std::string(r.attributes) + "|" +
           std::string(r.path) + "|" + std::string(r.chapters) + "|" + std::string(r.modified) + "|" +
           std::to_string(r.imageIndex) + "\n";
  }
  return out;
}

TEST_F(ListingTest, MemberLineEndingAtTheBlockEdge) {
  std::vector<std::string> names;
  std::string listing = kHeader + "Root directory\n" + kHeadings;
  AddMembersUpTo(listing, kReadBlock - 1, names);
  ASSERT_EQ(listing.size(), kReadBlock);
  AddMembers(listing, kReadBlock + 1000, names);
  listing += "\n" + kTotals;
  ASSERT_EQ(Parse(listing), "");
  ExpectCaptions(list, names);
}

TEST_F(ListingTest, ChapterLineEndingAtTheBlockEdge) {
  const std::string chapterLine = "Chapter range selected: 1-3\n";
  std::string listing = Cut(kHeader, "Weekly backup");
  // One long first comment line (it does not count against the limit) brings the chapter line to the edge.
  listing += std::string(kReadBlock - listing.size() - chapterLine.size() - 1, 'c') + "\n" + chapterLine;
  ASSERT_EQ(listing.size(), kReadBlock);
  listing += "Analyzing archive...\n\nRoot directory\n" + kHeadings;
  std::vector<std::string> names;
  AddMembers(listing, kReadBlock + 1000, names);
  listing += "\n" + kTotals;
  ASSERT_EQ(Parse(listing), "");
  EXPECT_EQ(jar.currentChapters, " 1-3");
  EXPECT_EQ(memo.lines.size(), 1u);
  ExpectCaptions(list, names);
}

TEST_F(ListingTest, CommentLineEndingAtTheBlockEdge) {
  const std::string laterComment = "Second comment line.\n";
  std::string listing = Cut(kHeader, "Weekly backup");
  const std::string rest = kHeader.substr(kHeader.find("Chapter range selected"));
  listing += std::string(kReadBlock - listing.size() - laterComment.size() - 1, 'c') + "\n" + laterComment;
  ASSERT_EQ(listing.size(), kReadBlock);
  listing += "Third comment line.\n" + rest + "Root directory\n" + kHeadings;
  std::vector<std::string> names;
  AddMembers(listing, kReadBlock + 1000, names);
  listing += "\n" + kTotals;
  ASSERT_EQ(Parse(listing), "");
  ASSERT_EQ(memo.lines.size(), 3u);
  EXPECT_EQ(memo.lines[1], "Second comment line.");
  EXPECT_EQ(memo.lines[2], "Third comment line.");
  ExpectCaptions(list, names);
}

TEST_F(ListingTest, EveryReadBlockSizeGivesTheSameListing) {
  // Small blocks put a block edge at every place of these listings; every refill moves the data,
  // so a line used after the next read would show.
  std::string secured = Replace(kExample, "LOCKED", "SECURED");
  secured += "*** Valid JAR SECURITY envelope signature:\n    Tamber developers 2026\n";
  std::string groups = Replace(kExample, "docs\\ <1-3>\n\n", "docs\\ <1-3>\n12345678901234567890\n");
  for (const std::string& listing : {kExample, WithCrLf(kExample), secured, kCurrent, kEmpty, groups}) {
    ASSERT_EQ(Parse(listing), "");
    const std::string expected = Results(jar, list, memo);
    for (size_t block = 1; block <= 160; ++block) {
      jar.listingStream.SetBlockSize(block);
      jar.listingStream.SetMovingRefills(true);
      ASSERT_EQ(Parse(listing), "") << "block " << block;
      ASSERT_EQ(Results(jar, list, memo), expected) << "block " << block;
    }
    jar.listingStream.SetBlockSize(ListingReader::kBlockSize);
    jar.listingStream.SetMovingRefills(false);
  }
}

TEST_F(ListingTest, WorksWithoutSinks) {
  jar.listView = nullptr;
  jar.commentMemo = nullptr;
  jar.progressBar = nullptr;
  ASSERT_EQ(Parse(kExample), "");
  EXPECT_EQ(jar.totalFiles, " 5");
}

TEST(IsFlagsLine, AnyFlagWordAnywhere) {
  for (const char* line : {"LOCKED", "x AUTO_LOCK", "RECOVERY RECORDS", "SECURED", "HIDDEN", "PROTECTED, ENCRYPTED"})
    EXPECT_TRUE(TJar::IsFlagsLine(line)) << line;
  for (const char* line : {"", "locked", "RECOVERY", "Weekly backup"}) EXPECT_FALSE(TJar::IsFlagsLine(line)) << line;
}

TEST(ArchiveRowStore, KeepsRowsAndSharesFoldersAndChapters) {
  ArchiveRowStore store;
  std::string caption = "first";
  std::string big(3'000'000, 'n');  // larger than a block
  store.Add({caption, "1", "A---", "\\", "<1-1>", "2026-01-01 00:00:00", 0});
  store.Add({big, "2", "A---", "a\\", "<1-1>", "2026-01-01 00:00:01", 1});
  store.Add({"", "", "", "\\", "", "", 0});
  caption = "changed";  // the store keeps its own copy
  ASSERT_EQ(store.size(), 3u);
  EXPECT_EQ(store.Row(0).caption, "first");
  EXPECT_EQ(store.Row(0).modified, "2026-01-01 00:00:00");
  EXPECT_EQ(store.Row(1).caption.size(), big.size());
  EXPECT_EQ(store.Row(1).path, "a\\");
  EXPECT_EQ(store.Row(1).imageIndex, 1);
  EXPECT_EQ(store.Row(2).caption, "");
  EXPECT_EQ(store.Row(2).path, "\\");
  EXPECT_EQ(store.FolderCount(), 2u);
  EXPECT_GT(store.MemoryBytes(), big.size());
  store.Clear();
  EXPECT_TRUE(store.empty());
  store.Add({"again", "1", "A---", "x\\", "<1-1>", "d", 0});
  EXPECT_EQ(store.Row(0).path, "x\\");
}

}  // namespace
