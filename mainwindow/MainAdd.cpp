// Adding to the open archive or to a new one: the Add command, files pasted from the clipboard,
// files dropped on the window and files named on the command line all end in RunAdd.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <exception>

#include "dialogs/AddDialog1_unit.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/ClipboardFiles.h"
#include "mainwindow/CommentLines.h"
#include "mainwindow/ContentRules.h"
#include "mainwindow/LongPathName.h"
#include "mainwindow/Main_unit.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kDefaultSettings = "default.tbs";
constexpr size_t kNamesShown = 5;  // of the names left out, in the message

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

// Control characters of a name as "?" in a message, so the message stays one line per name.
std::string Shown(const std::string& name) {
  std::string text = name;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

}  // namespace

std::string TMain::DefaultAddFolder() const {
  return DefaultFolder(config_->addFolder, config_->lastAddFolder, config_->theAddFolder, config_->currentArchive);
}

bool TMain::CheckArchiveLocked() {
  if (jar_->archiveFlags.find("LOCKED") == std::string::npos) return false;
  services_.prompter.info("Archive is locked, cannot change contents !");
  return true;
}

bool TMain::KeepFitNames(std::vector<std::string>& names) {
  std::vector<std::string> unfit;
  std::erase_if(names, [&](const std::string& name) {
    if (!UnfitForArchiver(name)) return false;
    unfit.push_back(name);
    return true;
  });
  if (unfit.empty()) return true;
  std::string text = std::to_string(unfit.size()) +
                     " file(s) cannot be added: their names hold a character the archiver cannot take "
                     "(\", *, ?, \\ or a control character such as a line break):";
  for (size_t i = 0; i < unfit.size() && i < kNamesShown; ++i) text += "\n" + Shown(unfit[i]);
  if (unfit.size() > kNamesShown) text += "\n...";
  services_.prompter.error(text);
  return !names.empty();
}

bool TMain::RunAdd(bool filesGiven, const std::vector<std::string>& list, int count) {
  if (CheckArchiveLocked()) return false;
  if (!addDialog_) return false;
  jar_->ResetOptions();
  const std::string saved = config_->currentArchive;
  std::vector<std::string> comment;
  if (CopyArchiveComment(comment)) addDialog_->setArchiveComment(Joined(comment));
  addDialog_->setPassword(config_->password, !config_->password.empty());
  if (config_->loadDefaultAtStart && !defaultSettingsLoaded_) {
    if (!addDialog_->LoadSettings(platform::JoinPath(ProgramFolder(), kDefaultSettings)))
      services_.prompter.error("Couldn't load settings!");
    defaultSettingsLoaded_ = true;
  }

  std::vector<std::string> names(list.begin(), list.begin() + std::min<size_t>(list.size(), std::max(count, 0)));
  if (filesGiven && (names.empty() || !KeepFitNames(names))) return false;
  try {
    bool cancelled;
    if (!filesGiven) {
      jar_->archiveName = config_->currentArchive;
      cancelled = addDialog_->Execute(DefaultAddFolder(), {}, "", "", false);
    } else if (!config_->currentArchive.empty()) {
      cancelled = addDialog_->Execute("", names, platform::FolderPart(config_->currentArchive),
                                      config_->currentArchive, true);
    } else {
      const std::string folder = platform::FolderPart(names.front());
      cancelled = addDialog_->Execute("", names, folder, folder, true);
    }
    if (cancelled) return false;

    if (filesGiven) {
      // The proposed "Untitled" has no extension: the archive made from it is a ".j".
      SetCurrentArchive(WithArchiveExtension(addDialog_->targetArchive()));
      jar_->makeNamesAbsolute = false;
    } else {
      const std::string folder =
          addDialog_->fromCurrentFolder() ? config_->theTemporaryFolder : addDialog_->currentFolder();
      if (folder.empty()) {
        services_.prompter.error(
            "There is a problem getting the right directory, please try this operation again !");
        return false;
      }
    }
    jar_->archiveName = config_->currentArchive;
    jar_->Run(addDialog_->operation());
    config_->lastAddFolder = filesGiven ? addDialog_->fromDirectory() : addDialog_->currentFolder();
    return true;
  } catch (const JarFailure& failure) {
    if (!failure.text.empty()) services_.prompter.error(failure.text);
    if (filesGiven) SetCurrentArchive(saved);
    return false;
  }
}

void TMain::Mainmenu_AddClick() {
  if (operationRunning_) return;
  try {
    if (RunAdd(false, {}, 0)) OpenArchive(config_->currentArchive, false);
  } catch (const std::exception& failure) {
    services_.prompter.error(failure.what());
  }
  listView_->setFocus();
}

