// The program's entry: the application, the main window, the message loop. Anything that escapes
// them is shown before the program ends.

#include <sys/stat.h>

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "dialogs/AddDialog1_unit.h"
#include "driver/AppTitle.h"
#include "mainwindow/ArchiveChooser.h"
#include "mainwindow/Main_unit.h"
#include "platform/qt/FileOperationWindow.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtFileChooser.h"
#include "platform/qt/QtPrompter.h"

namespace {

constexpr const char* kFatal = "This is a very, very fatal error.\nResistance is futile ;-)\n";

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Where the window system is not there at all, say so in one line instead of Qt's abort.
bool DisplayReachable(std::string& why) {
  if (Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY")) return true;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    why = "no display: DISPLAY and WAYLAND_DISPLAY are not set (start Tamber inside a desktop session)";
    return false;
  }
  // ":N" or ":N.S" is the local server's socket.
  if (display[0] == ':') {
    std::string number(display + 1);
    number = number.substr(0, number.find('.'));
    const std::string socket = "/tmp/.X11-unix/X" + number;
    struct stat st;
    if (::stat(socket.c_str(), &st) != 0) {
      why = std::string("no display: no X server answers on DISPLAY=") + display;
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (!DisplayReachable(why)) {
    std::fprintf(stderr, "tamber: %s\n", why.c_str());
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("tamber");
  QApplication::setApplicationVersion("2.23");
  QApplication::setWindowIcon(ProgramIcon());
  // Outside a desktop session no icon theme is chosen; the folder and toolbar icons come from Adwaita.
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") QIcon::setThemeName("Adwaita");
  platform::QtPrompter prompter(QString::fromUtf8(kAppTitle));
  try {
    platform::SettingsStore store(platform::SettingsStore::DefaultFilePath());
    platform::QtFileChooser chooser;
    ArchiveChooser archiveChooser;
    platform::QtClipboard clipboard;
    platform::QtShellFileOperations fileOperations;
    // The arguments as bytes: a file name need not be valid text.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    TMain main(MainServices{store, prompter, archiveChooser, clipboard, fileOperations, arguments,
                            DesktopPlaces::OfThisSession()});
    fileOperations.SetOwner(&main);
    TAddDialog1 addDialog(main.config(), prompter, chooser, &main);
    main.SetAddDialog(&addDialog);
    main.show();
    return QApplication::exec();
  } catch (const std::exception& failure) {
    prompter.error(std::string(kFatal) + failure.what());
  } catch (...) {
    prompter.error(kFatal);
  }
  return 1;
}
