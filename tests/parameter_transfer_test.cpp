// Parameter READ and WRITE runs against a scripted peer on a real pty.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "formats/parameter_file.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/pty_peer.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;

namespace {

using Kind = RecordingRunView::Kind;

constexpr std::size_t kReadCommandBytes = 3;    // 0x81, index, checksum
constexpr std::size_t kWriteCommandBytes = 67;  // 0x82, index, 64 bytes, checksum

// Names parameterised cases after their "name" field.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& test) {
  return test.param.name;
}

Bytes Frame(std::uint8_t code, const Bytes& payload) {
  Bytes frame{code};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(FrameChecksum(frame));
  return frame;
}

Bytes Wire(const ParamSet& set) {
  Bytes wire(kParamSetBytes);
  EncodeParamSet(set, wire.data());
  return wire;
}

ParamSet SetStartingAt(int first, int step = 1) {
  ParamSet set{};
  for (int i = 0; i < kParamValuesPerSet; ++i) set[i] = static_cast<std::uint16_t>(first + i * step);
  return set;
}

std::string Lines(int count, const std::string& line, const std::string& end = "\n") {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + end;
  return text;
}

class ParameterTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.baseName = (dir_ / "base").string();
    Result<SensorLink> opened = SensorLink::OpenCom(peer_.port());
    ASSERT_TRUE(opened.ok());
    link_ = std::move(opened.value);
  }

  void SelectBanks(int first, int last, bool common) {
    target_.bankParams = 1;
    target_.startBank = first;
    target_.endBank = last;
    target_.commonParams = common ? 1 : 0;
  }
  RunEnd Run(int direction) {
    target_.direction = direction;
    TransferRun run{target_, link_, view_, operator_};
    const RunEnd end = RunTransfer(run);
    cancelStateAfter_ = run.cancelState;
    return end;
  }
  std::string PathOf(const char* suffix) const { return target_.baseName + suffix; }
  // The set indexes of the 0x81 or 0x82 commands the peer received.
  std::vector<int> SentIndexes(std::size_t commandBytes) const {
    const Bytes received = peer_.Received();
    std::vector<int> indexes;
    for (std::size_t at = 0; at + commandBytes <= received.size(); at += commandBytes) {
      indexes.push_back(received[at + 1]);
    }
    return indexes;
  }
  static std::string Msg(int id) { return LoadMessage(id); }

  PtyPeer peer_;
  SensorLink link_;
  int cancelStateAfter_ = kCancelNone;
  TempFolder dir_{"zema-params"};
  TransferTarget target_;
  RecordingRunView view_;
  ScriptedOperator operator_;
};

// --- READ -------------------------------------------------------------------

TEST_F(ParameterTransferTest, ReadOfBanks2To4AndCommonWritesFourFiles) {
  SelectBanks(2, 4, true);
  ParamSet bank2 = SetStartingAt(0);
  bank2[0] = 65535;  // sent as 0xFF 0xFF
  const ParamSet sets[] = {bank2, SetStartingAt(9990), SetStartingAt(10, 2000), SetStartingAt(7)};
  for (std::size_t k = 0; k < 4; ++k) {
    peer_.ReplyAfter(kReadCommandBytes * (k + 1), AckReply(Wire(sets[k])));
  }

  EXPECT_EQ(Run(kDirectionRead), RunEnd::Finished);

  Bytes expected;
  for (std::uint8_t index : {2, 3, 4, 15}) {
    const Bytes frame = Frame(0x81, {index});
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(peer_.Received(), expected);
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"base.pr2.zema", "base.pr3.zema",
                                                       "base.pr4.zema", "base.prM.zema"}));
  const std::string bank2Text = ReadFileBytes(PathOf(".pr2.zema"));
  EXPECT_EQ(bank2Text.substr(0, 8), "65535\n1\n");
  EXPECT_EQ(bank2Text, FormatParamFile(bank2));
  EXPECT_EQ(bank2Text.find('\r'), std::string::npos);
  EXPECT_EQ(ReadFileBytes(PathOf(".pr3.zema")), FormatParamFile(sets[1]));
  EXPECT_EQ(ReadFileBytes(PathOf(".pr4.zema")), FormatParamFile(sets[2]));
  EXPECT_EQ(ReadFileBytes(PathOf(".prM.zema")), FormatParamFile(sets[3]));
  EXPECT_TRUE(operator_.boxes.empty());
}

