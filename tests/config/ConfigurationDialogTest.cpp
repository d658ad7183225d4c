#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "config/BrowseEdit.h"
#include "config/Config_unit.h"
#include "config/RadioGroup.h"
#include "platform/Files.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/ModalDriver.h"

using platform::BoxKind;
using testsupport::PlainBox;

namespace {

template <typename T>
T* Find(QWidget& dialog, const char* name) {
  T* widget = dialog.findChild<T*>(name);
  if (!widget) ADD_FAILURE() << "no control " << name;
  return widget;
}

QStringList Items(RadioGroup* group) {
  QStringList items;
  for (int i = 0; i < group->count(); ++i) items << group->item(i)->text();
  return items;
}

class ConfigurationDialogTest : public ConfigFixture {
 protected:
  // Runs the dialog modally; act does what the user does inside it and closes it.
  bool Show(const std::function<void(TConfiguration&)>& act) {
    OnNextModal<TConfiguration>(act);
    TConfiguration dialog(config, prompter, chooser, &owner);
    return dialog.ShowConfiguration();
  }
  static void Ok(TConfiguration& d) { Find<QPushButton>(d, "OKBtn")->click(); }
};

}  // namespace

TEST_F(ConfigurationDialogTest, ControlsCaptionsAndTooltips) {
  TConfiguration d(config, prompter, chooser, &owner);
  EXPECT_EQ(d.windowTitle(), "Tamber 2.23 - Configuration");
  EXPECT_EQ(d.parentWidget(), &owner);
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  EXPECT_GE(d.width(), 338);
  EXPECT_GE(d.height(), 235);

  auto* pages = Find<QTabWidget>(d, "PageControl1");
  ASSERT_EQ(pages->count(), 4);
  const char* pageNames[] = {"TabSheet1", "TabSheet2", "Jar", "TabSheet3"};
  const char* pageTitles[] = {"General", "Dialogs", "Jar", "Misc"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pages->widget(i)->objectName(), pageNames[i]);
    EXPECT_EQ(pages->tabText(i), pageTitles[i]);
  }

  auto* ok = Find<QPushButton>(d, "OKBtn");
  auto* cancel = Find<QPushButton>(d, "CancelBtn");
  auto* save = Find<QPushButton>(d, "SaveBtn");
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_EQ(cancel->text(), "Cancel");
  EXPECT_EQ(save->text(), "Save");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(save->toolTip(), "Save to registry");
  d.show();
  EXPECT_GT(ok->x(), pages->geometry().right());
  EXPECT_LT(ok->y(), cancel->y());
  EXPECT_LT(cancel->y(), save->y());

  const std::pair<const char*, QStringList> groups[] = {
      {"RG_StartUpFolder", {"Start-up Folder", "&System Default", "Last &Open Archive", "&Folder:"}},
      {"RG_TemporaryFolder", {"Temporary Folder", "&System Default", "&Folder:"}},
      {"RG_DefaultAddFolder", {"Default Add Folder", "Open Ar&chive Folder", "Last &Add Folder", "Folde&r:"}},
      {"RG_DefaultExtractFolder", {"Default Extract Folder", "O&pen Archive Folder", "Last &Extract Folder", "Fol&der:"}},
  };
  for (const auto& [name, captions] : groups) {
    auto* group = Find<RadioGroup>(d, name);
    EXPECT_EQ(QStringList{group->title()} + Items(group), captions) << name;
  }
  const std::tuple<const char*, const char*, const char*> boxes[] = {
      {"CB_LoadDefault", "Load \"default.tbs\" at first start.", "Loads default.tbs at the first start\nof the add dialog(s)."},
      {"CB_DosBox", "Show Dosbox.", "Start jar32 in a dosbox"},
      {"CB_InternalHeaderCheck", "Use Internal Jar Check", "Check Jar header internally, instead\nof executing Jar32."},
      {"CB_FlatButtons", "Flat Buttons", "Use flat (= dynamic) buttons"},
      {"CB_LargeButtons", "Large Buttons", "Use large buttons"},
      {"CB_CheckAssociations", "Check Associations", "Checks associations at startup and\nconfiguration save."},
      {"CB_AssociateToJ", "To \".j\" Files", ""},
  };
  for (const auto& [name, caption, tip] : boxes) {
    auto* box = Find<QCheckBox>(d, name);
    EXPECT_EQ(box->text(), caption);
    EXPECT_EQ(box->toolTip(), tip);
  }
  for (const char* name : {"DE_StartUpFolder", "DE_TemporaryFolder", "DE_AddFolder", "DE_ExtractFolder", "FE_JarExecutable"})
    EXPECT_NE(Find<BrowseEdit>(d, name), nullptr);
  auto* recent = Find<QSpinBox>(d, "UpDown1");
  EXPECT_EQ(recent->minimum(), 1);
  EXPECT_EQ(recent->maximum(), 10);
  EXPECT_FALSE(recent->wrapping());
  EXPECT_EQ(Find<QLineEdit>(d, "Edit1")->text(), "4");
}

