#include "config/Association.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "config/AssociationFiles.h"
#include "config/ShippedIcons.h"
#include "platform/ChildProcess.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "";
}

// An XDG base folder: the variable when it holds an absolute path, else the folder under home.
std::string BaseFolder(const char* variable, const char* underHome) {
  if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
  const std::string home = HomeFolder();
  return home.empty() ? "" : platform::JoinPath(home, underHome);
}

enum class ReadResult { Read, Missing, Unreadable };

ReadResult ReadFile(const std::string& path, std::string& content) {
  content.clear();
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return ReadResult::Missing;
  if (ec || status.type() != fs::file_type::regular) return ReadResult::Unreadable;
  return platform::ReadWholeFile(path, content) ? ReadResult::Read : ReadResult::Unreadable;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

// Replaces the file as a whole (a temporary file in the same folder, flushed, then renamed over it),
// so that a crash never leaves half a file. A link is followed: the file it names is replaced.
// An existing file keeps its permissions.
bool WriteFileAtomically(std::string path, const std::string& content) {
  std::error_code ec;
  if (fs::is_symlink(path, ec)) {
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec) return false;
    path = target.string();
  }
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) return false;
  mode_t mode = 0644;
  struct stat old;
  if (::stat(path.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) return false;
    mode = old.st_mode & 07777;
  }
  const fs::path target(path);
  std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  for (size_t done = 0; ok && done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

// True when the file is gone afterwards.
bool RemoveFile(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
  return !ec && !Exists(path);
}

// Runs one of the desktop's cache tools on a folder, where the tool is installed. Its outcome does
// not change ours: without the cache the desktop still reads the files, only later.
void RunCacheTool(const char* tool, const std::string& folder) {
  if (!platform::IsFolder(folder)) return;
  const std::string program = platform::FindProgram(tool);
  if (program.empty()) return;
  const int quiet = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  platform::ChildSpec spec;
  spec.program = program;
  spec.arguments = {folder};
  spec.inputFd = spec.outputFd = spec.errorFd = quiet;
  platform::ChildProcess child;
  std::string reason;
  if (child.Start(spec, reason)) child.Wait(60000);  // a tool still running then is ended with its object
  if (quiet >= 0) ::close(quiet);
}

// The pieces of the registration, each true when it went as wanted.
bool SetTypeOfJFiles(const DesktopPlaces& places) {
  return WriteFileAtomically(places.MimePackagePath(), association::MimePackageText());
}

bool RemoveTypeOfJFiles(const DesktopPlaces& places) { return RemoveFile(places.MimePackagePath()); }

// The default application line: ours, or (with nothing given) none, whoever set it.
bool SetDefaultApplication(const DesktopPlaces& places, const char* desktopId) {
  std::string list;
  switch (ReadFile(places.MimeAppsListPath(), list)) {
    case ReadResult::Unreadable: return false;  // rewriting it would lose what others keep there
    case ReadResult::Missing:
      if (!desktopId) return true;
      break;
    case ReadResult::Read: break;
  }
  const std::string changed = desktopId ? association::WithDefaultApplication(list, association::kMimeType, desktopId)
                                        : association::WithoutDefaultApplication(list, association::kMimeType);
  return changed == list || WriteFileAtomically(places.MimeAppsListPath(), changed);
}

bool WriteDesktopEntry(const DesktopPlaces& places) {
  return WriteFileAtomically(places.DesktopEntryPath(), association::DesktopEntryText(places.programPath));
}

std::string IconPath(const DesktopPlaces& places, const association::ShippedIcon& icon) {
  return places.IconThemeFolder() + "/" + icon.sizeFolder + "/apps/" + icon.fileName;
}

bool InstallIcons(const DesktopPlaces& places) {
  bool ok = true;
  for (const association::ShippedIcon& icon : association::ShippedIcons()) {
    std::string present;
    const std::string path = IconPath(places, icon);
    if (ReadFile(path, present) == ReadResult::Read && present == icon.bytes) continue;
    ok = WriteFileAtomically(path, std::string(icon.bytes)) && ok;
  }
  return ok;
}

bool RemoveIcons(const DesktopPlaces& places) {
  bool ok = true;
  for (const association::ShippedIcon& icon : association::ShippedIcons()) ok = RemoveFile(IconPath(places, icon)) && ok;
  return ok;
}

// One pass over every piece; false when any piece failed.
bool AssociateOnce(const DesktopPlaces& places, bool associateToJ) {
  if (places.dataHome.empty() || places.configHome.empty())
    throw std::runtime_error("no home folder for the desktop's files");
  if (associateToJ && !association::IsUsableProgramPath(places.programPath))
    throw std::runtime_error("the program's path cannot be written into a desktop entry");
  bool ok = true;
  if (associateToJ) {
    ok = SetTypeOfJFiles(places) && ok;
    ok = SetDefaultApplication(places, association::kDesktopId) && ok;
    ok = WriteDesktopEntry(places) && ok;
    ok = InstallIcons(places) && ok;
  } else {
    ok = RemoveTypeOfJFiles(places) && ok;
    ok = SetDefaultApplication(places, nullptr) && ok;
    ok = RemoveFile(places.DesktopEntryPath()) && ok;
    ok = RemoveIcons(places) && ok;
  }
  RunCacheTool("update-mime-database", places.MimeDatabaseFolder());
  RunCacheTool("update-desktop-database", places.ApplicationsFolder());
  return ok;
}

bool RegistrationMatches(const DesktopPlaces& places, bool associateToJ) {
  if (places.dataHome.empty() || places.configHome.empty())
    throw std::runtime_error("no home folder for the desktop's files");
  bool mismatch = false;
  std::string text;

  // The ".j" side: the type of *.j files and its default application.
  const ReadResult package = ReadFile(places.MimePackagePath(), text);
  const bool packageOk = package == ReadResult::Read && text == association::MimePackageText();
  std::optional<std::string> defaultApp;
  const ReadResult list = ReadFile(places.MimeAppsListPath(), text);
  if (list == ReadResult::Read) defaultApp = association::DefaultApplication(text, association::kMimeType);
  if (associateToJ)
    mismatch = !packageOk || defaultApp != association::kDesktopId;
  else
    mismatch = package != ReadResult::Missing || list == ReadResult::Unreadable || defaultApp.has_value();

  // The class side: the desktop entry with an icon (any) and the command of this program.
  switch (ReadFile(places.DesktopEntryPath(), text)) {
    case ReadResult::Missing:
      if (associateToJ) mismatch = true;
      break;
    case ReadResult::Unreadable: mismatch = true; break;
    case ReadResult::Read:
      if (!association::DesktopEntryValue(text, "Icon") ||
          association::DesktopEntryValue(text, "Exec") != association::DesktopExecValue(places.programPath))
        mismatch = true;
      break;
  }
  return !mismatch;
}

}  // namespace

