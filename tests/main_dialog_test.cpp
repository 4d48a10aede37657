// The main dialog's and the application's handlers in a fake window: the
// state after start-up, the com-mode box, Ref., and CONNECT / READ / WRITE /
// RUN / EXIT / Esc as an operator meets them, against the virtual sensor.
#include "console/main_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "console/base_name_choice.h"
#include "console/loader_application.h"
#include "formats/parameter_file.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/port_list_port.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zema::sim::SensorState;

class LoaderDlgTest : public ::testing::Test {
 protected:
  TempFolder folder_{"zema-loader-dlg"};
  const fs::path settingsPath_ = folder_ / "zema-loader.ini";
  FakeOperatorScript script_;
  CLoaderDlg dialog_{settingsPath_.string()};
  FakeDialogWindow window_{dialog_, script_};
};

TEST_F(LoaderDlgTest, StartsDisconnectedWithTheChoicesOfTheSettingsFile) {
  const struct {
    std::optional<std::string> stored;  // nullopt: no settings file
    const char* connect;
    bool commandMode;
    const char* speed;
    const char* baseName;
    const char* selected;
  } kStarts[] = {
      {std::nullopt, "Confirm Communication", false, "57600 (5)", "Untitled", "Untitled"},
      {"2\n1\n3\n5\n0\n1\n1\n1\n1\n/data/lines/lineA", "CONNECT(Stop ZEMA)", true, "9600 (2)",
       "/data/lines/lineA", "lineA"},
  };
  for (const auto& start : kStarts) {
    SCOPED_TRACE(start.connect);
    if (start.stored) WriteFileBytes(settingsPath_, *start.stored);
    CLoaderDlg dialog(settingsPath_.string());
    FakeDialogWindow window(dialog, script_);
    window.Open();
    EXPECT_EQ(window.ControlText(kCtlConnect), start.connect);
    EXPECT_EQ(window.IsChecked(kCtlComModeBox), start.commandMode);
    EXPECT_EQ(window.IsControlEnabled(kCtlSpeedList), start.commandMode);
    EXPECT_EQ(window.ControlText(kCtlSpeedList), start.speed);
    EXPECT_EQ(window.ControlText(kCtlBaseName), start.baseName);
    EXPECT_EQ(window.SelectedText(kCtlBaseName), start.selected);
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_FALSE(window.IsControlEnabled(id)) << id;
    EXPECT_EQ(window.focus(), kCtlPortList);
    EXPECT_TRUE(window.iconSet());
  }
  EXPECT_TRUE(script_.boxes.boxes.empty());
}

TEST_F(LoaderDlgTest, RefPutsTheChosenFilesBaseNameIntoTheFieldWithItsNameSelected) {
  const fs::path lines = folder_ / "lines";
  const std::string folder = lines.string() + "/";
  const struct {
    std::optional<std::string> chosen;  // nullopt: the picker was cancelled
    std::string field;
    const char* selected;
    std::string opensIn;  // the folder the picker opened in: the field's, when it exists
  } kChoices[] = {
      {folder + "lineA.pr3.zema", folder + "lineA", "lineA", ""},
      {std::nullopt, folder + "lineA", "lineA", ""},
      {folder + "photo.bmp", folder + "photo.bmp", "photo.bmp", ""},
      {"C:\\data\\Größe.pr0.zema", "C:\\data\\Größe", "Größe", ""},
      {folder_.path().string() + "/lineB.pt0.bmp", folder_.path().string() + "/lineB", "lineB", ""},
      {std::nullopt, folder_.path().string() + "/lineB", "lineB", folder_.path().string()},
  };
  window_.Open();
  for (const auto& choice : kChoices) {
    SCOPED_TRACE(choice.chosen.value_or("(cancelled)"));
    script_.picker.queued = {choice.chosen};
    EXPECT_TRUE(window_.Click(kCtlRef));
    EXPECT_EQ(script_.picker.offered.data(), kBaseNameFilters.data());
    EXPECT_EQ(script_.picker.offered.size(), kBaseNameFilters.size());
    EXPECT_EQ(script_.picker.openedIn, choice.opensIn);
    EXPECT_EQ(window_.ControlText(kCtlBaseName), choice.field);
    EXPECT_EQ(window_.SelectedText(kCtlBaseName), choice.selected);
  }
  EXPECT_FALSE(fs::exists(lines)) << "a chosen file need not exist";
}