TEST_F(ParameterTransferTest, ReadStepLinesAndProgressFollowTheRunsTables) {
  SelectBanks(2, 4, true);
  for (std::size_t k = 1; k <= 4; ++k) {
    peer_.ReplyAfter(kReadCommandBytes * k, AckReply(Wire(SetStartingAt(0))));
  }
  EXPECT_EQ(Run(kDirectionRead), RunEnd::Finished);

  EXPECT_EQ(view_.StepLines(),
            (std::vector<std::string>{Msg(117), Msg(117), Msg(117), Msg(118), Msg(121), Msg(122),
                                      Msg(137)}));
  std::vector<int> positions{0, 512, 512, 256, 512, 256, 512, 256, 512};
  positions.insert(positions.end(), 10, 512);  // banks 5 to 14, not selected
  positions.insert(positions.end(), {256, 512, /*compensation*/ 0, 512, /*patterns*/ 512});
  EXPECT_EQ(view_.Positions(), positions);
  EXPECT_TRUE(view_.EveryPositionShown());
  // The parameter step neither shows a bank number nor polls for CANCEL.
  EXPECT_EQ(view_.Count(Kind::Detail), 0);
  EXPECT_EQ(view_.Count(Kind::Pump), 0);
  EXPECT_EQ(view_.Count(Kind::OfferOk), 1);
}

TEST_F(ParameterTransferTest, ReadAsksOnceAboutExistingFilesAndYesOverwritesBoth) {
  SelectBanks(2, 4, false);
  WriteFileBytes(PathOf(".pr3.zema"), "old 3\n");
  WriteFileBytes(PathOf(".pr4.zema"), "old 4\n");
  for (std::size_t k = 1; k <= 3; ++k) {
    peer_.ReplyAfter(kReadCommandBytes * k, AckReply(Wire(SetStartingAt(static_cast<int>(k)))));
  }
  operator_.QueueAnswers({true});

  EXPECT_EQ(Run(kDirectionRead), RunEnd::Finished);
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text, "Found same filename. Do you overwrite?");
  EXPECT_EQ(ReadFileBytes(PathOf(".pr3.zema")), FormatParamFile(SetStartingAt(2)));
  EXPECT_EQ(ReadFileBytes(PathOf(".pr4.zema")), FormatParamFile(SetStartingAt(3)));
}

TEST_F(ParameterTransferTest, ReadRefusedOverwriteStopsAtOnceAndKeepsEarlierFiles) {
  SelectBanks(2, 4, true);
  WriteFileBytes(PathOf(".pr3.zema"), "old 3\n");
  WriteFileBytes(PathOf(".pr4.zema"), "old 4\n");
  peer_.ReplyAfter(kReadCommandBytes, AckReply(Wire(SetStartingAt(1))));
  operator_.QueueAnswers({false});

  EXPECT_EQ(Run(kDirectionRead), RunEnd::OverwriteRefused);
  EXPECT_EQ(SentIndexes(kReadCommandBytes), (std::vector<int>{2}));
  EXPECT_EQ(ReadFileBytes(PathOf(".pr2.zema")), FormatParamFile(SetStartingAt(1)));
  EXPECT_EQ(ReadFileBytes(PathOf(".pr3.zema")), "old 3\n");
  EXPECT_EQ(ReadFileBytes(PathOf(".pr4.zema")), "old 4\n");
  EXPECT_EQ(operator_.boxes.size(), 1u);  // the question, no message after it
  EXPECT_EQ(view_.EndResult(), kRunResultOk);
  EXPECT_EQ(cancelStateAfter_, kCancelNone);
  EXPECT_EQ(view_.LastStepLine(), Msg(122));  // no completion text
}

