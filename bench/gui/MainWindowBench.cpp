// Figures of the main window on real archives made by jar32.exe (nothing here passes or fails):
//
//   bench_main_window tree FOLDER COUNT
//       makes a tree of COUNT files in folders of varied depth, with names of realistic length
//   bench_main_window filter COUNT
//       fills the window's list with COUNT generated rows (no archive) and prints the time of each
//       keystroke in the filter box, until the rows are painted
//   bench_main_window window ARCHIVE [--long-add FILE] [--compare-7z ARCHIVE.7z]
//       opens ARCHIVE in the window and prints: open until the rows are painted against
//       `jar32.exe l` alone (and `7zz l` of the same files), sorting, reversing, Select All,
//       scrolling, the resident memory; with --long-add, how fast the event loop answers while
//       jar32.exe adds FILE, and how soon the cancel question appears after a click.
//       With --extract-selected, Extract of every row selected (the file list written in one pass,
//       the event loop while jar32.exe extracts); with --delete-selected N, Delete of the first N rows
//       of a copy of ARCHIVE.
//
// The platform is Qt's (QT_QPA_PLATFORM=offscreen, or xcb with DISPLAY under Xvfb).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"
#include "platform/qt/FileOperationWindow.h"
#include "platform/qt/QtPrompter.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// One figure with its goal: "open: 1.234 s (goal <= 1.30 x: ratio 0.95, met)".
void Figure(const std::string& what, double value, const char* unit, double goal) {
  const double ratio = value / goal;
  std::printf("  %-44s %10.3f %-3s goal %-8.3g ratio %5.2f  %s\n", what.c_str(), value, unit, goal, ratio,
              ratio <= 1.0 ? "met" : "NOT MET");
}
void Info(const std::string& what, double value, const char* unit) {
  std::printf("  %-44s %10.3f %s\n", what.c_str(), value, unit);
}

long ResidentKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return -1;
}

// CPU seconds of this process (all its threads, none of its children).
double CpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  if (values.empty()) return 0;
  return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

// The median wall time of a shell command, its output thrown away.
double TimeCommand(const std::string& command, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0) return -1;
    times.push_back(Seconds(start));
  }
  return Median(times);
}

// Messages go to the terminal; the cancel question is a real box, answered Yes.
class BenchPrompter : public platform::Prompter {
 public:
  void error(const std::string& text) override { std::cerr << "error box: " << text << "\n"; }
  void info(const std::string& text) override { std::cerr << "info box: " << text << "\n"; }
  void plain(const std::string& text) override { std::cerr << "box: " << text << "\n"; }
  platform::Button ask(platform::BoxKind kind, const std::string& text, unsigned buttons) override {
    return real_.ask(kind, text, buttons);
  }

 private:
  platform::QtPrompter real_{"Tamber 2.23"};
};

class NoChooser : public platform::FileChooser {
 public:
  std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> saveFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> folder(const std::string&, const std::string&, bool) override { return std::nullopt; }
};

class NoClipboard : public platform::Clipboard {
 public:
  std::vector<std::string> formats() const override { return {}; }
  std::string data(const std::string&) const override { return {}; }
  void setText(const std::string&) override {}
};

// Tells when a widget has been painted.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  // Processes events until the widget has painted (at most 30 s).
  void Wait() {
    painted_ = false;
    widget_->update();
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!painted_ && Clock::now() < deadline) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted_ = true;
    return false;
  }

 private:
  QWidget* widget_;
  bool painted_ = false;
};

// Answers the cancel question with Yes when it shows, noting when that was.
class QuestionWatch : public QObject {
 public:
  QuestionWatch() { qApp->installEventFilter(this); }
  ~QuestionWatch() override { qApp->removeEventFilter(this); }
  Clock::time_point shown{};
  bool seen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || seen) return false;
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (!box) return false;
    seen = true;
    shown = Clock::now();
    QTimer::singleShot(300, box, [box] {
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
    });
    return false;
  }
};