TEST_F(LoaderDlgTest, AClickOrEscWhileAHandlerRunsIsIgnoredAndEscEndsTheDialogWithoutSaving) {
  window_.Open();
  window_.SetListSelection(kCtlPortList, -1);
  // While WRITE asks (a message box's event loop lets the main dialog's
  // events through), the operator clicks CONNECT, EXIT and presses Esc.
  script_.boxes.whileAsking = [this](const ScriptedOperator::Box&) {
    for (int id : {kCtlConnect, kCtlExit}) window_.Click(id);
    window_.PressEsc();
  };
  window_.EnableControl(kCtlWrite, true);
  script_.boxes.QueueAnswers({false});
  window_.Click(kCtlWrite);
  EXPECT_EQ(script_.boxes.boxes.size(), 1u) << "only WRITE's question";
  EXPECT_FALSE(window_.result().has_value());
  EXPECT_TRUE(script_.modalRuns.empty());

  window_.PressEsc();
  EXPECT_EQ(window_.result(), kDialogResultCancel);
  EXPECT_EQ(script_.boxes.boxes.size(), 1u);
  EXPECT_FALSE(fs::exists(settingsPath_));
}

TEST_F(LoaderDlgTest, TheApplicationRunsTheMainDialogInTheUsersLanguage) {
  FakeDialogToolkit toolkit(script_);
  script_.whenWaiting = [](FakeDialogWindow& window) {
    window.PressEsc();
    return true;
  };
  EXPECT_FALSE(CLoaderApp().InitInstance(toolkit));
  EXPECT_EQ(toolkit.initialisedFor, CurrentLanguage());
  ASSERT_EQ(script_.modalRuns.size(), 1u);
  EXPECT_EQ(script_.modalRuns[0].templateId, kMainDialogTemplate);
  EXPECT_EQ(script_.modalRuns[0].result, kDialogResultCancel);
}

