// The main dialog: its state after start-up, the com-mode handler, and
// CONNECT / RUN / EXIT driven through the real widgets and message boxes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "console/connection_control.h"
#include "console/loader_dialog.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "tests/gui/box_answerer.h"
#include "tests/support/pty_peer.h"

namespace {

class LoaderDlgTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (peer_) ComClose(peer_->port());
  }

  QWidget* Widget(int id) { return dialog.Control(id); }
  QPushButton* Button(int id) { return dialog.ControlAs<QPushButton>(id); }

  PtyPeer& Peer() {
    if (!peer_) peer_ = std::make_unique<PtyPeer>();
    return *peer_;
  }

  CLoaderDlg dialog;
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
  EXPECT_FALSE(dialog.windowIcon().isNull());
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
  ASSERT_TRUE(ConnectSensor(Peer().port() - 1, false, 4, dialog.controls(),
                            dialog.operatorDialogs()));
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

TEST_F(LoaderDlgTest, ExitAsksAndEndsTheDialogOnlyOnYes) {
  {
    BoxAnswerer answerer(QMessageBox::No);
    Button(kCtlExit)->click();
    ASSERT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].caption, "Question");
    EXPECT_EQ(answerer.boxes()[0].text, "Agree to Exit?");
    EXPECT_EQ(answerer.boxes()[0].icon, QMessageBox::Question);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  BoxAnswerer answerer(QMessageBox::Yes);
  Button(kCtlExit)->click();
  EXPECT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