int MakeTree(const std::string& root, long count) {
  static const char* const kWords[] = {"project", "report",  "backup",  "source",   "documents", "images",
                                       "data",    "Final",   "draft",   "notes",    "build",     "test",
                                       "Budget",  "photo",   "invoice", "letter",   "music",     "video",
                                       "archive", "config",  "old copy", "Sommer",  "meeting",   "module",
                                       "readme",  "holiday", "scan",    "contract", "thesis",    "chapter"};
  static const char* const kExtensions[] = {".txt", ".cpp", ".h",   ".jpg",  ".pdf", ".docx", ".xlsx", ".png",
                                            ".mp3", ".zip", ".json", ".md", "",     ".html", ".log",  ".csv"};
  std::mt19937_64 random(20261208);
  auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
  auto word = [&] { return std::string(kWords[pick(std::size(kWords))]); };
  const std::string text(65536, 'x');
  long made = 0;
  // Folders of depth 1 to 5, about fifty files each.
  while (made < count) {
    std::string folder = root;
    const size_t depth = 1 + pick(5);
    for (size_t d = 0; d < depth; ++d) folder += "/" + word() + (pick(2) ? " " + std::to_string(pick(40)) : "");
    fs::create_directories(folder);
    const long files = std::min<long>(count - made, 20 + static_cast<long>(pick(60)));
    for (long i = 0; i < files; ++i, ++made) {
      std::string name = word();
      if (pick(3) == 0) name += " " + word();
      name += "_" + std::to_string(made) + kExtensions[pick(std::size(kExtensions))];
      // Mostly small files, some larger ones.
      const size_t size = pick(10) == 0 ? pick(text.size()) : pick(600);
      std::ofstream(folder + "/" + name, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
    }
  }
  std::printf("made %ld files under %s\n", made, root.c_str());
  return 0;
}

// Typing into the filter box, a keystroke at a time, each one painted; then patterns and Escape.
void FilterKeystrokes(TMain& main, PaintWatch& painted) {
  auto* edit = main.findChild<QLineEdit*>("FilterEdit");
  auto* model = main.findChild<ArchiveListModel*>();
  main.ShowFilter();
  std::vector<double> times;
  auto key = [&](const QString& text, bool print) {
    const auto begin = Clock::now();
    edit->setText(text);
    painted.Wait();
    const double ms = Seconds(begin) * 1000;
    times.push_back(ms);
    if (print)
      std::printf("  filter %-20s %8.1f ms  %9d rows\n", ("\"" + text.toStdString() + "\"").c_str(), ms, model->rowCount());
  };
  for (const char* text : {"r", "re", "rep", "repo", "report", "report ", "report m", "report", "rep", "", "S",
                              "Su", "Sum", "Summer", "*.pdf", "*2*.pdf", "rep?rt*", "", "zzzz", ""})
    key(text, true);
  Figure("filter keystroke, worst", *std::max_element(times.begin(), times.end()), "ms", 100);
  Figure("filter keystroke, median", Median(times), "ms", 100);
  const auto begin = Clock::now();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  edit->setText("report");
  painted.Wait();
  QCoreApplication::sendEvent(edit, &escape);
  painted.Wait();
  Info("filter \"report\", then Escape", Seconds(begin) * 1000, "ms");
}

// The window's list filled with generated rows, as a listing would fill it.
int Filter(int argc, char** argv) {
  const long count = std::stol(argv[2]);
  char folderPattern[] = "/tmp/tamber-bench-filter-XXXXXX";
  const std::string home = ::mkdtemp(folderPattern);
  ::setenv("TAMBER_CONFIG_HOME", home.c_str(), 1);
  QApplication application(argc, argv);
  std::printf("== %ld generated rows on the %s platform\n", count, QGuiApplication::platformName().toUtf8().constData());
  platform::SettingsStore store(home + "/registry.reg");
  store.createKey(TMain::kSettingsKey);
  BenchPrompter prompter;
  NoChooser chooser;
  NoClipboard clipboard;
  platform::QtShellFileOperations operations;
  TMain main(MainServices{store, prompter, chooser, clipboard, operations, {}});
  main.resize(900, 700);
  main.show();
  main.FormActivate();
  QCoreApplication::processEvents();
  auto* list = main.findChild<ArchiveListView*>("ListView");
  auto* model = main.findChild<ArchiveListModel*>();
  PaintWatch painted(list->viewport());

  static const char* const kWords[] = {"project", "report", "backup", "source", "documents", "images", "data",
                                       "Final", "draft", "notes", "build", "test", "Budget", "photo", "invoice",
                                       "letter", "music", "video", "archive", "config", "old copy", "Sommer",
                                       "meeting", "module", "readme", "holiday", "scan", "contract", "thesis"};
  static const char* const kExtensions[] = {".txt", ".cpp", ".h", ".jpg", ".pdf", ".docx", ".png", ".md", ""};
  std::mt19937_64 random(20261208);
  auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
  model->BeginUpdate();
  model->Clear();
  std::string path, name, size;
  for (long made = 0; made < count;) {
    path.clear();
    for (size_t d = 0, depth = 1 + pick(5); d < depth; ++d) path += std::string(kWords[pick(std::size(kWords))]) + "\\";
    for (long i = 0, files = 20 + static_cast<long>(pick(60)); i < files && made < count; ++i, ++made) {
      name = std::string(kWords[pick(std::size(kWords))]) + "_" + std::to_string(made) + kExtensions[pick(std::size(kExtensions))];
      size = std::to_string(pick(600));
      ArchiveEntryRow row;
      row.caption = name;
      row.size = size;
      row.attributes = "A---";
      row.path = path;
      row.chapters = "1";
      row.modified = "2026-12-08 12:00:00";
      model->AddRow(row);
    }
  }
  model->EndUpdate();
  painted.Wait();
  Info("rows", model->rowCount(), "");
  main.Mainmenu_SelectAllClick();  // the selection is kept on the rows that stay
  painted.Wait();
  FilterKeystrokes(main, painted);
  main.Mainmenu_DeselectAllClick();
  painted.Wait();
  std::printf("  without a selection:\n");
  FilterKeystrokes(main, painted);
  main.close();
  fs::remove_all(home);
  return 0;
}

// --- Extract and Delete of many selected rows through the window's commands. ---

// How late a timer firing every millisecond comes while the archiver runs: how long the event loop
// did not answer.
class LoopProbe {
 public:
  explicit LoopProbe(TMain& main) : main_(main) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const auto now = Clock::now();
      if (!main_.operationRunning()) {
        previous_ = {};
        return;
      }
      if (previous_ != Clock::time_point{})
        late.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - previous_).count() - 1.0));
      previous_ = now;
    });
    timer_.start();
  }
  std::vector<double> late;

 private:
  TMain& main_;
  QTimer timer_;
  Clock::time_point previous_{};
};

