// The main dialog: its state after start-up, the com-mode handler, Ref.,
// and CONNECT / RUN / EXIT / Esc driven through the real widgets and message
// boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <optional>

#include "console/base_name_choice.h"
#include "console/connection_control.h"
#include "console/connection_states.h"
#include "frontend/file_picker.h"
#include "console/loader_dialog.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "res/program_icon.h"
#include "tests/gui/box_answerer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/pty_peer.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Answers Ref. with the path queued, or as cancelled when none is.
class ScriptedPicker : public FilePicker {
 public:
  bool PickFile(std::span<const FileFilter> filters, std::string& chosenPath) override {
    offered = filters;
    if (!next) return false;
    chosenPath = *next;
    return true;
  }
  std::optional<std::string> next;
  std::span<const FileFilter> offered;
};

class LoaderDlgTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (peer_) ComClose(peer_->port());
  }

  QWidget* Widget(int id) { return dialog.Control(id); }
  QPushButton* Button(int id) { return dialog.ControlAs<QPushButton>(id); }
  QLineEdit* BaseName() { return dialog.ControlAs<QLineEdit>(kCtlBaseName); }

  PtyPeer& Peer() {
    if (!peer_) peer_ = std::make_unique<PtyPeer>();
    return *peer_;
  }

  TempFolder folder_{"zema-loader-dlg"};
  const fs::path settingsPath_ = folder_ / "zema-loader.ini";
  ScriptedPicker picker_;
  CLoaderDlg dialog{settingsPath_.string(), &picker_};
  std::unique_ptr<PtyPeer> peer_;
};

TEST_F(LoaderDlgTest, StartsDisconnectedInPcLoadSaveModeWithTheFirstStartChoices) {
  dialog.show();
  EXPECT_EQ(Button(kCtlConnect)->text(), QStringLiteral("Confirm Communication"));
  EXPECT_TRUE(Widget(kCtlLoadSaveHint)->isEnabled());
  EXPECT_FALSE(Widget(kCtlComModeNote)->isEnabled());
  auto* speed = dialog.ControlAs<QComboBox>(kCtlSpeedList);
  EXPECT_FALSE(speed->isEnabled());
  EXPECT_EQ(speed->currentText(), QStringLiteral("57600 (5)"));
  EXPECT_EQ(dialog.ControlAs<QComboBox>(kCtlPortList)->currentText(), QStringLiteral("COM1"));
  EXPECT_EQ(dialog.ControlAs<QComboBox>(kCtlStartBank)->currentText(), QStringLiteral("0"));
  EXPECT_EQ(dialog.ControlAs<QComboBox>(kCtlEndBank)->currentText(), QStringLiteral("14"));
  for (int id : {kCtlCommonParams, kCtlBrightComp, kCtlBankParams}) {
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(id)->isChecked()) << id;
  }
  EXPECT_FALSE(dialog.ControlAs<QCheckBox>(kCtlPatterns)->isChecked());
  EXPECT_FALSE(dialog.ControlAs<QCheckBox>(kCtlComModeBox)->isChecked());
  auto* baseName = dialog.ControlAs<QLineEdit>(kCtlBaseName);
  EXPECT_EQ(baseName->text(), QStringLiteral("Untitled"));
  EXPECT_EQ(baseName->selectedText(), QStringLiteral("Untitled"));
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_FALSE(Widget(id)->isEnabled()) << id;
  EXPECT_EQ(dialog.focusWidget(), Widget(kCtlPortList));
  ASSERT_TRUE(QFile::exists(QString::fromLatin1(kProgramIconResource)));
  EXPECT_FALSE(dialog.windowIcon().pixmap(32, 32).isNull());
}

TEST(LoaderDlgStart, CommandModeFromTheSettingsFile) {
  const TempFolder folder("zema-loader-dlg");
  const fs::path settings = folder / "zema-loader.ini";
  WriteFileBytes(settings, "2\n1\n3\n5\n0\n1\n1\n1\n1\n/data/lines/lineA");
  CLoaderDlg dialog(settings.string());
  EXPECT_EQ(dialog.ControlAs<QPushButton>(kCtlConnect)->text(),
            QStringLiteral("CONNECT(Stop ZEMA)"));
  EXPECT_FALSE(dialog.Control(kCtlLoadSaveHint)->isEnabled());
  EXPECT_TRUE(dialog.Control(kCtlSpeedList)->isEnabled());
  EXPECT_EQ(dialog.ControlAs<QComboBox>(kCtlSpeedList)->currentText(), QStringLiteral("9600 (2)"));
  auto* baseName = dialog.ControlAs<QLineEdit>(kCtlBaseName);
  EXPECT_EQ(baseName->text(), QStringLiteral("/data/lines/lineA"));
  EXPECT_EQ(baseName->selectedText(), QStringLiteral("lineA"));
}

TEST_F(LoaderDlgTest, ComModeBoxSwitchesTheDependentControlsBothWays) {
  auto* box = dialog.ControlAs<QCheckBox>(kCtlComModeBox);
  auto* speed = dialog.ControlAs<QComboBox>(kCtlSpeedList);
  box->setChecked(true);
  speed->setCurrentIndex(1);
  dialog.OnComModeBox();
  EXPECT_EQ(Button(kCtlConnect)->text(), QStringLiteral("CONNECT(Stop ZEMA)"));
  EXPECT_TRUE(speed->isEnabled());
  EXPECT_EQ(speed->currentIndex(), 1) << "command mode keeps the chosen speed";
  EXPECT_TRUE(Widget(kCtlComModeNote)->isEnabled());
  EXPECT_FALSE(Widget(kCtlLoadSaveHint)->isEnabled());

  box->setChecked(false);
  dialog.OnComModeBox();
  EXPECT_EQ(Button(kCtlConnect)->text(), QStringLiteral("Confirm Communication"));
  EXPECT_FALSE(speed->isEnabled());
  EXPECT_EQ(speed->currentIndex(), 4);
  EXPECT_FALSE(Widget(kCtlComModeNote)->isEnabled());
  EXPECT_TRUE(Widget(kCtlLoadSaveHint)->isEnabled());
}