struct WireFault {
  const char* name;
  Bytes reply;  // to the second request
  int message;
};

void PrintTo(const WireFault& fault, std::ostream* out) { *out << fault.name; }

class ParameterReadFault : public ParameterTransferTest,
                           public ::testing::WithParamInterface<WireFault> {};

TEST_P(ParameterReadFault, ShowsTheLinksMessageAndKeepsFilesAlreadyRead) {
  SelectBanks(2, 4, true);
  WriteFileBytes(PathOf(".pr3.zema"), "older 3\n");
  operator_.QueueAnswers({true});
  peer_.ReplyAfter(kReadCommandBytes, AckReply(Wire(SetStartingAt(1))));
  if (!GetParam().reply.empty()) peer_.ReplyAfter(2 * kReadCommandBytes, GetParam().reply);

  EXPECT_EQ(Run(kDirectionRead), RunEnd::Failed);
  EXPECT_EQ(SentIndexes(kReadCommandBytes), (std::vector<int>{2, 3}));
  ASSERT_EQ(operator_.boxes.size(), 2u);
  EXPECT_EQ(operator_.boxes[1].text, Msg(GetParam().message));
  EXPECT_EQ(operator_.boxes[1].caption, "Error");
  EXPECT_EQ(operator_.boxes[1].icon, BoxIcon::Stop);
  EXPECT_EQ(view_.EndResult(), kRunResultFailed);
  EXPECT_EQ(view_.Count(Kind::OfferOk), 0);
  // The set read before stays; the failed one neither empties nor replaces
  // the older file, and no temporary file is left.
  EXPECT_EQ(ReadFileBytes(PathOf(".pr2.zema")), FormatParamFile(SetStartingAt(1)));
  EXPECT_EQ(ReadFileBytes(PathOf(".pr3.zema")), "older 3\n");
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"base.pr2.zema", "base.pr3.zema"}));
}

Bytes WithBadChecksum() {
  Bytes reply = AckReply(Wire(SetStartingAt(5)));
  reply.back() ^= 0x01;
  return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParameterReadFault,
    ::testing::Values(WireFault{"Silence", {}, kMsgNoResponse},
                      WireFault{"Nak", Bytes(66, 0x15), kMsgInvalidResponse},
                      WireFault{"BadChecksum", WithBadChecksum(), kMsgChecksumError}),
    CaseName<WireFault>);

TEST_F(ParameterTransferTest, ReadIntoAMissingFolderFailsBeforeSending) {
  SelectBanks(0, 0, false);
  target_.baseName = (dir_ / "missing" / "base").string();
  EXPECT_EQ(Run(kDirectionRead), RunEnd::Failed);
  EXPECT_TRUE(peer_.Received().empty());
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text, "Failed to create the file.");
}

// --- WRITE ------------------------------------------------------------------

struct WriteCase {
  const char* name;
  std::string file;
  ParamSet sent;
};

void PrintTo(const WriteCase& test, std::ostream* out) { *out << test.name; }

ParamSet Sent(std::initializer_list<std::uint16_t> leading, std::uint16_t rest = 0) {
  ParamSet set;
  set.fill(rest);
  std::copy(leading.begin(), leading.end(), set.begin());
  return set;
}

std::string FiveDigitsCrLf() {
  std::string text;
  for (int i = 0; i < kParamValuesPerSet; ++i) text += std::to_string(60000 + i) + "\r\n";
  return text;
}

