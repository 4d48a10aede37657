// READ and WRITE from the main dialog: the choices reach the run, the
// progress dialog runs against the virtual sensor, and the main dialog stays
// connected afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/connection_control.h"
#include "console/loader_dialog.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "tests/gui/box_answerer.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/comu_dlg.h"

namespace {

namespace fs = std::filesystem;

// Presses OK on the progress dialog once its run has finished, and notes
// the step line it showed at that moment.
class ProgressCloser {
 public:
  ProgressCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* progress = qobject_cast<CComuDlg*>(QApplication::activeModalWidget());
      if (progress == nullptr || !progress->runEnd() || progress->isRunning()) return;
      seen_ = true;
      stepLine_ = progress->Control(kCtlStepLine)->property("text").toString().toStdString();
      progress->ControlAs<QPushButton>(kCtlOk)->click();
    });
    timer_.start(10);
  }
  bool seen() const { return seen_; }
  const std::string& stepLine() const { return stepLine_; }

 private:
  QTimer timer_;
  bool seen_ = false;
  std::string stepLine_;
};

class LoaderTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_.show();
    // Test ports lie above COM9, so the sequence gets the index directly.
    ASSERT_TRUE(ConnectSensor(sim_.port() - 1, false, 4, dialog_.controls(),
                              dialog_.operatorDialogs()));
    dialog_.ControlAs<QLineEdit>(kCtlBaseName)->setText(
        QString::fromStdString((folder_ / "line1").string()));
    dialog_.ControlAs<QComboBox>(kCtlStartBank)->setCurrentIndex(2);
    dialog_.ControlAs<QComboBox>(kCtlEndBank)->setCurrentIndex(3);
    dialog_.ControlAs<QCheckBox>(kCtlBrightComp)->setChecked(false);
  }
  void TearDown() override { ComClose(sim_.port()); }

  QPushButton* Button(int id) { return dialog_.ControlAs<QPushButton>(id); }

  SimFixture sim_;
  CLoaderDlg dialog_;
  TempFolder folder_{"zema-loader-transfer"};
};

TEST_F(LoaderTransferTest, ReadWritesTheChosenSetsAndStaysConnected) {
  ProgressCloser closer;
  Button(kCtlRead)->click();
  ASSERT_TRUE(closer.seen());
  EXPECT_EQ(closer.stepLine(), "Reading from ZEMA is completed.");
  for (const char* suffix : {".pr2.zema", ".pr3.zema", ".prM.zema"}) {
    EXPECT_TRUE(fs::exists(folder_ / ("line1" + std::string(suffix)))) << suffix;
  }
  EXPECT_FALSE(fs::exists(folder_ / "line1.pr4.zema"));
  EXPECT_FALSE(fs::exists(folder_ / "line1.cmp.bmp")) << "compensation was not ticked";
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_TRUE(Button(id)->isEnabled()) << id;
}

TEST_F(LoaderTransferTest, WriteAsksFirstAndSendsOnlyAfterYes) {
  {
    ProgressCloser closer;
    Button(kCtlRead)->click();
    ASSERT_TRUE(closer.seen());
  }
  sim_.EditMemory([](zema::sim::SensorMemory& memory) { memory.params[3][0] = 4242; });

  {
    BoxAnswerer answerer(QMessageBox::No);
    Button(kCtlWrite)->click();
    ASSERT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].caption, "Warning!");
    EXPECT_EQ(answerer.boxes()[0].text, "Agree to overwrite ZEMA settings?");
    EXPECT_EQ(answerer.boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(sim_.Memory().params[3][0], 4242) << "No starts no transfer";
  }

  BoxAnswerer answerer(QMessageBox::Yes);
  ProgressCloser closer;
  Button(kCtlWrite)->click();
  ASSERT_TRUE(closer.seen());
  EXPECT_EQ(closer.stepLine(), "Writing to ZEMA is completed.");
  EXPECT_NE(sim_.Memory().params[3][0], 4242) << "the file read before went back in";
  EXPECT_TRUE(Button(kCtlRun)->isEnabled());
}

}  // namespace