// A line engineer's session in either connection mode: started from the
// settings file, CONNECT, READ, WRITE answered No then Yes, RUN, EXIT
// answered No then Yes.
TEST(LoaderSession, ConnectReadWriteRunExitInBothModes) {
  using Mode = zema::sim::ConnectionMode;
  const struct {
    Mode mode;
    int speedIndex;                             // "19200 (3)" in command mode
    std::vector<std::string> connectQuestions;  // answered Yes
    SensorState connected, resumed;             // after CONNECT, after RUN
  } kModes[] = {
      {Mode::kMenu, 4, {}, SensorState::kMenu, SensorState::kMenu},
      {Mode::kCommand,
       2,
       {"Agree to stop operation of ZEMA?"},
       SensorState::kPcCommunication,
       SensorState::kRunning},
  };
  for (const auto& mode : kModes) {
    const bool commandMode = mode.mode == Mode::kCommand;
    SCOPED_TRACE(commandMode ? "command mode" : "PC LOAD/SAVE mode");
    SimFixture::Options options;
    options.mode = mode.mode;
    options.communic = mode.speedIndex + 1;
    SimFixture sim(options);
    TempFolder folder("zema-loader-session");
    PortListPort port(folder / "config", sim.devicePath());
    ASSERT_NE(port.number(), 0) << "COM1..COM9 are all linked in " << ExecutableDosDevicesFolder();
    const std::string baseName = (folder / "line1").string();
    const fs::path settingsPath = folder / "zema-loader.ini";
    const auto settings = [&](int endBank) {
      return std::to_string(port.listIndex()) + "\n" + std::to_string(mode.speedIndex) + "\n2\n" +
             std::to_string(endBank) + "\n1\n0\n1\n0\n" + (commandMode ? "1\n" : "0\n") + baseName;
    };
    const std::string stored = settings(3);
    WriteFileBytes(settingsPath, stored);

    FakeOperatorScript script;
    CLoaderDlg dialog(settingsPath.string());
    FakeDialogWindow window(dialog, script);
    window.Open();
    const auto questions = [&script] {
      std::vector<std::string> texts;
      for (const auto& box : script.boxes.boxes) texts.push_back(box.text);
      script.boxes.boxes.clear();
      return texts;
    };

    if (commandMode) script.boxes.QueueAnswers({true});
    window.Click(kCtlConnect);
    EXPECT_EQ(questions(), mode.connectQuestions);
    ASSERT_TRUE(window.IsControlEnabled(kCtlRun));
    EXPECT_EQ(sim.sensor().state(), mode.connected);

    window.Click(kCtlRead);
    ASSERT_EQ(script.modalRuns.size(), 1u);
    EXPECT_EQ(script.modalRuns[0].templateId, kProgressDialogTemplate);
    EXPECT_EQ(script.modalRuns[0].result, kDialogResultOk) << "OK closed it";
    EXPECT_EQ(script.modalRuns[0].controls[kCtlStepLine].text, "Reading from ZEMA is completed.");
    EXPECT_TRUE(questions().empty()) << "READ asks nothing";
    EXPECT_TRUE(fs::exists(baseName + ".pr3.zema"));
    EXPECT_FALSE(fs::exists(baseName + ".pr4.zema")) << "banks 2 to 3 only";

    sim.EditMemory([](zema::sim::SensorMemory& memory) { memory.params[3][0] = 4242; });
    script.boxes.QueueAnswers({false});
    window.Click(kCtlWrite);
    const std::vector<ScriptedOperator::Box> warned = script.boxes.boxes;
    EXPECT_EQ(questions(), (std::vector<std::string>{"Agree to overwrite ZEMA settings?"}));
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_EQ(warned[0].caption, "Warning!");
    EXPECT_EQ(warned[0].icon, BoxIcon::Warning);
    EXPECT_EQ(script.modalRuns.size(), 1u) << "No starts no transfer";
    EXPECT_EQ(sim.Memory().params[3][0], 4242);

    script.boxes.QueueAnswers({true});
    window.Click(kCtlWrite);
    ASSERT_EQ(script.modalRuns.size(), 2u);
    EXPECT_EQ(script.modalRuns[1].controls[kCtlStepLine].text, "Writing to ZEMA is completed.");
    EXPECT_EQ(questions().size(), 1u);
    EXPECT_NE(sim.Memory().params[3][0], 4242) << "the file read before went back in";
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_TRUE(window.IsControlEnabled(id)) << id;

    window.Click(kCtlRun);
    EXPECT_TRUE(questions().empty());
    EXPECT_EQ(sim.sensor().state(), mode.resumed);
    EXPECT_TRUE(ComIsUnusable(port.number()));
    EXPECT_TRUE(window.IsControlEnabled(kCtlConnect));
    EXPECT_FALSE(window.IsControlEnabled(kCtlRead));

    window.SetListSelection(kCtlEndBank, 5);
    script.boxes.QueueAnswers({false});
    window.Click(kCtlExit);
    EXPECT_EQ(questions(), (std::vector<std::string>{"Agree to Exit?"}));
    EXPECT_FALSE(window.result().has_value());
    EXPECT_EQ(ReadFileBytes(settingsPath), stored) << "EXIT answered No changes nothing";

    script.boxes.QueueAnswers({true});
    window.Click(kCtlExit);
    EXPECT_EQ(questions().size(), 1u) << "a save that works shows nothing";
    EXPECT_EQ(window.result(), kDialogResultOk);
    EXPECT_EQ(ReadFileBytes(settingsPath), settings(5));
    EXPECT_EQ(script.boxes.unexpectedQuestions, 0);
  }
}

