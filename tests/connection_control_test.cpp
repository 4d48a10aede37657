// CONNECT and RUN against a scripted sensor on a real pseudo-terminal.
#include "console/connection_control.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "console/connection_states.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "support/com_port_claim.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/pty_peer.h"
#include "tests/support/sim_fixture.h"

namespace {

const Bytes kConfirm{0x88, 0x77};
const Bytes kResume{0x87, 0x78};
const Bytes kHandshake{'C', 'P', 'l'};
const Bytes kPcModeGranted{0x06, 0x02};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct ExpectedBox {
  std::vector<int> messages;  // joined without separator
  const char* caption;
  BoxIcon icon;
  bool question;
};

std::string Text(const std::vector<int>& messages) {
  std::string text;
  for (int id : messages) text += LoadMessage(id);
  return text;
}

class ConnectionControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The disconnected state after start-up in "PC LOAD/SAVE" mode.
    controls[kCtlPortList].selection = peer.port() - 1;
    controls[kCtlComModeBox].enabled = false;
    controls[kCtlSpeedList].enabled = false;
    controls[kCtlSpeedList].selection = 4;
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) controls[id].enabled = false;
    controls.SetFocusTo(kCtlPortList);
  }
  void TearDown() override { link.Close(); }

  bool Connect(bool commandMode, int speedIndex) {
    ConnectionOutcome outcome = ConnectSensor(peer.port() - 1, commandMode, speedIndex, dialogs);
    link = std::move(outcome.link);
    return ApplyConnectOutcome(outcome, controls, dialogs);
  }

  void ExpectBoxes(const std::vector<ExpectedBox>& expected) {
    ASSERT_EQ(dialogs.boxes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("box " + std::to_string(i));
      EXPECT_EQ(dialogs.boxes[i].text, Text(expected[i].messages));
      EXPECT_EQ(dialogs.boxes[i].caption, expected[i].caption);
      EXPECT_EQ(dialogs.boxes[i].icon, expected[i].icon);
      EXPECT_EQ(dialogs.boxes[i].question, expected[i].question);
    }
    EXPECT_EQ(dialogs.unexpectedQuestions, 0);
  }

  void ExpectConnectedState() {
    for (int id : {kCtlPortList, kCtlComModeBox, kCtlSpeedList, kCtlConnect}) {
      EXPECT_FALSE(controls.IsControlEnabled(id)) << id;
    }
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_TRUE(controls.IsControlEnabled(id)) << id;
    EXPECT_EQ(controls.focus(), kCtlRun);
  }

  void ExpectStartUpStateUnchanged() {
    EXPECT_TRUE(controls.IsControlEnabled(kCtlPortList));
    EXPECT_FALSE(controls.IsControlEnabled(kCtlComModeBox));
    EXPECT_FALSE(controls.IsControlEnabled(kCtlSpeedList));
    EXPECT_TRUE(controls.IsControlEnabled(kCtlConnect));
    for (int id : {kCtlRead, kCtlWrite, kCtlRun}) {
      EXPECT_FALSE(controls.IsControlEnabled(id)) << id;
    }
    EXPECT_EQ(controls.focus(), kCtlPortList);
  }

  // Everything the program sent, once `count` bytes are in (or at once).
  Bytes Sent(std::size_t count) {
    if (count > 0) {
      EXPECT_TRUE(peer.WaitForReceived(count));
    }
    return peer.Received();
  }

  PtyPeer peer;
  FakeControls controls;
  ScriptedOperator dialogs;
  SensorLink link;
};

struct ConnectCase {
  const char* name;
  bool commandMode;
  int speedIndex;
  std::vector<bool> answers;
  std::vector<std::pair<std::size_t, Bytes>> replies;  // sent after n bytes in all
  Bytes expectedSent;
  unsigned expectedBaud;  // line speed of every byte sent
  std::vector<ExpectedBox> expectedBoxes;
  bool connected;
};

const ExpectedBox kAskStop{{kMsgAgreeStopOperation}, "Warning", BoxIcon::Warning, true};