class ParameterWriteConversion : public ParameterTransferTest,
                                 public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ParameterWriteConversion, SendsEachLinesValue) {
  SelectBanks(6, 6, false);
  WriteFileBytes(PathOf(".pr6.zema"), GetParam().file);
  peer_.ReplyAfter(kWriteCommandBytes, AckReply());

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Finished);
  Bytes payload{6};
  const Bytes wire = Wire(GetParam().sent);
  payload.insert(payload.end(), wire.begin(), wire.end());
  EXPECT_EQ(peer_.Received(), Frame(0x82, payload));
  EXPECT_EQ(view_.LastStepLine(), "Writing to ZEMA is completed.");
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParameterWriteConversion,
    ::testing::Values(
        WriteCase{"Max", "65535\n" + Lines(31, "1"), Sent({65535}, 1)},
        WriteCase{"MinusOne", "-1\n" + Lines(31, "1"), Sent({65535}, 1)},
        WriteCase{"Lowest", " -32768 \n" + Lines(31, "1"), Sent({32768}, 1)},
        WriteCase{"EmptyLinesAtTheEnd", Lines(32, "3") + "\n\n", Sent({}, 3)},
        WriteCase{"NoLineFeedAtTheEnd", Lines(31, "4") + "4", Sent({}, 4)},
        WriteCase{"CrLfFiveDigits", FiveDigitsCrLf(), SetStartingAt(60000)},
        // As Notepad saves it: "UTF-8 with BOM", CR LF; a note and a DOS end after the values.
        WriteCase{"EditorsMarkAndNote",
                  "\xEF\xBB\xBF" + Lines(32, "3000", "\r\n") + "checked 3 May\r\n\r\n\x1A",
                  Sent({}, 3000)}),
    CaseName<WriteCase>);

struct RefusedCase {
  const char* name;
  std::string bank2File;
  std::string text;  // FILE stands for the file's path
};

void PrintTo(const RefusedCase& test, std::ostream* out) { *out << test.name; }

std::string NotWhole(int line, const std::string& text) {
  return "Line " + std::to_string(line) +
         " of the parameter file FILE is not a whole number from -32768 to 65535: \"" + text +
         "\"";
}

class ParameterWriteRefusal : public ParameterTransferTest,
                              public ::testing::WithParamInterface<RefusedCase> {};

// A hand-edited file is refused before the first set is sent, naming the
// file, the line as an editor counts it, and the line's text.
TEST_P(ParameterWriteRefusal, RefusesTheFileBeforeAnythingIsSent) {
  SelectBanks(0, 2, false);
  WriteFileBytes(PathOf(".pr0.zema"), Lines(32, "1"));
  WriteFileBytes(PathOf(".pr1.zema"), Lines(32, "1"));
  WriteFileBytes(PathOf(".pr2.zema"), GetParam().bank2File);

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Failed);
  EXPECT_TRUE(peer_.Received().empty());
  ASSERT_EQ(operator_.boxes.size(), 1u);
  std::string expected = GetParam().text;
  expected.replace(expected.find("FILE"), 4, PathOf(".pr2.zema"));
  EXPECT_EQ(operator_.boxes[0].text, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParameterWriteRefusal,
    ::testing::Values(
        RefusedCase{"Word", Lines(2, "1") + "abc\n" + Lines(29, "1"), NotWhole(3, "abc")},
        RefusedCase{"TwoNumbers", "12 34\n" + Lines(31, "1"), NotWhole(1, "12 34")},
        RefusedCase{"Fraction", "3.5\n" + Lines(31, "1"), NotWhole(1, "3.5")},
        RefusedCase{"Exponent", "1e3\n" + Lines(31, "1"), NotWhole(1, "1e3")},
        RefusedCase{"EmptyLine", Lines(8, "1") + "\n" + Lines(23, "1"), NotWhole(9, "")},
        RefusedCase{"Above16Bits", "65536\n" + Lines(31, "1"), NotWhole(1, "65536")},
        RefusedCase{"SixDigits", "999999\n" + Lines(31, "1"), NotWhole(1, "999999")},
        RefusedCase{"ThirtyThreeValues", Lines(33, "1"),
                    "The parameter file FILE holds more than 32 values (line 33: \"1\")."},
        RefusedCase{"ValueAfterANote", Lines(32, "1") + "note\n +7\n",
                    "The parameter file FILE holds more than 32 values (line 34: \" +7\")."}),
    CaseName<RefusedCase>);

