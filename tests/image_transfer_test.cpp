// Compensation and pattern READ and WRITE runs against the virtual sensor:
// what reaches the files and the sensor, the exchanges, the progress and
// every way a run stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "formats/pattern_image.h"
#include "link/packet.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::SensorMemory;

namespace {

using Kind = RecordingRunView::Kind;

constexpr int kRead = kDirectionRead;
constexpr int kWrite = kDirectionWrite;
constexpr int kPixels = kImageWidth * kImageHeight;
constexpr std::size_t kTableSamples = 96 * 128;

// A command as the sensor took it: its code and first payload byte (the
// image selector or block number).
struct Sent {
  int code;
  int arg;
  bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& sent, std::ostream* out) {
  *out << std::hex << "0x" << sent.code << "/" << std::dec << sent.arg;
}

enum class Image { Compensation, Pattern };

// Every command of one image in the order the run sends them.
std::vector<Sent> FullSequence(Image image, int direction, int bank = 0) {
  const bool reading = direction == kRead;
  std::vector<Sent> sent;
  auto section = [&](int selector, int first, int last) {
    if (reading) sent.push_back({0x85, selector});
    for (int block = first; block <= last; ++block) sent.push_back({reading ? 0x83 : 0x84, block});
    if (!reading) sent.push_back({0x86, selector});
  };
  if (image == Image::Compensation) {
    section(2, 160, 255);
  } else {
    section(4 + 4 * bank, 0, 255);
    section(4 + 4 * bank + 2, 0, 159);
  }
  return sent;
}

// A whole image file whose every pixel has the same three bytes.
std::string ImageFileOf(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  std::string file(ImageFileHeader.begin(), ImageFileHeader.end());
  for (int i = 0; i < kPixels; ++i) file += {char(blue), char(green), char(red)};
  return file;
}

// The words of pattern rows 0 to 127 (section 0) or 128 to 207 (section 1)
// as the sensor holds them, without the unused words of the odd blocks.
std::vector<std::uint16_t> SectionPixels(const SensorMemory& memory, int bank, int section) {
  std::vector<std::uint16_t> words;
  const int first = section == 0 ? 0 : 128;
  const int end = section == 0 ? 128 : kImageHeight;
  for (int y = first; y < end; ++y) {
    for (int x = 0; x < kImageWidth; ++x)
      words.push_back(zema::sim::PatternPixel(memory, bank, x, y));
  }
  return words;
}

class ImageTransferTest : public SimPortTest {
 protected:
  void SetUp() override {
    SimPortTest::SetUp();
    target_.baseName = (dir_ / "base").string();
  }

  RunEnd Run(int direction) {
    target_.direction = direction;
    view_.events.clear();
    operator_.boxes.clear();
    sim.ClearCommands();
    TransferRun run{target_, link, view_, operator_};
    running_ = &run;
    return RunTransfer(run);
  }
  void SelectPatterns(int first, int last) {
    target_.patterns = 1;
    target_.startBank = first;
    target_.endBank = last;
  }
  std::string PathOf(const std::string& suffix) const { return target_.baseName + suffix; }
  std::vector<Sent> SentCommands() const {
    std::vector<Sent> sent;
    for (const auto& frame : sim.Commands())
      sent.push_back({frame[0], frame.size() > 2 ? frame[1] : -1});
    return sent;
  }
  static std::string Msg(int id) { return LoadMessage(id); }

