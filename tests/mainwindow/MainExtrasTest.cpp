// The filter above the list, opening a member (and putting it back), and the data of a drag out
// of the list, on archives made by jar32.exe.

#include <sys/stat.h>
#include <unistd.h>

#include <QDrag>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <fstream>

#include "config/PWDialog_unit.h"
#include "mainwindow/ExtractingMimeData.h"
#include "mainwindow/FilterBar.h"
#include "mainwindow/MemberOpener.h"
#include "mainwindow/TempExtractions.h"
#include "tests/mainwindow/MainWindowFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using V = std::vector<std::string>;

namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::string data;
  return platform::ReadWholeFile(path, data) ? data : std::string("<unreadable>");
}

unsigned Mode(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

class ExtrasTest : public MainWindowTest {
 protected:
  void Open(const std::string& path) {
    NotTheFirstRun();
    Start();
    fs::create_directories(temp());
    window->config().theTemporaryFolder = temp();
    ASSERT_TRUE(window->OpenArchive(path, true));
  }
  std::string temp() const { return home.path() + "/temp"; }
  int RowOf(const std::string& name) const {
    for (int row = 0; row < Model()->rowCount(); ++row)
      if (Model()->MemberName(row) == name) return row;
    ADD_FAILURE() << "no row " << name;
    return 0;
  }
  QLineEdit* FilterEdit() const { return window->findChild<QLineEdit*>("FilterEdit"); }
  void Filter(const QString& text) {
    QTest::keyClick(List(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(FilterEdit()->isVisible());
    FilterEdit()->setText(text);
  }
  void SelectRows(const std::vector<int>& rows) {
    List()->clearSelection();
    for (int row : rows) ClickRow(row, Qt::ControlModifier);
  }
  // The member's bytes as jar32.exe extracts them now.
  std::string InArchive(const std::string& archive, const std::string& member) {
    const std::string out = home.path() + "/check";
    fs::remove_all(out);
    fs::create_directories(out);
    EXPECT_EQ(Jar("x '" + archive + "' -y '" + member + "'", out), 0);
    std::string local = member.front() == '\\' ? member.substr(1) : member;
    std::replace(local.begin(), local.end(), '\\', '/');
    return Read(out + "/" + local);
  }
  std::vector<QUrl> opened;
  void RecordOpenedUrls() {
    window->memberOpener()->SetUrlOpener([this](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
  }
};

// ----- Filter -------------------------------------------------------------------------------

TEST_F(ExtrasTest, TheFilterNarrowsRowsByTextOrPatternIgnoringCaseAndEscapeEndsIt) {
  Open(MakeDemoArchive());
  const QString totals = Panel(0) + Panel(1) + Panel(2);

  List()->setFocus();
  Filter("GUIDE");
  EXPECT_EQ(QApplication::focusWidget(), FilterEdit());
  EXPECT_EQ(Names(), V{"docs\\guide.txt"});
  FilterEdit()->setText("docs");  // the folder is part of what is matched
  EXPECT_EQ(Names(), (V{"\\docs\\", "docs\\guide.txt", "docs\\sub\\", "docs\\sub\\n.txt"}));
  FilterEdit()->setText("*.TXT");
  EXPECT_EQ(Names(), (V{"\\more.txt", "\\readme.txt", "docs\\guide.txt", "docs\\sub\\n.txt"}));
  FilterEdit()->setText("?.txt");  // a pattern matches the whole name
  EXPECT_EQ(Names(), V{"docs\\sub\\n.txt"});
  FilterEdit()->setText("r*e.t?t");
  EXPECT_EQ(Names(), V{"\\readme.txt"});
  FilterEdit()->setText("nothing like it");
  EXPECT_EQ(Names(), V{});
  EXPECT_EQ(Panel(0) + Panel(1) + Panel(2), totals);  // the archive's totals, not the rows shown

  QTest::keyClick(FilterEdit(), Qt::Key_Escape);
  EXPECT_FALSE(FilterEdit()->isVisible());
  EXPECT_TRUE(FilterEdit()->text().isEmpty());
  EXPECT_EQ(Names().size(), 6u);
  EXPECT_EQ(QApplication::focusWidget(), List());
}

TEST_F(ExtrasTest, CommandsAndTheSummaryWorkOnTheRowsShown) {
  Open(MakeDemoArchive());
  Filter("txt");
  // Select All takes the rows shown; the names handed to the archiver are theirs.
  Action("Mainmenu_SelectAll")->trigger();
  EXPECT_EQ(window->SelectedMemberNames(), (V{"\\more.txt", "\\readme.txt", "docs\\guide.txt", "docs\\sub\\n.txt"}));
  EXPECT_EQ(Panel(3), "Selected 4 file(s); 5,013 bytes");

  // A narrower filter takes rows out of the selection, and the summary follows.
  FilterEdit()->setText("docs");
  EXPECT_EQ(window->SelectedMemberNames(), (V{"docs\\guide.txt", "docs\\sub\\n.txt"}));
  EXPECT_EQ(window->SelectedCount(), 2);
  EXPECT_EQ(Panel(3), "Selected 2 file(s); 5,002 bytes");

  // A click on a filtered row names that row; sorting keeps the filter.
  ClickRow(3);
  EXPECT_EQ(window->SelectedMemberNames(), V{"docs\\sub\\n.txt"});
  Action("BySize")->trigger();
  EXPECT_EQ(Names(), (V{"\\docs\\", "docs\\sub\\", "docs\\sub\\n.txt", "docs\\guide.txt"}));
  EXPECT_EQ(window->SelectedMemberNames(), V{"docs\\sub\\n.txt"});

  // Clearing the filter brings every row back; the selected row stays selected.
  QTest::keyClick(FilterEdit(), Qt::Key_Escape);
  EXPECT_EQ(Names().size(), 6u);
  EXPECT_EQ(window->SelectedMemberNames(), V{"docs\\sub\\n.txt"});
}

TEST_F(ExtrasTest, AListingAgainKeepsTheFilterAndAnotherArchiveEndsIt) {
  Open(MakeDemoArchive());
  Filter("more");
  ASSERT_TRUE(window->RefreshListing());
  EXPECT_EQ(Names(), V{"\\more.txt"});
  window->CloseArchive();
  EXPECT_FALSE(FilterEdit()->isVisible());
  ASSERT_TRUE(window->OpenArchive(files() + "/demo.j", false));
  EXPECT_EQ(Names().size(), 6u);
}

// ----- Open a member ------------------------------------------------------------------------

TEST_F(ExtrasTest, OpeningAMemberExtractsItPrivatelyAndASavedChangeGoesBackOnYes) {
  const std::string archive = MakeDemoArchive();
  Open(archive);
  RecordOpenedUrls();

  // Return on the row opens it; the folder is private and under the configured temporary folder.
  List()->setFocus();
  List()->setCurrentIndex(Model()->index(RowOf("docs\\guide.txt"), 0));
  QTest::keyClick(List(), Qt::Key_Return);
  ASSERT_EQ(opened.size(), 1u);
  const std::string file = opened[0].toLocalFile().toStdString();
  EXPECT_EQ(file.rfind(temp() + "/", 0), 0u) << file;
  EXPECT_EQ(file.substr(file.size() - 15), "/docs/guide.txt");
  EXPECT_EQ(Read(file), std::string(5000, 'g'));
  EXPECT_EQ(Mode(window->tempExtractions().root()), 0700u);
  EXPECT_EQ(Mode(fs::path(file).parent_path().parent_path().string()), 0700u);

  // Saved in place: asked, and Yes updates the member in the archive and lists again.
  prompter.expect(BoxKind::Confirmation,
                  "\"docs\\guide.txt\" was changed.\nPut it back into the archive \"" + archive + "\" ?",
                  platform::ButtonYes, platform::ButtonYes | platform::ButtonNo);
  Write(file, "edited\n");
  QTRY_VERIFY_WITH_TIMEOUT(prompter.calls().size() == 1, 10000);
  EXPECT_EQ(InArchive(archive, "docs\\guide.txt"), "edited\n");
  // The last chapter holds the new version; the first keeps the old one.
  V versions;
  for (int row = 0; row < Model()->rowCount(); ++row)
    if (Model()->MemberName(row) == "docs\\guide.txt")
      versions.push_back(std::string(Model()->Row(row).chapters) + " " + std::string(Model()->Row(row).size));
  std::sort(versions.begin(), versions.end());
  EXPECT_EQ(versions, (V{"<1-1> 5000", "<2-2> 7"}));
  EXPECT_EQ(InArchive(archive, "\\readme.txt"), "hello\n");  // the others as they were

  // An editor that writes a new file and renames it over the old one: noticed too; No keeps
  // the archive as it is.
  prompter.expect(BoxKind::Confirmation,
                  "\"docs\\guide.txt\" was changed.\nPut it back into the archive \"" + archive + "\" ?",
                  platform::ButtonNo);
  Write(file + ".new", "second edit\n");
  fs::rename(file + ".new", file);
  QTRY_VERIFY_WITH_TIMEOUT(prompter.calls().size() == 2, 10000);
  EXPECT_EQ(InArchive(archive, "docs\\guide.txt"), "edited\n");

  // Closing the archive removes what was taken out of it.
  window->CloseArchive();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(window->memberOpener()->watchedCount(), 0u);
}

TEST_F(ExtrasTest, ALockedArchiveOpensAMemberButNeverOffersToPutItBack) {
  const std::string src = home.path() + "/src";
  Write(src + "/a.txt", "locked in\n");
  const std::string archive = files() + "/locked.j";
  ASSERT_EQ(Jar("a '" + archive + "' a.txt -jl", src), 0);
  Open(archive);
  RecordOpenedUrls();
  ASSERT_TRUE(window->OpenMemberRow(0));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(window->memberOpener()->watchedCount(), 0u);
  Write(opened[0].toLocalFile().toStdString(), "changed\n");
  window->memberOpener()->CheckNow();  // no question (the prompter fails on any box)
  EXPECT_EQ(InArchive(archive, "\\a.txt"), "locked in\n");
}

TEST_F(ExtrasTest, FolderRowsAndAProtectedArchiveWithoutPasswordOpenNothing) {
  const std::string src = home.path() + "/src";
  Write(src + "/secret.txt", "only for us\n");
  const std::string archive = files() + "/secret.j";
  ASSERT_EQ(Jar("a '" + archive + "' secret.txt -gpass-word-1", src), 0);
  Open(archive);
  RecordOpenedUrls();
  ASSERT_TRUE(window->archiveProtected());

  // The password is asked before anything runs; cancelled, nothing is extracted.
  OnNextModal<TPWDialog>([](TPWDialog& dialog) { dialog.Button2->click(); });
  EXPECT_FALSE(window->OpenMemberRow(0));
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(window->tempExtractions().root().empty());

  // Given, the member opens with it.
  OnNextModal<TPWDialog>([](TPWDialog& dialog) {
    dialog.Edit1->setText("pass-word-1");
    dialog.Button1->click();
  });
  ASSERT_TRUE(window->OpenMemberRow(0));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(Read(opened[0].toLocalFile().toStdString()), "only for us\n");
}

// ----- Drag out -----------------------------------------------------------------------------

TEST_F(ExtrasTest, TheDragDataExtractsOnlyWhenAskedAndBringsFoldersWhole) {
  Open(MakeDemoArchive());
  SelectRows({RowOf("\\readme.txt"), RowOf("docs\\sub\\"), RowOf("docs\\sub\\n.txt")});
  std::unique_ptr<ExtractingMimeData> data(window->MakeDragData());
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->hasUrls());
  EXPECT_TRUE(data->hasFormat("x-special/gnome-copied-files"));
  EXPECT_FALSE(data->extracted());
  EXPECT_TRUE(window->tempExtractions().root().empty());  // a drag dropped nowhere costs nothing

  const QList<QUrl> urls = data->urls();
  ASSERT_TRUE(data->extracted());
  ASSERT_EQ(urls.size(), 2);  // the row inside the dragged folder comes with it
  const std::string readme = urls[0].toLocalFile().toStdString();
  const std::string sub = urls[1].toLocalFile().toStdString();
  EXPECT_EQ(readme.rfind(window->tempExtractions().root() + "/", 0), 0u);
  EXPECT_EQ(Read(readme), "hello\n");
  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_EQ(Read(sub + "/n.txt"), "x\n");
  const QByteArray gnome = data->data("x-special/gnome-copied-files");
  EXPECT_EQ(gnome, "copy\n" + urls[0].toEncoded() + "\n" + urls[1].toEncoded());
  EXPECT_EQ(data->data("text/uri-list"), urls[0].toEncoded() + "\r\n" + urls[1].toEncoded() + "\r\n");

  // Closing the archive removes the extraction.
  window->CloseArchive();
  EXPECT_FALSE(fs::exists(readme));
  EXPECT_TRUE(window->tempExtractions().root().empty());
}

TEST_F(ExtrasTest, NoDragWithoutSelectionOrWithoutThePasswordOfAProtectedArchive) {
  const std::string src = home.path() + "/src";
  Write(src + "/secret.txt", "only for us\n");
  const std::string archive = files() + "/secret.j";
  ASSERT_EQ(Jar("a '" + archive + "' secret.txt -gpass-word-1", src), 0);
  Open(archive);
  List()->clearSelection();
  EXPECT_EQ(window->MakeDragData(), nullptr);

  SelectRows({0});
  OnNextModal<TPWDialog>([](TPWDialog& dialog) { dialog.Button2->click(); });
  EXPECT_EQ(window->MakeDragData(), nullptr);

  OnNextModal<TPWDialog>([](TPWDialog& dialog) {
    dialog.Edit1->setText("pass-word-1");
    dialog.Button1->click();
  });
  std::unique_ptr<ExtractingMimeData> data(window->MakeDragData());
  ASSERT_NE(data, nullptr);
  const QList<QUrl> urls = data->urls();
  ASSERT_EQ(urls.size(), 1);
  EXPECT_EQ(Read(urls[0].toLocalFile().toStdString()), "only for us\n");
}

// While the archiver runs for the window, no drag leaves the list: a press and move on a selected
// row makes no drag data, and data made before the run extracts nothing when asked during it.
TEST_F(ExtrasTest, NoDragLeavesTheListWhileAJobRuns) {
  Open(MakeDemoArchive());
  SelectRows({RowOf("\\readme.txt")});
  std::unique_ptr<ExtractingMimeData> early(window->MakeDragData());
  ASSERT_NE(early, nullptr);
  int starts = 0;
  auto starter = List()->dragStarter;
  List()->dragStarter = [&starts, starter] {
    ++starts;
    starter();
  };
  auto send = [this](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, List()->viewport()->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(List()->viewport(), &event);
  };
  const QPoint at = List()->visualRect(Model()->index(RowOf("\\readme.txt"), 0)).center();

  bool checked = false;
  TJar& jar = window->jar();
  auto before = jar.onRunStart;
  jar.onRunStart = [&](TJar& job) {
    if (before) before(job);
    if (checked) return;
    checked = true;
    ASSERT_TRUE(window->operationRunning());
    EXPECT_EQ(window->MakeDragData(), nullptr);
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseMove, at + QPoint(4 * QApplication::startDragDistance(), 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_EQ(starts, 1) << "the list tried";
    EXPECT_TRUE(List()->findChildren<QDrag*>().isEmpty()) << "no drag started";
    EXPECT_TRUE(early->urls().isEmpty()) << "nothing extracted during the run";
  };
  prompter.expect(BoxKind::Information, "No errors detected !");
  Action("Mainmenu_Test")->trigger();
  prompter.verifyDone();
  ASSERT_TRUE(checked);
  EXPECT_TRUE(window->tempExtractions().root().empty());

  // Once the run is over a drag carries the file again.
  std::unique_ptr<ExtractingMimeData> later(window->MakeDragData());
  ASSERT_NE(later, nullptr);
  ASSERT_EQ(later->urls().size(), 1);
  EXPECT_EQ(Read(later->urls()[0].toLocalFile().toStdString()), "hello\n");
}

TEST_F(ExtrasTest, StaleExtractionsOfAProcessThatIsGoneAreClearedAtStart) {
  fs::create_directories(temp());
  // A pid that was used and is free again.
  QProcess done;
  done.start("true");
  ASSERT_TRUE(done.waitForFinished(10000));
  const long gone = static_cast<long>(done.processId());
  const std::string stale = temp() + "/tamber-extract-" + std::to_string(gone);
  const std::string reused = temp() + "/tamber-extract-" + std::to_string(::getppid());
  const std::string live = temp() + "/tamber-extract-1";
  for (const std::string& folder : {stale, reused, live}) {
    fs::create_directories(folder + "/1");
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
  }
  std::ofstream(stale + "/.owner") << gone << " 123\n";
  std::ofstream(reused + "/.owner") << ::getppid() << " 1\n";  // the pid now names another process
  std::ofstream(live + "/.owner") << TempExtractions::OwnerMarkOf(1) << "\n";
  const std::string other = temp() + "/unrelated";
  fs::create_directories(other);

  EXPECT_EQ(TempExtractions::ClearStale(temp()), 2);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(reused));
  EXPECT_TRUE(fs::exists(live));  // pid 1 runs with that start time
  EXPECT_TRUE(fs::exists(other));

  // The window clears them as it starts, from its configured temporary folder.
  fs::create_directories(stale);
  fs::permissions(stale, fs::perms::owner_all, fs::perm_options::replace);
  NotTheFirstRun();
  store.writeString(TConfig::kKey, "theTemporaryFolder", temp());
  Start();
  EXPECT_FALSE(fs::exists(stale));
}

TEST_F(ExtrasTest, EachProcessFolderIsPrivateAndGoesWithItsOwner) {
  fs::create_directories(temp());
  std::string root;
  {
    TempExtractions extractions;
    const std::string one = extractions.NewFolder(temp());
    const std::string two = extractions.NewFolder(temp());
    ASSERT_FALSE(one.empty());
    EXPECT_NE(one, two);
    root = extractions.root();
    EXPECT_EQ(root, temp() + "/tamber-extract-" + std::to_string(::getpid()));
    EXPECT_EQ(Mode(root), 0700u);
    EXPECT_EQ(Mode(one), 0700u);
    EXPECT_EQ(Read(root + "/.owner"), TempExtractions::OwnerMark() + "\n");
    EXPECT_EQ(TempExtractions::ClearStale(temp()), 0);  // its own folder is no stale one
  }
  EXPECT_FALSE(fs::exists(root));

  // A folder of that name that others may enter is not used.
  fs::create_directories(root);
  fs::permissions(root, fs::perms::all, fs::perm_options::replace);
  TempExtractions extractions;
  EXPECT_EQ(extractions.NewFolder(temp()), "");
  EXPECT_EQ(extractions.NewFolder(""), "");
}

}  // namespace