DesktopPlaces DesktopPlaces::OfThisSession() {
  return {BaseFolder("XDG_DATA_HOME", ".local/share"), BaseFolder("XDG_CONFIG_HOME", ".config"),
          platform::RunningProgramPath()};
}

std::string DesktopPlaces::MimeDatabaseFolder() const { return dataHome + "/mime"; }
std::string DesktopPlaces::MimePackagePath() const {
  return MimeDatabaseFolder() + "/packages/" + association::kMimePackageFile;
}
std::string DesktopPlaces::ApplicationsFolder() const { return dataHome + "/applications"; }
std::string DesktopPlaces::DesktopEntryPath() const { return ApplicationsFolder() + "/" + association::kDesktopId; }
std::string DesktopPlaces::MimeAppsListPath() const { return configHome + "/mimeapps.list"; }
std::string DesktopPlaces::IconThemeFolder() const { return dataHome + "/icons/hicolor"; }

namespace association {

bool AssociationOk(const DesktopPlaces& places, bool associateToJ, bool checkAssociations,
                   platform::Prompter& prompter) {
  if (!checkAssociations) return true;
  try {
    return RegistrationMatches(places, associateToJ);
  } catch (const std::exception&) {
    prompter.error(kCheckFailedMessage);
    return true;
  }
}

void Associate(const DesktopPlaces& places, bool associateToJ, platform::Prompter& prompter) {
  try {
    while (!AssociateOnce(places, associateToJ))
      if (prompter.ask(platform::BoxKind::Error, kRetryMessage, platform::ButtonRetry | platform::ButtonCancel) !=
          platform::ButtonRetry)
        return;
  } catch (const std::exception&) {
    prompter.error(kAssociateFailedMessage);
  }
}

}  // namespace association