// The main dialog connected to the virtual sensor (through its link, which follows
// a replug), the sets of banks 2 to 4 ticked, their files (value 7) beside.
struct ConnectedLoader {
  ConnectedLoader() {
    WriteFileBytes(folder / "ini", std::to_string(port.listIndex()) + "\n4\n2\n4\n0\n0\n1\n0\n0\n" +
                                       (folder / "b").string());
    for (char bank : {'2', '3', '4'}) WriteFileBytes(Bank(bank), FormatParamFile({7}));
    window.Open();
    window.Click(kCtlConnect);
    sim.ClearCommands();
  }
  ~ConnectedLoader() { ComClose(port.number()); }
  fs::path Bank(char bank) const { return folder / (std::string("b.pr") + bank + ".zema"); }
  SimFixture sim;
  TempFolder folder{"zema-connected-loader"};
  PortListPort port{folder / "config",
                    ExecutableDosDevicesFolder() + "/com" + std::to_string(sim.port())};
  FakeOperatorScript script;
  CLoaderDlg dialog{(folder / "ini").string()};
  FakeDialogWindow window{dialog, script};
};

// A pulled cable disconnects the dialog, so CONNECT works at once; a time-out does not.
TEST(ConnectedLoader, APulledCableDisconnectsTheDialog) {
  for (const auto fault : {zema::sim::FaultKind::kHangUp, zema::sim::FaultKind::kNoReply}) {
    const bool gone = fault == zema::sim::FaultKind::kHangUp;
    ConnectedLoader loader;
    loader.sim.AddFault(zema::sim::CommandFault{fault, 1, 0x82});
    loader.script.boxes.QueueAnswers({true});
    loader.window.Click(kCtlWrite);
    EXPECT_EQ(loader.window.IsControlEnabled(kCtlWrite), !gone);
    loader.sim.Replug();
    EXPECT_EQ(loader.window.Click(kCtlConnect), gone);
    EXPECT_TRUE(loader.window.IsControlEnabled(kCtlRun)) << gone;
  }
}

// WRITE asks about a missing file before it sends anything; one gone later, at its turn.
TEST(ConnectedLoader, WriteAsksAboutAMissingFileBeforeItSendsAnything) {
  for (const bool goneAtTheStart : {true, false}) {
    for (const bool abort : {true, false}) {
      ConnectedLoader loader;
      if (goneAtTheStart) fs::remove(loader.Bank('3'));
      loader.sim.SetCommandHook([&loader](std::size_t, auto) { fs::remove(loader.Bank('3')); });
      std::size_t sent = 0;
      loader.script.boxes.whileAsking = [&](auto&) { sent = loader.sim.Commands().size(); };
      loader.script.boxes.QueueAnswers({true, abort});
      loader.window.Click(kCtlWrite);
      EXPECT_EQ(sent, goneAtTheStart ? 0u : 1u) << "commands sent before the question";
      EXPECT_EQ(loader.sim.Memory().params[2][0] == 7, !(goneAtTheStart && abort));
      EXPECT_EQ(loader.sim.Memory().params[4][0] == 7, !abort);
    }
  }
}

// Leaving while connected (EXIT's Yes, Esc) offers RUN first; No leaves the sensor be.
TEST(ConnectedLoader, LeavingOffersToSendTheSensorBackToRun) {
  for (const bool byExit : {true, false}) {
    ConnectedLoader loader;
    loader.script.boxes.QueueAnswers({byExit, byExit});
    byExit ? void(loader.window.Click(kCtlExit)) : loader.window.PressEsc();
    ASSERT_EQ(loader.script.boxes.boxes.size(), byExit ? 2u : 1u);
    EXPECT_EQ(loader.script.boxes.boxes.back().text, "Return ZEMA to RUN before exit?");
    EXPECT_EQ(loader.window.result(), byExit ? kDialogResultOk : kDialogResultCancel);
    EXPECT_EQ(loader.sim.Commands().size(), byExit ? 1u : 0u) << "0x87 after Yes only";
  }
}

}  // namespace