TEST_F(ParameterTransferTest, WriteAsksAboutAMissingBankFileAndNoSkipsIt) {
  SelectBanks(2, 4, false);
  WriteFileBytes(PathOf(".pr2.zema"), Lines(32, "2"));
  WriteFileBytes(PathOf(".pr4.zema"), Lines(32, "4"));
  peer_.ReplyAfter(kWriteCommandBytes, AckReply());
  peer_.ReplyAfter(2 * kWriteCommandBytes, AckReply());
  operator_.QueueAnswers({false});

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Finished);
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text,
            "The file of bank parameters3 is not found. Do you abort remaining file(s)?");
  EXPECT_EQ(operator_.boxes[0].caption, "Warning");
  EXPECT_EQ(operator_.boxes[0].icon, BoxIcon::Warning);
  EXPECT_EQ(SentIndexes(kWriteCommandBytes), (std::vector<int>{2, 4}));
  // Slot 3 sent nothing, yet the bar still reaches 512 for it.
  const std::vector<int> positions = view_.Positions();
  const std::vector<int> slots2To4(positions.begin() + 3, positions.begin() + 8);
  EXPECT_EQ(slots2To4, (std::vector<int>{256, 512, 512, 256, 512}));
  EXPECT_EQ(view_.LastStepLine(), Msg(138));
}

TEST_F(ParameterTransferTest, WriteAbortOnAMissingFileEndsTheRunBeforeAnythingIsSent) {
  SelectBanks(2, 4, false);
  WriteFileBytes(PathOf(".pr2.zema"), Lines(32, "2"));
  WriteFileBytes(PathOf(".pr4.zema"), Lines(32, "4"));
  operator_.QueueAnswers({true});

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Failed);
  EXPECT_TRUE(peer_.Received().empty()) << "bank 2 stays as it was";
  ASSERT_EQ(operator_.boxes.size(), 2u);
  EXPECT_EQ(operator_.boxes[1].text, "Transfering is aborted.");
  EXPECT_EQ(operator_.boxes[1].caption, "Error");
  EXPECT_EQ(view_.EndResult(), kRunResultFailed);
}

TEST_F(ParameterTransferTest, TheCommonSetsQuestionCarries15) {
  SelectBanks(0, 14, true);
  target_.bankParams = 0;
  operator_.QueueAnswers({false});
  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Finished);
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text,
            "The file of bank parameters15 is not found. Do you abort remaining file(s)?");
  EXPECT_TRUE(peer_.Received().empty());
}

TEST_F(ParameterTransferTest, AShortFileIsRefusedBeforeAnySetIsSent) {
  SelectBanks(2, 4, true);
  WriteFileBytes(PathOf(".pr2.zema"), Lines(32, "2"));
  WriteFileBytes(PathOf(".pr3.zema"), Lines(32, "3"));
  WriteFileBytes(PathOf(".pr4.zema"), Lines(31, "4"));
  WriteFileBytes(PathOf(".prM.zema"), Lines(32, "5"));

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Failed);
  EXPECT_TRUE(peer_.Received().empty());
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text,
            "The parameter file has fewer than 32 lines: " + PathOf(".pr4.zema"));
  EXPECT_EQ(view_.EndResult(), kRunResultFailed);
}

TEST_F(ParameterTransferTest, WriteWithoutReplyShowsTheLinksMessage) {
  SelectBanks(0, 1, false);
  WriteFileBytes(PathOf(".pr0.zema"), Lines(32, "0"));
  WriteFileBytes(PathOf(".pr1.zema"), Lines(32, "1"));
  peer_.ReplyAfter(kWriteCommandBytes, AckReply());
  peer_.ReplyAfter(2 * kWriteCommandBytes, Bytes{0x06, 0x00});

  EXPECT_EQ(Run(kDirectionWrite), RunEnd::Failed);
  EXPECT_EQ(SentIndexes(kWriteCommandBytes), (std::vector<int>{0, 1}));
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text, Msg(kMsgChecksumError));
}

}  // namespace