TEST_F(LoaderDlgTest, ConnectWithoutAPortShowsTheOpenFailure) {
  dialog.ControlAs<QComboBox>(kCtlPortList)->setCurrentIndex(-1);
  BoxAnswerer answerer(QMessageBox::Ok);
  Button(kCtlConnect)->click();
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].caption, "Error");
  EXPECT_EQ(answerer.boxes()[0].text, "Failed to open COM port.");
  EXPECT_EQ(answerer.boxes()[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(Button(kCtlConnect)->isEnabled());
  EXPECT_FALSE(Button(kCtlRun)->isEnabled());
}

TEST_F(LoaderDlgTest, ConnectedThenRunAgainstASilentSensorReturnsToDisconnected) {
  dialog.show();
  // The port list offers COM1..COM9; a test peer has a higher number, so the
  // sequence is started with its index directly on the dialog's controls.
  Peer().ReplyAfter(2, AckReply());
  ASSERT_TRUE(ApplyConnectOutcome(ConnectSensor(Peer().port() - 1, false, 4,
                                                dialog.operatorDialogs()),
                                  dialog.controls(), dialog.operatorDialogs()));
  for (int id : {kCtlPortList, kCtlSpeedList, kCtlConnect}) {
    EXPECT_FALSE(Widget(id)->isEnabled()) << id;
  }
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_TRUE(Widget(id)->isEnabled()) << id;
  EXPECT_EQ(dialog.focusWidget(), Widget(kCtlRun));

  BoxAnswerer answerer(QMessageBox::Ok);
  Button(kCtlRun)->click();  // the sensor stays silent
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].text, "No communication response.");
  EXPECT_EQ(Peer().Received(), (Bytes{0x88, 0x77, 0x87, 0x78}));
  EXPECT_TRUE(ComIsUnusable(Peer().port()));
  EXPECT_TRUE(Widget(kCtlPortList)->isEnabled());
  EXPECT_TRUE(Widget(kCtlConnect)->isEnabled());
  EXPECT_FALSE(Widget(kCtlSpeedList)->isEnabled()) << "com-mode box is clear";
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_FALSE(Widget(id)->isEnabled()) << id;
  EXPECT_EQ(dialog.focusWidget(), Widget(kCtlConnect));
}

TEST_F(LoaderDlgTest, ExitAsksAndSavesTheSettingsOnlyOnYes) {
  dialog.show();
  {
    BoxAnswerer answerer(QMessageBox::No);
    Button(kCtlExit)->click();
    ASSERT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].caption, "Question");
    EXPECT_EQ(answerer.boxes()[0].text, "Agree to Exit?");
    EXPECT_EQ(answerer.boxes()[0].icon, QMessageBox::Question);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(fs::exists(settingsPath_));
  }
  BoxAnswerer answerer(QMessageBox::Yes);
  Button(kCtlExit)->click();
  EXPECT_EQ(answerer.boxes().size(), 1u) << "a save that works shows nothing";
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(ReadFileBytes(settingsPath_), "0\n4\n0\n14\n1\n1\n1\n0\n0\nUntitled");
}

TEST_F(LoaderDlgTest, EscAndTheCloseBoxEndTheDialogWithoutSaving) {
  dialog.show();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);

  dialog.show();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(fs::exists(settingsPath_));
}

TEST_F(LoaderDlgTest, RefPutsTheChosenFilesBaseNameIntoTheFieldWithItsNameSelected) {
  const fs::path lines = folder_ / "lines";
  const std::string folder = lines.string() + "/";
  const struct {
    std::optional<std::string> chosen;  // nullopt: the picker was cancelled
    std::string field;
    const char* selected;
  } kChoices[] = {
      {folder + "lineA.pr3.zema", folder + "lineA", "lineA"},
      {std::nullopt, folder + "lineA", "lineA"},
      {folder + "lineA.prM.zema", folder + "lineA", "lineA"},
      {folder + "lineA.cmp.bmp", folder + "lineA", "lineA"},
      {folder + "lineA.ptE.bmp", folder + "lineA", "lineA"},
      {folder + "photo.bmp", folder + "photo.bmp", "photo.bmp"},
      {folder + "lineA.PR3.ZEMA", folder + "lineA.PR3.ZEMA", "lineA.PR3.ZEMA"},
      {"C:\\data\\Größe.pr0.zema", "C:\\data\\Größe", "Größe"},
  };
  dialog.show();
  for (const auto& choice : kChoices) {
    SCOPED_TRACE(choice.chosen.value_or("(cancelled)"));
    picker_.next = choice.chosen;
    Button(kCtlRef)->click();
    EXPECT_EQ(picker_.offered.data(), kBaseNameFilters.data());
    EXPECT_EQ(picker_.offered.size(), kBaseNameFilters.size());
    EXPECT_EQ(BaseName()->text().toStdString(), choice.field);
    EXPECT_EQ(BaseName()->selectedText().toStdString(), choice.selected);
  }
  EXPECT_FALSE(fs::exists(lines)) << "a chosen file need not exist";
}

}  // namespace