TEST_F(ConfigurationDialogTest, OkWithoutChangesKeepsEverySetting) {
  config.startupFolder = 2;
  config.theStartupFolder = "/srv/start/";
  config.temporaryFolder = 1;
  config.theTemporaryFolder = "/srv/tmp/";
  config.addFolder = 1;
  config.theAddFolder = "/srv/add/";
  config.extractFolder = 2;
  config.theExtractFolder = "/srv/extract/";
  config.nrRecentEntries = 7;
  config.loadDefaultAtStart = config.showDosbox = config.largeButtons = true;
  config.internalJarCheck = config.flatButtons = config.associateToJ = config.checkAssociations = false;
  config.theJar32Exe = "/opt/jar/jar32.exe";
  config.RealTimeAllowed = true;
  config.jar32Priority = 2;
  const TConfig before = config;
  EXPECT_TRUE(Show([](TConfiguration& d) {
    // The extract settings show on the Dialogs page, apart from the add settings.
    EXPECT_EQ(Find<RadioGroup>(d, "RG_DefaultAddFolder")->itemIndex(), 1);
    EXPECT_EQ(Find<RadioGroup>(d, "RG_DefaultExtractFolder")->itemIndex(), 2);
    EXPECT_EQ(Find<BrowseEdit>(d, "DE_ExtractFolder")->text(), "/srv/extract/");
    EXPECT_TRUE(Find<BrowseEdit>(d, "DE_ExtractFolder")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(d, "Edit1")->text(), "7");
    Ok(d);
  }));
  for (std::string TConfig::*field : std::initializer_list<std::string TConfig::*>{&TConfig::theStartupFolder, &TConfig::theTemporaryFolder, &TConfig::theAddFolder,
                     &TConfig::theExtractFolder, &TConfig::theJar32Exe})
    EXPECT_EQ(config.*field, before.*field);
  for (auto field : {&TConfig::startupFolder, &TConfig::temporaryFolder, &TConfig::addFolder, &TConfig::extractFolder})
    EXPECT_EQ(config.*field, before.*field);
  for (bool TConfig::*field : std::initializer_list<bool TConfig::*>{&TConfig::loadDefaultAtStart, &TConfig::showDosbox, &TConfig::largeButtons, &TConfig::internalJarCheck,
                     &TConfig::flatButtons, &TConfig::associateToJ, &TConfig::checkAssociations})
    EXPECT_EQ(config.*field, before.*field);
  EXPECT_EQ(config.nrRecentEntries, 7);
  EXPECT_EQ(config.jar32Priority, 2);
}

