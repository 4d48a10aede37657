// The loader end to end against the virtual sensor: started from a settings
// file, CONNECT, READ, WRITE, RUN and EXIT are clicked as an operator would,
// with every question answered through its message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "console/loader_dialog.h"
#include "link/packet.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "tests/gui/box_answerer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/comu_dlg.h"
#include "transfer/run_state.h"

namespace {

namespace fs = std::filesystem;
using zema::sim::SensorState;

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

// One of COM1..COM9, which the port list offers, made to reach the sensor
// through the user's dosdevices folder: the one of the executable's folder
// is left to the developer's own links (and to the demo's COM1).
class PortListPort {
 public:
  PortListPort(const fs::path& configHome, const std::string& devicePath) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    const fs::path folder = configHome / "zema-loader" / "dosdevices";
    fs::create_directories(folder);
    for (int n = 9; n >= 1; --n) {
      const std::string name = "com" + std::to_string(n);
      std::error_code error;
      if (fs::is_symlink(fs::path(ExecutableDosDevicesFolder()) / name, error)) continue;
      fs::create_symlink(devicePath, folder / name);
      number_ = n;
      return;
    }
  }
  ~PortListPort() {
    if (oldConfigHome_) {
      ::setenv("XDG_CONFIG_HOME", oldConfigHome_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  PortListPort(const PortListPort&) = delete;
  PortListPort& operator=(const PortListPort&) = delete;

  int number() const { return number_; }  // 0 when all nine are taken

 private:
  std::optional<std::string> oldConfigHome_;
  int number_ = 0;
};

SimFixture::Options CommandModeAt19200() {
  SimFixture::Options options;
  options.mode = zema::sim::ConnectionMode::kCommand;
  options.communic = 3;
  return options;
}

class LoaderEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(port_.number(), 0) << "COM1..COM9 are all linked in "
                                 << ExecutableDosDevicesFolder();
  }
  void TearDown() override { ComClose(port_.number()); }

  SimFixture sim_{CommandModeAt19200()};
  TempFolder folder_{"zema-loader-e2e"};
  PortListPort port_{folder_ / "config", sim_.devicePath()};
  const fs::path settingsPath_ = folder_ / "zema-loader.ini";
  const std::string baseName_ = (folder_ / "line1").string();
};

TEST_F(LoaderEndToEndTest, StartConnectReadWriteRunExit) {
  // Command mode at "19200 (3)", banks 2 to 3, common and bank parameters:
  // what a line engineer keeps in the file between runs.
  const std::string stored =
      std::to_string(port_.number() - 1) + "\n2\n2\n3\n1\n0\n1\n0\n1\n" + baseName_;
  WriteFileBytes(settingsPath_, stored);

  CLoaderDlg dialog(settingsPath_.string());
  dialog.show();
  const auto button = [&dialog](int id) { return dialog.ControlAs<QPushButton>(id); };
  ASSERT_EQ(button(kCtlConnect)->text(), QStringLiteral("CONNECT(Stop ZEMA)"));

  {
    BoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});
    button(kCtlConnect)->click();
    ASSERT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].text, "Agree to stop operation of ZEMA?");
    ASSERT_TRUE(button(kCtlRun)->isEnabled());
    EXPECT_EQ(sim_.sensor().state(), SensorState::kPcCommunication);
  }
  {
    BoxAnswerer failure(QMessageBox::Ok);
    ProgressCloser closer;
    button(kCtlRead)->click();
    ASSERT_TRUE(closer.seen()) << (failure.seen() ? failure.seen()->text : "");
    EXPECT_EQ(closer.stepLine(), "Reading from ZEMA is completed.");
    for (const char* suffix : {".pr2.zema", ".pr3.zema", ".prM.zema"}) {
      EXPECT_TRUE(fs::exists(baseName_ + suffix)) << suffix;
    }
    EXPECT_FALSE(fs::exists(baseName_ + ".pr4.zema"));
    EXPECT_FALSE(fs::exists(baseName_ + ".cmp.bmp")) << "compensation was not ticked";
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_TRUE(button(id)->isEnabled()) << id;
  }

  sim_.EditMemory([](zema::sim::SensorMemory& memory) { memory.params[3][0] = 4242; });
  {
    BoxAnswerer answerer(QMessageBox::No);
    button(kCtlWrite)->click();
    ASSERT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(answerer.boxes()[0].caption, "Warning!");
    EXPECT_EQ(answerer.boxes()[0].text, "Agree to overwrite ZEMA settings?");
    EXPECT_EQ(answerer.boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(sim_.Memory().params[3][0], 4242) << "No starts no transfer";
  }
  {
    BoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});
    ProgressCloser closer;
    button(kCtlWrite)->click();
    ASSERT_TRUE(closer.seen());
    EXPECT_EQ(answerer.boxes().size(), 1u);
    EXPECT_EQ(closer.stepLine(), "Writing to ZEMA is completed.");
    EXPECT_NE(sim_.Memory().params[3][0], 4242) << "the file read before went back in";
    EXPECT_TRUE(button(kCtlRun)->isEnabled());
  }
  {
    BoxAnswerer failure(QMessageBox::Ok);
    button(kCtlRun)->click();
    EXPECT_FALSE(failure.seen()) << failure.seen()->text;
    EXPECT_EQ(sim_.sensor().state(), SensorState::kRunning) << "0x87 resumed the sensor";
    EXPECT_TRUE(ComIsUnusable(port_.number()));
    EXPECT_TRUE(button(kCtlConnect)->isEnabled());
    EXPECT_FALSE(button(kCtlRead)->isEnabled());
  }

  dialog.ControlAs<QComboBox>(kCtlEndBank)->setCurrentIndex(5);
  {
    BoxAnswerer answerer(QMessageBox::No);
    button(kCtlExit)->click();
    EXPECT_EQ(answerer.boxes().size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ReadFileBytes(settingsPath_), stored) << "EXIT answered No changes nothing";
  }
  BoxAnswerer answerer(QMessageBox::Yes);
  button(kCtlExit)->click();
  EXPECT_EQ(answerer.boxes().size(), 1u);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(ReadFileBytes(settingsPath_),
            std::to_string(port_.number() - 1) + "\n2\n2\n5\n1\n0\n1\n0\n1\n" + baseName_);
}

}  // namespace