  TempFolder dir_{"zema-images"};
  TransferTarget target_;
  TransferRun* running_ = nullptr;  // the run Run() performs, while it does
  RecordingRunView view_;
  ScriptedOperator operator_;
};

// --- Round trips ------------------------------------------------------------

TEST_F(ImageTransferTest, EveryCompensationValueComesBackAsTheTablesSay) {
  // Sample n of the table holds n mod 256 in its low byte, so every value
  // 0 to 255 appears, and a high byte that is never saved.
  sim.EditMemory([](SensorMemory& memory) {
    for (std::size_t n = 0; n < kTableSamples; ++n) {
      zema::sim::SetWordAt(memory.compensation, n, static_cast<std::uint16_t>(0xA500 | (n & 0xFF)));
    }
  });
  target_.brightComp = 1;
  ASSERT_EQ(Run(kRead), RunEnd::Finished);

  std::string expected(ImageFileHeader.begin(), ImageFileHeader.end());
  for (std::size_t n = 16; n < kTableSamples; ++n) expected.append(12, char((2 * n) & 0xFF));
  ASSERT_TRUE(ReadFileBytes(PathOf(".cmp.bmp")) == expected);

  sim.EditMemory([](SensorMemory& memory) {
    std::fill(memory.compensation.begin(), memory.compensation.end(), 0xEE);
  });
  ASSERT_EQ(Run(kWrite), RunEnd::Finished);
  // 0 to 127 come back unchanged, v of 128 or more as v - 128; samples 0
  // to 15 of block 160 are sent as zero words.
  const SensorMemory memory = sim.Memory();
  for (std::size_t n = 0; n < kTableSamples; ++n) {
    ASSERT_EQ(zema::sim::WordAt(memory.compensation, n), n < 16 ? 0 : (n & 0x7F)) << n;
  }
}

TEST_F(ImageTransferTest, EveryPixelWordComesBackAfterReadAndWrite) {
  // Banks 0 and 1 hold the 65536 words in order and then some again; the
  // unused words of the odd blocks hold garbage.
  auto word = [](int bank, int x, int y) {
    return static_cast<std::uint16_t>(bank * kPixels + y * kImageWidth + x);
  };
  sim.EditMemory([&](SensorMemory& memory) {
    for (int bank : {0, 1}) {
      for (int y = 0; y < kImageHeight; ++y) {
        for (int x = 0; x < kImageWidth; ++x)
          zema::sim::SetPatternPixel(memory, bank, x, y, word(bank, x, y));
      }
      for (auto& section : memory.patterns[bank]) {
        for (std::size_t block = 1; block * kBlockBytes < section.size(); block += 2) {
          std::fill_n(section.begin() + (block + 1) * kBlockBytes - 40, 40, 0xCC);
        }
      }
    }
  });
  SelectPatterns(0, 1);
  ASSERT_EQ(Run(kRead), RunEnd::Finished);

  // Pattern row y is stored row y, pixel x three bytes each.
  for (int bank : {0, 1}) {
    const std::string file = ReadFileBytes(PathOf(".pt" + std::to_string(bank) + ".bmp"));
    ASSERT_EQ(file.size(), kImageFileBytes);
    ASSERT_EQ(file.substr(0, 54), std::string(ImageFileHeader.begin(), ImageFileHeader.end()));
    for (int y = 0; y < kImageHeight; ++y) {
      for (int x = 0; x < kImageWidth; ++x) {
        const auto at = static_cast<std::size_t>(54 + 708 * y + 3 * x);
        const PixelBytes pixel{std::uint8_t(file[at]), std::uint8_t(file[at + 1]),
                               std::uint8_t(file[at + 2])};
        ASSERT_EQ(pixel, PixelBytesOf(word(bank, x, y)))
            << "bank " << bank << " x " << x << " y " << y;
      }
    }
  }

  // A picture made elsewhere: 0x08 0x00 0x00 and 0xFF 0xFF 0xFF.
  std::string bank0 = ReadFileBytes(PathOf(".pt0.bmp"));
  bank0.replace(54, 6, std::string{'\x08', '\0', '\0', '\xFF', '\xFF', '\xFF'});
  WriteFileBytes(PathOf(".pt0.bmp"), bank0);
  sim.EditMemory([](SensorMemory& memory) {
    for (int bank : {0, 1}) {
      for (auto& section : memory.patterns[bank]) std::fill(section.begin(), section.end(), 0x55);
    }
  });
  ASSERT_EQ(Run(kWrite), RunEnd::Finished);

  SensorMemory expected;
  for (int bank : {0, 1}) {
    for (int y = 0; y < kImageHeight; ++y) {
      for (int x = 0; x < kImageWidth; ++x)
        zema::sim::SetPatternPixel(expected, bank, x, y, word(bank, x, y));
    }
  }
  zema::sim::SetPatternPixel(expected, 0, 0, 0, 0x0001);
  zema::sim::SetPatternPixel(expected, 0, 1, 0, 0xFFFF);
  const SensorMemory memory = sim.Memory();
  for (int bank : {0, 1}) {
    for (int section : {0, 1}) {
      // The last 40 bytes of every odd block arrive as zero.
      const auto& got = memory.patterns[bank][section];
      const auto differs =
          std::mismatch(got.begin(), got.end(), expected.patterns[bank][section].begin());
      EXPECT_TRUE(differs.first == got.end())
          << "bank " << bank << ", section " << section << ": first difference at byte "
          << (differs.first - got.begin());
    }
  }
}

// --- Exchanges, progress and detail line ------------------------------------

struct SequenceCase {
  const char* name;
  Image image;
  int direction;
};

void PrintTo(const SequenceCase& test, std::ostream* out) { *out << test.name; }

class ImageSequence : public ImageTransferTest,
                      public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(ImageSequence, ExchangesProgressAndDetailLineFollowTheTables) {
  const SequenceCase& test = GetParam();
  const bool compensation = test.image == Image::Compensation;
  constexpr int kBank = 14;
  const std::string suffix = compensation ? ".cmp.bmp" : ".ptE.bmp";
  if (compensation) {
    target_.brightComp = 1;
  } else {
    SelectPatterns(kBank, kBank);
  }
  if (test.direction == kWrite) WriteFileBytes(PathOf(suffix), ImageFileOf(0x10, 0x20, 0x30));

  ASSERT_EQ(Run(test.direction), RunEnd::Finished);
  EXPECT_EQ(SentCommands(), FullSequence(test.image, test.direction, kBank));

  // The positions of a block as the run's tables give them.
  std::vector<int> blocks;
  if (compensation) {
    for (int b = 160; b <= 255; ++b) blocks.push_back((b - 160) * 512 / 96);
  } else {
    for (int m : {0, 1}) {
      for (int k = 0; k < (m == 0 ? 256 : 160); ++k) blocks.push_back((m * 256 + k) * 256 / 208);
    }
  }
  std::vector<int> positions{0};                                   // the run's start
  positions.insert(positions.end(), 16, 512);                      // parameter slots
  positions.push_back(0);                                          // compensation step
  if (!compensation) positions.insert(positions.end(), {512, 0});  // ... and the bank's start
  positions.insert(positions.end(), blocks.begin(), blocks.end());
  positions.push_back(512);                    // the end of the image step
  if (compensation) positions.push_back(512);  // the end of the (empty) pattern step
  EXPECT_EQ(view_.Positions(), positions);
  EXPECT_TRUE(view_.EveryPositionShown());
  EXPECT_EQ(view_.Count(Kind::Pump), static_cast<int>(blocks.size()));  // one poll per block
  if (compensation) {
    EXPECT_EQ(std::vector<int>(blocks.begin(), blocks.begin() + 4),
              (std::vector<int>{0, 5, 10, 16}));
    EXPECT_EQ(std::vector<int>(blocks.end() - 2, blocks.end()), (std::vector<int>{501, 506}));
  } else {
    EXPECT_EQ(std::vector<int>(blocks.begin(), blocks.begin() + 6),
              (std::vector<int>{0, 1, 2, 3, 4, 6}));
    EXPECT_EQ(std::vector<int>(blocks.begin() + 255, blocks.begin() + 257),
              (std::vector<int>{313, 315}));
    EXPECT_EQ(blocks.back(), 510);
  }

  const std::string bankText = "Bank No. = 14";
  std::vector<std::string> details;
  if (compensation && test.direction == kWrite) details = {Msg(kMsgWritingFlash), " "};
  if (!compensation && test.direction == kRead) details = {bankText};
  if (!compensation && test.direction == kWrite) {
    details = {bankText, Msg(kMsgWritingFlash), bankText, Msg(kMsgWritingFlash), bankText};
  }
  EXPECT_EQ(view_.DetailLines(), details);
  EXPECT_EQ(view_.LastStepLine(), Msg(test.direction == kRead ? 137 : 138));
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"base" + suffix}));
  EXPECT_EQ(fs::file_size(PathOf(suffix)), kImageFileBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ImageSequence,
    ::testing::Values(SequenceCase{"CompensationRead", Image::Compensation, kRead},
                      SequenceCase{"CompensationWrite", Image::Compensation, kWrite},
                      SequenceCase{"PatternRead", Image::Pattern, kRead},
                      SequenceCase{"PatternWrite", Image::Pattern, kWrite}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Stops ------------------------------------------------------------------

struct StopCase {
  const char* name;
  Image image;
  int direction;
  bool cancel;    // CANCEL after block `at`; else the reply to command `at` is spoilt
  int at;         // blocks done before CANCEL, or the number of the failing command
  int sent;       // commands the sensor takes in all
  bool section0;  // WRITE: section 0 of the pattern is committed
};

void PrintTo(const StopCase& test, std::ostream* out) { *out << test.name; }

class ImageStop : public ImageTransferTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ImageStop, EndsTheTransferAtOnceAndKeepsOlderFiles) {
  const StopCase& test = GetParam();
  constexpr int kBank = 2;
  const bool compensation = test.image == Image::Compensation;
  const std::string suffix = compensation ? ".cmp.bmp" : ".pt2.bmp";
  if (compensation) {
    target_.brightComp = 1;
  } else {
    SelectPatterns(kBank, kBank);
  }
  const std::string older =
      test.direction == kRead ? "older" : ImageFileOf(0x10, 0x20, 0x30);
  WriteFileBytes(PathOf(suffix), older);
  if (test.direction == kRead) operator_.QueueAnswers({true});
  int pumps = 0;
  if (test.cancel) {
    view_.onPump = [this, &pumps, &test] {
      if (++pumps == test.at) running_->cancelState = kCancelPressed;
    };
  } else {
    sim.AddFault({zema::sim::FaultKind::kBadChecksum, test.at, 0});
  }
  const SensorMemory before = sim.Memory();

  EXPECT_EQ(Run(test.direction), test.cancel ? RunEnd::Cancelled : RunEnd::Failed);

  const std::vector<Sent> full = FullSequence(test.image, test.direction, kBank);
  EXPECT_EQ(SentCommands(), std::vector<Sent>(full.begin(), full.begin() + test.sent));
  if (test.cancel) {
    EXPECT_EQ(view_.LastStepLine(), "Aborted.");
    EXPECT_EQ(view_.Count(Kind::OfferOk), 1);
  } else {
    ASSERT_FALSE(operator_.boxes.empty());
    EXPECT_EQ(operator_.boxes.back().text, Msg(kMsgChecksumError));
    EXPECT_EQ(view_.EndResult(), kRunResultFailed);
  }
  // No half-written bitmap; an older file of the name stays as it was.
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"base" + suffix}));
  EXPECT_TRUE(ReadFileBytes(PathOf(suffix)) == older);

  // Nothing is committed for the section in progress; a finished section 0
  // stays committed with the file's content.
  const SensorMemory after = sim.Memory();
  EXPECT_TRUE(after.compensation == before.compensation);
  if (!compensation) {
    if (test.section0) {
      EXPECT_EQ(SectionPixels(after, kBank, 0),
                std::vector<std::uint16_t>(128 * kImageWidth, PixelWordOf({0x10, 0x20, 0x30})));
    } else {
      EXPECT_TRUE(after.patterns[kBank][0] == before.patterns[kBank][0]);
    }
    EXPECT_TRUE(after.patterns[kBank][1] == before.patterns[kBank][1]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ImageStop,
    ::testing::Values(
        // READ: 0x85 is command 1, block k of section 0 command 2 + k.
        StopCase{"CompensationReadCancel", Image::Compensation, kRead, true, 10, 11, false},
        StopCase{"PatternReadCancelInSection0", Image::Pattern, kRead, true, 10, 11, false},
        StopCase{"PatternReadFailureInSection0", Image::Pattern, kRead, false, 11, 11, false},
        StopCase{"PatternReadCancelInSection1", Image::Pattern, kRead, true, 261, 263, false},
        // WRITE: block k of section 0 is command 1 + k, its commit 257.
        StopCase{"CompensationWriteFailure", Image::Compensation, kWrite, false, 50, 50, false},
        StopCase{"PatternWriteCancelInSection0", Image::Pattern, kWrite, true, 10, 10, false},
        StopCase{"PatternWriteCancelInSection1", Image::Pattern, kWrite, true, 261, 262, true},
        StopCase{"PatternWriteFailureInSection1", Image::Pattern, kWrite, false, 262, 262, true}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Questions and refused files --------------------------------------------

TEST_F(ImageTransferTest, OneOverwriteQuestionCoversEveryKindOfFile) {
  target_.commonParams = 1;
  target_.brightComp = 1;
  SelectPatterns(3, 3);
  for (const char* suffix : {".prM.zema", ".cmp.bmp", ".pt3.bmp"})
    WriteFileBytes(PathOf(suffix), "old");
  operator_.QueueAnswers({true});

  ASSERT_EQ(Run(kRead), RunEnd::Finished);
  EXPECT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.unexpectedQuestions, 0);
  EXPECT_EQ(FolderEntries(dir_),
            (std::vector<std::string>{"base.cmp.bmp", "base.prM.zema", "base.pt3.bmp"}));
  EXPECT_EQ(fs::file_size(PathOf(".cmp.bmp")), kImageFileBytes);
  EXPECT_EQ(fs::file_size(PathOf(".pt3.bmp")), kImageFileBytes);
}

TEST_F(ImageTransferTest, MissingImageFilesAreAskedAboutAtTheirTurn) {
  target_.brightComp = 1;
  SelectPatterns(3, 4);
  WriteFileBytes(PathOf(".pt4.bmp"), ImageFileOf(0x10, 0x20, 0x30));
  operator_.QueueAnswers({false, false});

  ASSERT_EQ(Run(kWrite), RunEnd::Finished);
  ASSERT_EQ(operator_.boxes.size(), 2u);
  EXPECT_EQ(operator_.boxes[0].text, Msg(kMsgCompensationFileNotFound));
  EXPECT_EQ(operator_.boxes[1].text,
            "Patterns file3 is not found. Do you abort remaining file(s)?");
  EXPECT_EQ(operator_.boxes[1].caption, "Warning");
  EXPECT_EQ(SentCommands(), FullSequence(Image::Pattern, kWrite, 4));
  EXPECT_EQ(view_.LastStepLine(), Msg(kMsgWritingCompleted));
}

TEST_F(ImageTransferTest, ABadImageFileIsRefusedBeforeTheRunSendsAnything) {
  struct Case {
    const char* suffix;
    std::string content;
  };
  std::string deeper = ImageFileOf(0, 0, 0);
  deeper[28] = 32;  // 32 bits per pixel
  const Case cases[] = {{".cmp.bmp", ImageFileOf(0, 0, 0).substr(0, 100000)},
                        {".pt4.bmp", deeper},
                        {".pt3.bmp", "BM"}};
  target_.bankParams = 1;
  target_.brightComp = 1;
  SelectPatterns(3, 4);
  for (const Case& test : cases) {
    for (const char* suffix : {".pr3.zema", ".pr4.zema"})
      WriteFileBytes(PathOf(suffix), FormatParamFile(ParamSet{}));
    for (const char* suffix : {".cmp.bmp", ".pt3.bmp", ".pt4.bmp"}) {
      WriteFileBytes(PathOf(suffix), ImageFileOf(0x10, 0x20, 0x30));
    }
    WriteFileBytes(PathOf(test.suffix), test.content);

    EXPECT_EQ(Run(kWrite), RunEnd::Failed) << test.suffix;
    EXPECT_TRUE(sim.Commands().empty()) << test.suffix;
    ASSERT_EQ(operator_.boxes.size(), 1u) << test.suffix;
    EXPECT_EQ(operator_.boxes[0].text, Msg(kMsgImageFileRejected) + PathOf(test.suffix));
    EXPECT_EQ(operator_.boxes[0].caption, "Error");
    EXPECT_EQ(view_.EndResult(), kRunResultFailed);
  }
}

TEST_F(ImageTransferTest, AFullDiskIsReportedAndKeepsTheOlderFile) {
  target_.brightComp = 1;
  WriteFileBytes(PathOf(".cmp.bmp"), "older");
  operator_.QueueAnswers({true});
  RunEnd end;
  {
    FileSizeLimit limit(100000);
    end = Run(kRead);
  }
  EXPECT_EQ(end, RunEnd::Failed);
  ASSERT_EQ(operator_.boxes.size(), 2u);
  EXPECT_EQ(operator_.boxes[1].text, "Failed to create the file.");
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"base.cmp.bmp"}));
  EXPECT_EQ(ReadFileBytes(PathOf(".cmp.bmp")), "older");
}

}  // namespace