TEST_F(ConfigurationDialogTest, EachFolderBoxIsEnabledExactlyWithItsGroupsFolderItem) {
  config.theAddFolder = "/kept/add/";
  TConfiguration d(config, prompter, chooser, &owner);
  const std::tuple<const char*, const char*, int> pairs[] = {{"RG_StartUpFolder", "DE_StartUpFolder", 2},
                                                             {"RG_TemporaryFolder", "DE_TemporaryFolder", 1},
                                                             {"RG_DefaultAddFolder", "DE_AddFolder", 2},
                                                             {"RG_DefaultExtractFolder", "DE_ExtractFolder", 2}};
  for (const auto& [groupName, boxName, folderItem] : pairs) {
    SCOPED_TRACE(groupName);
    auto* group = Find<RadioGroup>(d, groupName);
    auto* box = Find<BrowseEdit>(d, boxName);
    EXPECT_EQ(group->itemIndex(), 0);
    EXPECT_FALSE(box->isEnabled());
    for (int i = group->count() - 1; i >= 0; --i) {
      group->item(i)->click();
      EXPECT_EQ(box->isEnabled(), i == folderItem) << "item " << i;
    }
  }
  // A disabled box keeps its text, and the text is taken over all the same.
  EXPECT_FALSE(Find<BrowseEdit>(d, "DE_AddFolder")->isEnabled());
  d.ApplyToConfig();
  EXPECT_EQ(config.theAddFolder, "/kept/add/");
}

TEST_F(ConfigurationDialogTest, WithoutRealTimeTheDialogOffersTwoPrioritiesAndOpensOnNormal) {
  config.jar32Priority = 1;
  EXPECT_TRUE(Show([](TConfiguration& d) {
    auto* priority = Find<RadioGroup>(d, "RG_JarPriority");
    EXPECT_EQ(Items(priority), (QStringList{"Normal", "High"}));
    EXPECT_EQ(priority->itemIndex(), 0);
    Ok(d);
  }));
  EXPECT_EQ(config.jar32Priority, 0);

  config.RealTimeAllowed = true;
  for (int stored : {2, 1}) {
    config.jar32Priority = stored;
    EXPECT_TRUE(Show([stored](TConfiguration& d) {
      auto* priority = Find<RadioGroup>(d, "RG_JarPriority");
      EXPECT_EQ(Items(priority), (QStringList{"Normal", "High", "Realtime (!! CAREFUL !!)"}));
      EXPECT_EQ(priority->itemIndex(), stored);
      Ok(d);
    }));
    EXPECT_EQ(config.jar32Priority, stored);
  }
}

TEST_F(ConfigurationDialogTest, LeavingTheJarBoxTakesOffSurroundingQuotes) {
  EXPECT_TRUE(Show([](TConfiguration& d) {
    QLineEdit* edit = Find<BrowseEdit>(d, "FE_JarExecutable")->edit();
    Find<QTabWidget>(d, "PageControl1")->setCurrentIndex(2);
    d.activateWindow();
    const bool active = QTest::qWaitForWindowActive(&d, 5000);
    edit->setFocus();
    edit->setText("\"/opt/my jar/jar32.exe\"");
    if (!active || !edit->hasFocus()) {
      ADD_FAILURE() << "the box did not get the focus";
      d.reject();
      return;
    }
    Find<QCheckBox>(d, "CB_DosBox")->setFocus();
    EXPECT_EQ(edit->text(), "/opt/my jar/jar32.exe");
    // Enter in the box closes the dialog and leaves the box all the same.
    edit->setFocus();
    edit->setText("\"/opt/jar/jar32.exe\"");
    QTest::keyClick(edit, Qt::Key_Return);
    if (d.isVisible()) {
      ADD_FAILURE() << "Enter did not press OK";
      d.reject();
    }
  }));
  EXPECT_EQ(config.theJar32Exe, "/opt/jar/jar32.exe");
}