void TMain::Mainmenu_PasteFilesClick() {
  if (operationRunning_) return;
  try {
    jar_->ResetOptions();
    const std::string saved = config_->currentArchive;
    std::vector<std::string> files;
    int count = 0;
    if (!ClipboardFiles(services_.clipboard, files, count)) {
      services_.prompter.info("No file(s) to paste !");
      return;
    }
    if (!RunAdd(true, files, count)) return;
    if (RefreshListing()) {
      AddRecentAndRebuild(config_->currentArchive);
      RememberArchiveFolder(config_->currentArchive);
      RememberLastArchive(saved);
      EnableArchiveCommands(true);
    } else {
      CloseArchive();
    }
  } catch (...) {
    // A paste that fails ends here; the add flow has said what went wrong.
  }
}

void TMain::HandleCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return;
  try {
    if (arguments.size() == 1) {
      const std::string path = LongPathName(arguments.front());
      if (jar_->IsJarArchive(arguments.front())) {
        OpenArchive(path, true);
        return;
      }
    }
    std::vector<std::string> files;
    files.reserve(arguments.size());
    for (const std::string& argument : arguments) files.push_back(LongPathName(argument));
    if (!RunAdd(true, files, static_cast<int>(files.size()))) return;
    if (RefreshListing()) {
      AddRecentAndRebuild(config_->currentArchive);
      RememberArchiveFolder(config_->currentArchive);
      EnableArchiveCommands(true);
    } else {
      CloseArchive();
    }
  } catch (const std::exception& failure) {
    services_.prompter.error(failure.what());
    services_.prompter.error(std::string(failure.what()) + "\nin line: " + "1289");
  } catch (...) {
    services_.prompter.error("Cannot add/open \"dropped\" file(s) !");
  }
  listView_->setFocus();
}

void TMain::FileDrag1Drop(const std::vector<std::string>& paths) {
  if (operationRunning_) return;
  const std::string saved = config_->currentArchive;
  if (paths.empty()) return;
  try {
    if (paths.size() == 1 && jar_->IsJarArchive(paths.front())) {
      OpenArchive(paths.front(), true);
      return;
    }
    if (!RunAdd(true, paths, static_cast<int>(paths.size()))) return;
    SetCurrentArchive(WithArchiveExtension(config_->currentArchive));
    if (!OpenArchive(config_->currentArchive, false) && config_->currentArchive != saved) SetCurrentArchive(saved);
  } catch (const std::exception& failure) {
    services_.prompter.error(failure.what());
  }
}

// Dropping: refused while the archiver runs and before the first activation. The drop is taken
// from the event and handled once the event has returned, so that no dialog opens inside the
// drag and drop.
bool TMain::DropAllowed() const { return !operationRunning_ && !firstActivation_ && acceptDrops(); }

void TMain::ShowDropHint(bool on) {
  if (!on) {
    if (dropHint_) dropHint_->hide();
    return;
  }
  if (!dropHint_) {
    dropHint_ = new QLabel(listView_->viewport());
    dropHint_->setObjectName("DropHint");
    dropHint_->setAlignment(Qt::AlignCenter);
    dropHint_->setWordWrap(true);
    dropHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dropHint_->setStyleSheet("QLabel { border: 2px dashed palette(highlight); background: palette(base); padding: 8px; }");
  }
  dropHint_->setText(config_->currentArchive.empty()
                         ? "Drop an archive to open it, or files to add them to a new archive"
                         : "Drop files to add them to " +
                               QString::fromStdString(platform::FileNamePart(config_->currentArchive)));
  dropHint_->setGeometry(listView_->viewport()->rect().adjusted(6, 6, -6, -6));
  dropHint_->raise();
  dropHint_->show();
}

void TMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DropAllowed() || !event->mimeData()->hasFormat(kUriListFormat)) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  ShowDropHint(true);
}

void TMain::dragMoveEvent(QDragMoveEvent* event) {
  if (DropAllowed())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TMain::dragLeaveEvent(QDragLeaveEvent* event) {
  ShowDropHint(false);
  event->accept();
}

void TMain::dropEvent(QDropEvent* event) {
  ShowDropHint(false);
  if (!DropAllowed()) {
    event->ignore();
    return;
  }
  // The list as sent, else as the URLs Qt made of it (kept encoded, so that bytes stay bytes).
  QByteArray bytes = event->mimeData()->data(kUriListFormat);
  if (bytes.isEmpty())
    for (const QUrl& url : event->mimeData()->urls()) bytes += url.toEncoded() + "\r\n";
  DroppedFiles dropped = ParseUriList(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, dropped = std::move(dropped)] {
    if (!dropped.refused.empty()) {
      services_.prompter.error("Only files on this computer can be dropped here; this is none:\n" +
                               Shown(dropped.refused.front()));
      return;
    }
    FileDrag1Drop(dropped.paths);
  });
}