const ConnectCase kConnectCases[] = {
    {"PcLoadSaveModeOnlyConfirmsTheLinkAt57600", false, 0, {},
     {{2, AckReply()}}, kConfirm, 57600, {}, true},
    {"PcLoadSaveModeIgnoresTheSpeedList", false, -1, {},
     {{2, AckReply()}}, kConfirm, 57600, {}, true},
    {"PcLoadSaveModeReportsAWrongChecksum", false, 4, {},
     {{2, {0x06, 0x00}}}, kConfirm, 57600,
     {{{kMsgChecksumError}, "Error", BoxIcon::Stop, false}}, false},
    {"PcLoadSaveModeReportsASilentSensor", false, 4, {},
     {}, kConfirm, 57600,
     {{{kMsgNoResponse}, "Error", BoxIcon::Stop, false}}, false},
    {"PcLoadSaveModeReportsAReplyWithoutAck", false, 4, {},
     {{2, {0x15, 0xEA}}}, kConfirm, 57600,
     {{{kMsgInvalidResponse}, "Error", BoxIcon::Stop, false}}, false},
    {"CommandModeDeclinedSendsNothing", true, 2, {false},
     {}, {}, 0, {kAskStop}, false},
    {"CommandModeRefusesAnInvalidSpeed", true, -1, {true},
     {}, {}, 0,
     {kAskStop, {{kMsgBaudRateInvalid}, "Error", BoxIcon::Stop, false}}, false},
    {"CommandModeRefusesASpeedPastTheList", true, 5, {true},
     {}, {}, 0,
     {kAskStop, {{kMsgBaudRateInvalid}, "Error", BoxIcon::Stop, false}}, false},
    {"CommandModeAt4800", true, 0, {true},
     {{3, kPcModeGranted}, {5, AckReply()}}, Join({kHandshake, kConfirm}), 4800,
     {kAskStop}, true},
    {"CommandModeAt9600", true, 1, {true},
     {{3, kPcModeGranted}, {5, AckReply()}}, Join({kHandshake, kConfirm}), 9600,
     {kAskStop}, true},
    {"CommandModeAt19200", true, 2, {true},
     {{3, kPcModeGranted}, {5, AckReply()}}, Join({kHandshake, kConfirm}), 19200,
     {kAskStop}, true},
    {"CommandModeAt38400", true, 3, {true},
     {{3, kPcModeGranted}, {5, AckReply()}}, Join({kHandshake, kConfirm}), 38400,
     {kAskStop}, true},
    {"CommandModeAt57600", true, 4, {true},
     {{3, kPcModeGranted}, {5, AckReply()}}, Join({kHandshake, kConfirm}), 57600,
     {kAskStop}, true},
    {"SilentHandshakeAnsweredYesGoesOnToConfirm", true, 2, {true, true},
     {{5, AckReply()}}, Join({kHandshake, kConfirm}), 19200,
     {kAskStop, {{kMsgNoResponse, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true}}, true},
    {"SilentHandshakeAnsweredNoClosesThePort", true, 2, {true, false},
     {}, kHandshake, 19200,
     {kAskStop, {{kMsgNoResponse, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true}}, false},
    {"RefusedHandshakeJoinsItsOwnText", true, 1, {true, false},
     {{3, {0x15}}}, kHandshake, 9600,
     {kAskStop, {{kMsgSensorGotInvalidData, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true}},
     false},
    {"HandshakeYesThenSilentConfirmReportsIt", true, 4, {true, true},
     {}, Join({kHandshake, kConfirm}), 57600,
     {kAskStop, {{kMsgNoResponse, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true},
      {{kMsgNoResponse}, "Error", BoxIcon::Stop, false}}, false},
};

class ConnectSensorTest : public ConnectionControlTest,
                          public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectSensorTest, FollowsTheSequence) {
  const ConnectCase& c = GetParam();
  for (bool answer : c.answers) dialogs.QueueAnswers({answer});
  for (const auto& [after, bytes] : c.replies) peer.ReplyAfter(after, bytes);

  EXPECT_EQ(Connect(c.commandMode, c.speedIndex), c.connected);

  if (c.connected) {
    EXPECT_EQ(link.Port().Device(), ComDevicePath(peer.port()));
  }
  EXPECT_EQ(Sent(c.expectedSent.size()), c.expectedSent);
  for (std::size_t i = 0; i < c.expectedSent.size(); ++i) {
    EXPECT_EQ(peer.SpeedAtByte(i), c.expectedBaud) << "byte " << i;
  }
  ExpectBoxes(c.expectedBoxes);
  EXPECT_EQ(ComIsUnusable(peer.port()), !c.connected) << "port open exactly when connected";
  if (c.connected) {
    ExpectConnectedState();
  } else {
    ExpectStartUpStateUnchanged();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectSensorTest, ::testing::ValuesIn(kConnectCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ConnectionControlTest, PcLoadSaveModeRunsTheLine8N1At57600) {
  peer.ReplyAfter(2, AckReply());
  ASSERT_TRUE(Connect(false, 0));
  const termios line = peer.CurrentSettings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ConnectionControlTest, CommandModeDeclinedStillOpenedThePortAtItsOpeningSpeed) {
  // ComOpen puts every port at 9600 baud: the pty's record shows that the
  // port was opened although nothing was sent.
  dialogs.QueueAnswers({false});
  EXPECT_FALSE(Connect(true, 2));
  const termios line = peer.CurrentSettings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_TRUE(ComIsUnusable(peer.port()));
  EXPECT_TRUE(peer.Received().empty());
}

TEST_F(ConnectionControlTest, NoPortSelectedReportsOpenFailureAndOpensNothing) {
  EXPECT_FALSE(ApplyConnectOutcome(ConnectSensor(-1, false, 4, dialogs), controls, dialogs));
  ExpectBoxes({{{kMsgComOpenFailed}, "Error", BoxIcon::Stop, false}});
  EXPECT_EQ(dialogs.boxes[0].detail, "no COM port was chosen");
  EXPECT_TRUE(ComIsUnusable(peer.port()));
  EXPECT_TRUE(peer.Received().empty());
  ExpectStartUpStateUnchanged();
}

TEST_F(ConnectionControlTest, APortThatCannotBeOpenedReportsOpenFailure) {
  ComClose(peer.port());
  // Test peers claim numbers from 100 up; 99 has no device behind it.
  const int missingPort = 99;
  EXPECT_FALSE(
      ApplyConnectOutcome(ConnectSensor(missingPort - 1, true, 2, dialogs), controls, dialogs));
  ExpectBoxes({{{kMsgComOpenFailed}, "Error", BoxIcon::Stop, false}});
  EXPECT_EQ(dialogs.boxes[0].detail,
            "no device is linked as COM99 (no dosdevices/com99 link, and /dev/ttyS98 does not "
            "exist)");
  ExpectStartUpStateUnchanged();
}

// The detail line under "Failed to open COM port." says what the system
// said about the device the number resolved to.
TEST_F(ConnectionControlTest, AFailedOpenKeepsItsCause) {
  const std::string file = ::testing::TempDir() + "zema-not-a-tty";
  WriteFileBytes(file, "plain file");
  ComPortClaim dangling("/dev/zema-no-such-device");
  ComPortClaim plain(file);
  const int held = ::open(peer.devicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const struct {
    int port;
    std::string detail;
  } cases[] = {
      {dangling.port(), dangling.linkPath() + " -> /dev/zema-no-such-device: the device it "
                                              "names does not exist"},
      {plain.port(), plain.linkPath() + ": not a serial port (not a terminal device)"},
      {peer.port(), ComDevicePath(peer.port()) + ": in use by another program"},
  };
  for (const auto& c : cases) {
    const ConnectionOutcome outcome = ConnectSensor(c.port - 1, false, 4, dialogs);
    EXPECT_EQ(outcome.result, ConnectionOutcome::Result::Failed);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->message, kMsgComOpenFailed);
    EXPECT_EQ(outcome.failure->text, LoadMessage(kMsgComOpenFailed));
    EXPECT_EQ(outcome.failure->detail, c.detail);
  }
  ::close(held);
  // A device path of its own number opens like a COM port.
  const int bound = ComBindDevice(peer.devicePath());
  EXPECT_EQ(ComDevicePath(bound), peer.devicePath());
  EXPECT_EQ(ComOpen(bound, 512, 512), kOpenOk);
  ComClose(bound);
  ComUnbindDevice(bound);
  std::remove(file.c_str());
}

TEST_F(ConnectionControlTest, FailureTextsFollowTheUserLanguage) {
  struct English {
    ~English() { SetLanguage(Language::English); }
  } restore;
  SetLanguage(Language::German);
  dialogs.QueueAnswers({true, false});
  EXPECT_FALSE(Connect(true, 2));
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].text, LoadMessage(kMsgAgreeStopOperation, Language::German));
  EXPECT_EQ(dialogs.boxes[1].text, LoadMessage(kMsgNoResponse, Language::German) +
                                       LoadMessage(kMsgIfPcLoadSave, Language::German));
  EXPECT_EQ(dialogs.boxes[1].caption, "Error");  // captions stay English
}

struct ResumeCase {
  const char* name;
  bool commandMode;
  Bytes reply;  // empty: the sensor stays silent
  std::vector<ExpectedBox> expectedBoxes;
};

const ResumeCase kResumeCases[] = {
    {"AcknowledgedInPcLoadSaveMode", false, AckReply(), {}},
    {"AcknowledgedInCommandMode", true, AckReply(), {}},
    {"SilentSensorInPcLoadSaveMode", false, {},
     {{{kMsgNoResponse}, "Error", BoxIcon::Stop, false}}},
    {"SilentSensorInCommandMode", true, {},
     {{{kMsgNoResponse}, "Error", BoxIcon::Stop, false}}},
    {"WrongChecksum", false, {0x06, 0xF8},
     {{{kMsgChecksumError}, "Error", BoxIcon::Stop, false}}},
};

class ResumeSensorTest : public ConnectionControlTest,
                         public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(ResumeSensorTest, AlwaysClosesThePortAndDisconnects) {
  const ResumeCase& c = GetParam();
  controls.SetChecked(kCtlComModeBox, c.commandMode);
  if (c.commandMode) {
    dialogs.QueueAnswers({true});
    peer.ReplyAfter(3, kPcModeGranted);
    peer.ReplyAfter(5, AckReply());
  } else {
    peer.ReplyAfter(2, AckReply());
  }
  ASSERT_TRUE(Connect(c.commandMode, 2));
  const std::size_t before = peer.Received().size();
  dialogs.boxes.clear();
  if (!c.reply.empty()) peer.ReplyAfter(before + 2, c.reply);

  ApplyResumeOutcome(ResumeSensor(link), controls, dialogs);

  const Bytes sent = Sent(before + 2);
  EXPECT_EQ(Bytes(sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()), kResume);
  ExpectBoxes(c.expectedBoxes);
  EXPECT_TRUE(ComIsUnusable(peer.port()));
  EXPECT_TRUE(controls.IsControlEnabled(kCtlPortList));
  EXPECT_TRUE(controls.IsControlEnabled(kCtlComModeBox));
  EXPECT_EQ(controls.IsControlEnabled(kCtlSpeedList), c.commandMode)
      << "the speed list follows the com-mode box";
  EXPECT_TRUE(controls.IsControlEnabled(kCtlConnect));
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) EXPECT_FALSE(controls.IsControlEnabled(id)) << id;
  EXPECT_EQ(controls.focus(), kCtlConnect);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResumeSensorTest, ::testing::ValuesIn(kResumeCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ConnectionControlTest, ThePortCanBeConnectedAgainAfterRun) {
  peer.ReplyAfter(2, AckReply());
  ASSERT_TRUE(Connect(false, 4));
  peer.ReplyAfter(4, AckReply());
  ApplyResumeOutcome(ResumeSensor(link), controls, dialogs);
  peer.ReplyAfter(6, AckReply());
  EXPECT_TRUE(Connect(false, 4));
  EXPECT_EQ(Sent(6), Join({kConfirm, kResume, kConfirm}));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(CommandModeLineMode, MapsTheSpeedListToNoParityWords) {
  const std::pair<int, std::uint32_t> table[] = {
      {-1, 0}, {0, 0x106}, {1, 0x107}, {2, 0x109}, {3, 0x10A}, {4, 0x10C}, {5, 0}};
  for (const auto& [index, word] : table) EXPECT_EQ(CommandModeLineMode(index), word) << index;
}

// --- Against the virtual sensor ---------------------------------------------

struct SimCase {
  const char* name;
  zema::sim::ConnectionMode mode;
  int communic;
  bool commandMode;  // the com-mode box
  int speedIndex;
  std::vector<bool> answers;
  std::vector<ExpectedBox> expectedBoxes;
  bool connected;
  zema::sim::SensorState stateWhenConnected;
  zema::sim::SensorState stateAfterRun;
};

using zema::sim::ConnectionMode;
using zema::sim::SensorState;

const SimCase kSimCases[] = {
    {"MenuSensorInPcLoadSaveMode", ConnectionMode::kMenu, 5, false, 4, {}, {}, true,
     SensorState::kMenu, SensorState::kMenu},
    {"RunningSensorAtItsSpeed", ConnectionMode::kCommand, 3, true, 2, {true}, {kAskStop}, true,
     SensorState::kPcCommunication, SensorState::kRunning},
    {"RunningSensorAt4800", ConnectionMode::kCommand, 1, true, 0, {true}, {kAskStop}, true,
     SensorState::kPcCommunication, SensorState::kRunning},
    {"RunningSensorAtAnotherSpeedDeclined", ConnectionMode::kCommand, 3, true, 4, {true, false},
     {kAskStop, {{kMsgNoResponse, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true}}, false,
     SensorState::kRunning, SensorState::kRunning},
    {"MenuSensorReachedInCommandModeAfterYes", ConnectionMode::kMenu, 5, true, 4, {true, true},
     {kAskStop, {{kMsgSensorGotInvalidData, kMsgIfPcLoadSave}, "Error", BoxIcon::Warning, true}},
     true, SensorState::kMenu, SensorState::kMenu},
};

class ConnectToVirtualSensorTest : public ::testing::TestWithParam<SimCase> {};

TEST_P(ConnectToVirtualSensorTest, ConnectsAndResumes) {
  const SimCase& c = GetParam();
  SimFixture::Options options;
  options.mode = c.mode;
  options.communic = c.communic;
  SimFixture sim(options);
  FakeControls controls;
  controls.SetChecked(kCtlComModeBox, c.commandMode);
  ScriptedOperator dialogs;
  for (bool answer : c.answers) dialogs.QueueAnswers({answer});

  ConnectionOutcome outcome = ConnectSensor(sim.port() - 1, c.commandMode, c.speedIndex, dialogs);
  EXPECT_EQ(ApplyConnectOutcome(outcome, controls, dialogs), c.connected);
  SensorLink link = std::move(outcome.link);
  ASSERT_EQ(dialogs.boxes.size(), c.expectedBoxes.size());
  for (std::size_t i = 0; i < c.expectedBoxes.size(); ++i) {
    EXPECT_EQ(dialogs.boxes[i].text, Text(c.expectedBoxes[i].messages)) << i;
  }
  EXPECT_EQ(sim.sensor().state(), c.stateWhenConnected);
  if (!c.connected) {
    EXPECT_TRUE(ComIsUnusable(sim.port()));
    return;
  }
  EXPECT_EQ(controls.focus(), kCtlRun);

  dialogs.boxes.clear();
  ApplyResumeOutcome(ResumeSensor(link), controls, dialogs);
  EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes.front().text;
  EXPECT_TRUE(ComIsUnusable(sim.port()));
  EXPECT_EQ(sim.sensor().state(), c.stateAfterRun);
  EXPECT_EQ(controls.focus(), kCtlConnect);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectToVirtualSensorTest, ::testing::ValuesIn(kSimCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