TEST_F(ConfigurationDialogTest, FolderBrowsingNormalisesTheNameHandedOverAndTheOneChosen) {
  config.startupFolder = config.addFolder = config.extractFolder = 2;
  config.temporaryFolder = 1;
  config.theStartupFolder = "\"";  // too short to name a folder
  config.theExtractFolder = "\"/srv/my files\"";
  TConfiguration d(config, prompter, chooser, &owner);
  chooser.answer("/tmp/chosen");
  Find<BrowseEdit>(d, "DE_StartUpFolder")->browseButton()->click();
  EXPECT_EQ(Find<BrowseEdit>(d, "DE_StartUpFolder")->text(), "/tmp/chosen/");
  chooser.cancel();
  Find<BrowseEdit>(d, "DE_ExtractFolder")->browseButton()->click();
  EXPECT_EQ(Find<BrowseEdit>(d, "DE_ExtractFolder")->text(), "\"/srv/my files\"") << "a cancelled pick changes nothing";
  chooser.answer("/");
  Find<BrowseEdit>(d, "DE_TemporaryFolder")->browseButton()->click();
  chooser.answer("/srv/add");
  Find<BrowseEdit>(d, "DE_AddFolder")->browseButton()->click();
  EXPECT_EQ(Find<BrowseEdit>(d, "DE_TemporaryFolder")->text(), "/");
  EXPECT_EQ(Find<BrowseEdit>(d, "DE_AddFolder")->text(), "/srv/add/");

  const auto& calls = chooser.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, "folder");
  EXPECT_EQ(calls[0].start, "");
  EXPECT_EQ(calls[1].start, "/srv/my files/");
  // The extract box is a plain picker; the other three may make a new folder.
  EXPECT_EQ(calls[0].filter, "create");
  EXPECT_EQ(calls[1].filter, "");
  EXPECT_EQ(calls[2].filter, "create");
  EXPECT_EQ(calls[3].filter, "create");
}

TEST_F(ConfigurationDialogTest, TheJarBrowserStartsWhereTheBareNameIsFoundAndTakesAnExistingFile) {
  const std::string bin = home.path() + "/bin";
  std::filesystem::create_directories(bin);
  ASSERT_TRUE(platform::WriteWholeFile(bin + "/jar32.exe", "#!/bin/sh\n"));
  std::filesystem::permissions(bin + "/jar32.exe", std::filesystem::perms::owner_all);
  ScopedEnv path("PATH", bin);
  config.theJar32Exe = "jar32.exe";
  TConfiguration d(config, prompter, chooser, &owner);
  EXPECT_EQ(Find<BrowseEdit>(d, "FE_JarExecutable")->text(), "jar32.exe");
  chooser.answer("/opt/other/jar32.exe");
  Find<BrowseEdit>(d, "FE_JarExecutable")->browseButton()->click();
  ASSERT_EQ(chooser.calls().size(), 1u);
  EXPECT_EQ(chooser.calls()[0].kind, "open");
  EXPECT_EQ(chooser.calls()[0].start, bin);
  EXPECT_EQ(Find<BrowseEdit>(d, "FE_JarExecutable")->text(), "/opt/other/jar32.exe");
}

TEST_F(ConfigurationDialogTest, CancelTheCloseBoxAndEscapeApplyNothing) {
  const std::function<void(TConfiguration&)> endings[] = {
      [](TConfiguration& d) { Find<QPushButton>(d, "CancelBtn")->click(); },
      [](TConfiguration& d) { d.close(); },
  };
  for (const auto& end : endings) {
    EXPECT_FALSE(Show([&end](TConfiguration& d) {
      Find<QSpinBox>(d, "UpDown1")->setValue(9);
      Find<QCheckBox>(d, "CB_LargeButtons")->setChecked(true);
      Find<RadioGroup>(d, "RG_StartUpFolder")->item(1)->click();
      QTest::keyClick(Find<QSpinBox>(d, "UpDown1"), Qt::Key_Escape);
      EXPECT_TRUE(d.isVisible()) << "Escape is not bound";
      end(d);
    }));
    EXPECT_EQ(config.nrRecentEntries, 4);
    EXPECT_FALSE(config.largeButtons);
    EXPECT_EQ(config.startupFolder, 0);
  }
}