// Presses the button of the next dialog of a type once it shows, after set-up.
template <typename Dialog>
void PressWhenShown(const char* button, std::function<void(Dialog&)> setUp) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, button, setUp] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    timer->deleteLater();
    timer->stop();
    setUp(*dialog);
    dialog->template findChild<QPushButton*>(button)->click();
  });
  timer->start(5);
}

void SelectFirstRows(TMain& main, int rows) {
  auto* list = main.findChild<ArchiveListView*>("ListView");
  auto* model = main.findChild<ArchiveListModel*>();
  rows = std::min(rows, model->rowCount());
  list->selectionModel()->select(
      QItemSelection(model->index(0, 0), model->index(rows - 1, ArchiveListModel::kColumnCount - 1)),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The names of the selected rows into the job's file list and the file list written.
void TimeFileList(TMain& main, int operation) {
  TJar& jar = main.jar();
  const auto begin = Clock::now();
  const std::vector<std::string> names = main.SelectedMemberNames();
  const double gathered = Seconds(begin);
  jar.ResetOptions();
  jar.makeNamesAbsolute = false;
  jar.fileList = names;
  jar.archiveName = main.config().currentArchive;
  jar.BuildArguments(operation);
  Info("  names of the selected rows gathered", gathered, "s");
  Figure("file list of " + std::to_string(names.size()) + " selected rows written", Seconds(begin), "s", 1.0);
  Info("  size of the file list", static_cast<double>(platform::FileSizeOf(jar.filesFile)) / 1e6, "MB");
  jar.ResetOptions();
}

void ReportLoop(const char* what, const LoopProbe& probe, double seconds) {
  Info(std::string(what) + " ran", seconds, "s");
  Info("  event-loop probe firings while it ran", static_cast<double>(probe.late.size()), "");
  Figure(std::string("  event loop answers while it runs, 99th pct"), Percentile(probe.late, 0.99), "ms", 5);
  Info("  event loop answers, worst", Percentile(probe.late, 1.0), "ms");
}

void ExtractSelected(TMain& main, const std::string& home) {
  // Listed again as the window lists (the figures above read the listing into the rows alone).
  if (!main.OpenArchive(main.config().currentArchive, false)) return;
  main.Mainmenu_SelectAllClick();
  std::printf("-- Extract of %d selected rows\n", main.SelectedCount());
  TimeFileList(main, opExtractWithFolders);
  const std::string out = home + "/extracted";
  fs::create_directories(out);
  PressWhenShown<TExtractDialog>("Button2", [&](TExtractDialog& dialog) {
    dialog.findChild<QRadioButton*>("SelectedFiles")->setChecked(true);
    dialog.findChild<QLineEdit*>("FileBox")->setText(QString::fromStdString(out));
  });
  LoopProbe probe(main);
  const auto begin = Clock::now();
  main.Mainmenu_ExtractClick();
  ReportLoop("extract", probe, Seconds(begin));
  fs::remove_all(out);
}

void DeleteSelected(TMain& main, const std::string& home, const std::string& archive, int rows) {
  const std::string copy = home + "/delete-copy.j";
  fs::copy_file(archive, copy, fs::copy_options::overwrite_existing);
  if (!main.OpenArchive(copy, false)) return;
  SelectFirstRows(main, rows);
  std::printf("-- Delete of %d selected rows (of %d)\n", main.SelectedCount(),
              main.findChild<ArchiveListModel*>()->rowCount());
  TimeFileList(main, opDelete);
  PressWhenShown<TDeleteDialog>("OKBtn", [](TDeleteDialog& dialog) {
    dialog.findChild<QRadioButton*>("SelectedFiles")->setChecked(true);
  });
  LoopProbe probe(main);
  const auto begin = Clock::now();
  main.Mainmenu_DeleteClick();
  ReportLoop("delete with the listing after it", probe, Seconds(begin));
  Info("  rows left", main.findChild<ArchiveListModel*>()->rowCount(), "");
  fs::remove(copy);
}
// --- end of Extract and Delete ---

int Window(int argc, char** argv) {
  const std::string archive = fs::absolute(argv[2]).string();
  std::string longAdd, sevenZip;
  bool extractSelected = false;
  int deleteRows = 0;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) == "--extract-selected") extractSelected = true;
    if (i + 1 >= argc) break;
    if (std::string(argv[i]) == "--long-add") longAdd = argv[++i];
    else if (std::string(argv[i]) == "--compare-7z") sevenZip = argv[++i];
    else if (std::string(argv[i]) == "--delete-selected") deleteRows = std::stoi(argv[++i]);
  }
  const std::string jar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";
  char folderPattern[] = "/tmp/tamber-bench-window-XXXXXX";
  const std::string home = ::mkdtemp(folderPattern);
  ::setenv("TAMBER_CONFIG_HOME", home.c_str(), 1);

  QApplication application(argc, argv);
  std::printf("== %s on the %s platform\n", fs::path(archive).filename().c_str(),
              QGuiApplication::platformName().toUtf8().constData());

  // The archiver alone first, so the file is in the page cache for both.
  const std::string listCommand = "'" + jar32 + "' l -jb1- '" + archive + "'";
  TimeCommand(listCommand, 1);
  const double jarAlone = TimeCommand(listCommand, 5);

  platform::SettingsStore store(home + "/registry.reg");
  store.createKey(TMain::kSettingsKey);
  BenchPrompter prompter;
  NoChooser chooser;
  NoClipboard clipboard;
  platform::QtShellFileOperations operations;
  TMain main(MainServices{store, prompter, chooser, clipboard, operations, {}});
  main.config().theJar32Exe = jar32;
  main.jar().tempFolder = home + "/";
  main.resize(900, 700);
  main.show();
  main.FormActivate();
  QCoreApplication::processEvents();
  auto* list = main.findChild<ArchiveListView*>("ListView");
  auto* model = main.findChild<ArchiveListModel*>();
  PaintWatch painted(list->viewport());

  auto start = Clock::now();
  const double openCpu = CpuSeconds();
  if (!main.OpenArchive(archive, false)) {
    std::printf("cannot open %s\n", archive.c_str());
    return 1;
  }
  painted.Wait();
  const double open = Seconds(start);
  const double windowCpu = CpuSeconds() - openCpu;
  const int rows = model->rowCount();
  Info("rows", rows, "");
  Info("jar32.exe l -jb1- alone (median of 5)", jarAlone, "s");
  Figure("open until the rows are painted, / jar32 l", open / jarAlone, "x", 1.3);
  Info("open until the rows are painted", open, "s");
  Info("the window's share (open - jar32 l)", open - jarAlone, "s");
  Figure("the window's own CPU time, / jar32 l", windowCpu / jarAlone, "x", 0.3);
  if (!sevenZip.empty()) {
    const double seven = TimeCommand("7zz l '" + sevenZip + "'", 5);
    if (seven > 0) Figure("open, / 7zz l of the same files", open / seven, "x", 1.0);
  }

  // Where the time goes: the listing run as the window makes it, and reading its output again.
  {
    TJar& jar = main.jar();
    const auto run = Clock::now();
    jar.ResetOptions();
    jar.archiveName = archive;
    jar.Run(opList);
    Info("  of which: the listing run with its parse", Seconds(run), "s");
    const auto parse = Clock::now();
    jar.OpenOutputFile();
    Info("  of which: reading the listing into the rows", Seconds(parse), "s");
    painted.Wait();
  }

  // Wall time until painted; the CPU time beside it does not count waiting for a busy machine.
  auto timed = [&](const char* what, double goal, auto action) {
    const auto begin = Clock::now();
    const double cpu = CpuSeconds();
    action();
    painted.Wait();
    Figure(what, Seconds(begin), "s", goal);
    Info(std::string("  CPU time of it"), CpuSeconds() - cpu, "s");
  };
  timed("sort by name", 0.5, [&] { main.ByNameClick(); });
  timed("reverse (by name again)", 0.1, [&] { main.ByNameClick(); });
  timed("sort by size", 0.3, [&] { main.BySizeClick(); });

  // A page down at a time, each frame painted at once.
  std::vector<double> frames;
  QScrollBar* bar = list->verticalScrollBar();
  for (int i = 0; i < 200 && bar->value() < bar->maximum(); ++i) {
    const auto begin = Clock::now();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    list->viewport()->repaint();
    frames.push_back(Seconds(begin) * 1000);
  }
  Figure("scroll a page, median frame", Median(frames), "ms", 16);
  Figure("scroll a page, 99th percentile frame", Percentile(frames, 0.99), "ms", 16);

  timed("Select All with its summary", 0.2, [&] { main.Mainmenu_SelectAllClick(); });
  std::printf("  summary: %s\n", main.findChild<QLabel*>("StatusBar1Panel3")->text().toUtf8().constData());
  Figure("resident memory of the program", ResidentKb("VmRSS:") / 1024.0, "MB", 300);
  Info("peak resident memory", ResidentKb("VmHWM:") / 1024.0, "MB");
  Info("memory of the rows (store and order)", static_cast<double>(model->MemoryBytes()) / 1e6, "MB");
  FilterKeystrokes(main, painted);

  if (!longAdd.empty()) {
    main.Mainmenu_DeselectAllClick();
    TJar& jar = main.jar();
    jar.ResetOptions();
    jar.archiveName = home + "/long.j";
    jar.sourceFolder = fs::path(longAdd).parent_path().string();
    jar.fileList = {fs::path(longAdd).filename().string()};
    jar.compressionMethod = 4;
    // A timer every millisecond: how late each firing comes is how long the loop did not answer.
    std::vector<double> late;
    Clock::time_point previous{};
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const auto now = Clock::now();
      if (previous != Clock::time_point{})
        late.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - previous).count() - 1.0));
      previous = now;
    });
    QuestionWatch question;
    Clock::time_point clicked{};
    std::vector<double> beforeClick;
    QTimer::singleShot(3000, &main, [&] {
      beforeClick = late;
      QStatusBar* status = main.statusBar();
      const QPointF at(status->width() / 2.0, status->height() / 2.0);
      clicked = Clock::now();
      QMouseEvent press(QEvent::MouseButtonPress, at, status->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
      QMouseEvent release(QEvent::MouseButtonRelease, at, status->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
      QApplication::sendEvent(status, &press);
      QApplication::sendEvent(status, &release);
    });
    probe.start();
    const auto begin = Clock::now();
    try {
      jar.Run(opAdd);
    } catch (const JarFailure&) {
      // Cancelled, as intended.
    }
    probe.stop();
    Info("long add ran until cancelled", Seconds(begin), "s");
    Info("event-loop probe firings before the click", static_cast<double>(beforeClick.size()), "");
    Figure("event loop answers, 99th percentile", Percentile(beforeClick, 0.99), "ms", 5);
    Info("event loop answers, worst", Percentile(beforeClick, 1.0), "ms");
    if (question.seen)
      Figure("cancel question after the click",
             std::chrono::duration<double, std::milli>(question.shown - clicked).count(), "ms", 100);
    else
      std::printf("  the cancel question did not appear\n");
  }
  if (extractSelected) ExtractSelected(main, home);
  if (deleteRows > 0) DeleteSelected(main, home, archive, deleteRows);
  main.close();
  fs::remove_all(home);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "tree") return MakeTree(argv[2], std::stol(argv[3]));
  if (argc >= 3 && std::string(argv[1]) == "window") return Window(argc, argv);
  if (argc >= 3 && std::string(argv[1]) == "filter") return Filter(argc, argv);
  std::fprintf(stderr, "usage: %s tree FOLDER COUNT | filter COUNT | window ARCHIVE [--long-add FILE] [--compare-7z FILE] [--extract-selected] [--delete-selected N]\n", argv[0]);
  return 2;
}