TEST_F(ConfigurationDialogTest, SaveAppliesAndSavesEvenWhenCancelFollows) {
  prompter.expect(BoxKind::Information, "Settings succesfully saved!");
  EXPECT_FALSE(Show([](TConfiguration& d) {
    Find<QSpinBox>(d, "UpDown1")->setValue(9);
    Find<QPushButton>(d, "SaveBtn")->click();
    EXPECT_TRUE(d.isVisible());
    Find<QPushButton>(d, "CancelBtn")->click();
  }));
  EXPECT_EQ(config.nrRecentEntries, 9);
  platform::SettingsStore saved(home.path() + "/registry.reg");
  EXPECT_EQ(saved.readNumber(TConfig::kKey, "nrRecentEntries"), 9u);
}

TEST_F(ConfigurationDialogTest, AFailedSaveOffersRetryUntilCancel) {
  ASSERT_TRUE(platform::WriteWholeFile(home.path() + "/blocked", "a file where the folder should be"));
  platform::SettingsStore blocked(home.path() + "/blocked/registry.reg");
  TConfig unsaved(blocked, prompter);
  for (platform::Button answer : {platform::ButtonRetry, platform::ButtonCancel}) {
    prompter.expect(PlainBox, "Error opening registry for saving!");
    prompter.expect(BoxKind::Error, "Error in saving settings!", answer, platform::ButtonRetry | platform::ButtonCancel);
  }
  TConfiguration d(unsaved, prompter, chooser, &owner);
  Find<QSpinBox>(d, "UpDown1")->setValue(2);
  Find<QPushButton>(d, "SaveBtn")->click();
  prompter.verifyDone();
  EXPECT_EQ(unsaved.nrRecentEntries, 2);
}

TEST_F(ConfigurationDialogTest, ApplyingRepairsTheAssociationWithTheSettingsItOpenedWith) {
  DesktopPlaces places{home.path() + "/data", home.path() + "/config", home.path() + "/bin/tamber"};
  prompter.expect(BoxKind::Error, "Tamber is not properly associated to \".j\"\nDo you want it corrected ?",
                  platform::ButtonYes);
  TConfig desktopConfig(store, prompter, places);
  ASSERT_TRUE(desktopConfig.AssociationOk());
  std::filesystem::remove(places.DesktopEntryPath());

  OnNextModal<TConfiguration>([](TConfiguration& d) {
    Find<QCheckBox>(d, "CB_AssociateToJ")->setChecked(false);
    Ok(d);
  });
  TConfiguration d(desktopConfig, prompter, chooser, &owner);
  EXPECT_TRUE(d.ShowConfiguration());
  // The repair used "associate" as it was when the dialog opened; the new choice waits for the next check.
  EXPECT_TRUE(platform::FileExists(places.DesktopEntryPath()));
  EXPECT_FALSE(desktopConfig.associateToJ);
}

TEST_F(ConfigurationDialogTest, ShowingOpensTheGeneralPageWithOkFocused) {
  EXPECT_TRUE(Show([](TConfiguration& d) {
    EXPECT_EQ(Find<QTabWidget>(d, "PageControl1")->currentIndex(), 0);
    EXPECT_EQ(d.focusWidget(), Find<QPushButton>(d, "OKBtn"));
    Ok(d);
  }));
}

TEST_F(ConfigurationDialogTest, OutOfRangeSettingsShowTheNearestChoice) {
  config.nrRecentEntries = 50;
  config.startupFolder = 7;
  config.temporaryFolder = -1;
  TConfiguration d(config, prompter, chooser, &owner);
  EXPECT_EQ(Find<QLineEdit>(d, "Edit1")->text(), "10");
  EXPECT_EQ(Find<RadioGroup>(d, "RG_StartUpFolder")->itemIndex(), 2);
  EXPECT_EQ(Find<RadioGroup>(d, "RG_TemporaryFolder")->itemIndex(), -1);
  EXPECT_FALSE(Find<BrowseEdit>(d, "DE_TemporaryFolder")->isEnabled());
  d.ApplyToConfig();
  EXPECT_EQ(config.nrRecentEntries, 10);
  EXPECT_EQ(config.temporaryFolder, -1);
}
