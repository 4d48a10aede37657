// Hostile files and paths, through whole runs against the virtual sensor:
// names at and past the limits, UTF-8 names, links, folders, FIFOs, devices,
// read-only files, missing folders and a disk that runs full. Every case
// ends with its message, leaves no temporary file behind and never destroys
// an older file. Then READs in folders shared with colleagues (users 1001 and
// 1002, by setpriv as root) and on a file system that cannot reserve room.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "console/settings_file.h"
#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "link/port_device_path.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;

namespace {

// What a folder holds, by path relative to it: a file's content, "/" for a
// folder, "-> destination" for a link, "fifo". The files a READ writes show
// as "<parameters>" and "<table>".
using Listing = std::map<std::string, std::string>;

constexpr char kNewParameters[] = "<parameters>";
constexpr char kNewTable[] = "<table>";

// Runs the test in `folder`, so that base names without a folder land there.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolder() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

// A file system that runs full: a small tmpfs in a mount namespace of this
// process where the system lets it make one, else a size limit on every file
// the process writes.
class SmallDisk {
 public:
  SmallDisk(const fs::path& folder, std::size_t bytes) : folder_(fs::absolute(folder)) {
    fs::create_directory(folder);
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) limit_.emplace(bytes);
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }

 private:
  fs::path folder_;
  bool mounted_ = false;
  std::optional<FileSizeLimit> limit_;
};

struct HostileCase {
  const char* name;
  int direction;
  bool common;  // the common parameter set
  bool table;   // the compensation table
  std::string baseName;
  std::function<void()> arrange;  // runs in the case's folder
  std::vector<bool> answers;
  RunEnd end;
  std::vector<std::string> boxes;  // the texts of the boxes shown, in order
  bool sends;              // anything reached the sensor
  Listing after;           // the case's folder when the run has ended
};

class HostilePathsTest : public SimPortTest {
 protected:
  // Runs one case in a fresh folder of its own and checks the frame every
  // case shares.
  void Check(const HostileCase& test) {
    SCOPED_TRACE(test.name);
    const fs::path folder = dir_ / test.name;
    fs::create_directory(folder);
    CurrentFolder inFolder(folder);
    if (test.arrange) test.arrange();

    TransferTarget target;
    target.direction = test.direction;
    target.commonParams = test.common ? 1 : 0;
    target.brightComp = test.table ? 1 : 0;
    target.baseName = test.baseName;
    RecordingRunView view;
    ScriptedOperator dialogs;
    for (bool answer : test.answers) dialogs.QueueAnswers({answer});
    sim.ClearCommands();
    TransferRun run{target, link, view, dialogs};
    EXPECT_EQ(RunTransfer(run), test.end);

    std::vector<std::string> shown;
    for (const auto& box : dialogs.boxes) shown.push_back(box.text);
    EXPECT_EQ(shown, test.boxes);
    if (test.end == RunEnd::Finished) {
      // Completion only when something was transferred.
      const bool reading = test.direction == kDirectionRead;
      const int done = reading ? kMsgReadingCompleted : kMsgWritingCompleted;
      const int nothing = reading ? kMsgNoTargetForReading : kMsgNoTargetForWriting;
      EXPECT_EQ(view.LastStepLine(), LoadMessage(test.sends ? done : nothing));
    }
    EXPECT_EQ(dialogs.unexpectedQuestions, 0);
    EXPECT_EQ(!sim.Commands().empty(), test.sends);
    EXPECT_EQ(ListFolder(folder), test.after);
  }

  Listing ListFolder(const fs::path& folder) const {
    const std::string parameters = FormatParamFile(sim.Memory().params[kCommonSlot]);
    Listing listing;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      const std::string name = entry.path().lexically_relative(folder).generic_string();
      if (entry.is_symlink()) {
        listing[name] = "-> " + fs::read_symlink(entry.path()).string();
      } else if (entry.is_directory()) {
        listing[name] = "/";
      } else if (entry.is_fifo()) {
        listing[name] = "fifo";
      } else {
        const std::string bytes = ReadFileBytes(entry.path());
        const std::string header(ImageFileHeader.begin(), ImageFileHeader.end());
        const bool table = bytes.size() == kImageFileBytes && bytes.starts_with(header);
        listing[name] = bytes == parameters ? kNewParameters : table ? kNewTable : bytes;
      }
    }
    return listing;
  }

  TempFolder dir_{"zema-hostile"};
  std::unique_ptr<SmallDisk> disk_;
};

TEST_F(HostilePathsTest, EachCaseGivesItsMessageAndKeepsOlderFiles) {
  constexpr int kRead = kDirectionRead;
  constexpr int kWrite = kDirectionWrite;
  const std::string overwrite = LoadMessage(kMsgFoundSameFilename);
  const std::string cannotCreate = LoadMessage(kMsgFailedToCreateFile);
  // What a WRITE asks about a parameter file and the table that cannot be
  // read.
  const std::vector<std::string> notFound = {
      LoadMessage(kMsgBankParamsFile) + "15 " + LoadMessage(kMsgIsNotFoundAbort),
      LoadMessage(kMsgCompensationFileNotFound)};
  const RunEnd kFinished = RunEnd::Finished;
  // A base name of 250 characters, the most the path buffer takes, whose
  // files have names of 255 and 254 bytes, the most the file system takes.
  const std::string longest = std::string(246, 'n');
  const std::string utf8 = "Pr\u00fcfung-\u691c\u67fb/\u30e9\u30a4\u30f3\u2460";

  const HostileCase cases[] = {
      {"NameAtTheLimits", kRead, true, true, "sub/" + longest,
       [&] {
         fs::create_directory("sub");
         WriteFileBytes("sub/" + longest + ".prM.zema", "older");
       },
       {true}, kFinished, {overwrite}, true,
       {{"sub", "/"},
        {"sub/" + longest + ".prM.zema", kNewParameters},
        {"sub/" + longest + ".cmp.bmp", kNewTable}}},
      {"NamePastTheLimit", kRead, true, true, "sub/" + longest + "n",
       [] { fs::create_directory("sub"); }, {}, RunEnd::Failed,
       {LoadMessage(kMsgBaseNameTooLong)}, false, {{"sub", "/"}}},
      {"Utf8Names", kRead, true, true, utf8,
       [&] { fs::create_directory(fs::path(utf8).parent_path()); }, {}, kFinished, {}, true,
       {{fs::path(utf8).parent_path().string(), "/"},
        {utf8 + ".prM.zema", kNewParameters},
        {utf8 + ".cmp.bmp", kNewTable}}},
      // Into the sensor, whose common set then equals the file.
      {"Utf8NamesWrittenBack", kWrite, true, true, utf8,
       [&] {
         fs::create_directory(fs::path(utf8).parent_path());
         ParamSet set;
         for (int i = 0; i < kParamValuesPerSet; ++i) set[i] = static_cast<std::uint16_t>(100 + i);
         WriteFileBytes(utf8 + ".prM.zema", FormatParamFile(set));
         std::string table(ImageFileHeader.begin(), ImageFileHeader.end());
         table.resize(kImageFileBytes, '\x20');
         WriteFileBytes(utf8 + ".cmp.bmp", table);
       },
       {}, kFinished, {}, true,
       {{fs::path(utf8).parent_path().string(), "/"},
        {utf8 + ".prM.zema", kNewParameters},
        {utf8 + ".cmp.bmp", kNewTable}}},
      // Written through as fopen(..., "wb") would: the links stay, the file
      // a link names (also one that does not exist yet) gets the content.
      {"SymbolicLinks", kRead, true, true, "base",
       [] {
         fs::create_directory("real");
         WriteFileBytes("real/kept.zema", "older");
         fs::create_symlink("real/kept.zema", "base.prM.zema");
         fs::create_symlink("new.bmp", "base.cmp.bmp");
       },
       {true}, kFinished, {overwrite}, true,
       {{"base.prM.zema", "-> real/kept.zema"},
        {"base.cmp.bmp", "-> new.bmp"},
        {"real", "/"},
        {"real/kept.zema", kNewParameters},
        {"new.bmp", kNewTable}}},
      // Refused before anything is sent, also for root; nothing blocks on
      // the FIFO.
      {"FolderAndFifoOfTheTargetsNames", kRead, true, true, "base",
       [] {
         fs::create_directory("base.prM.zema");
         WriteFileBytes("base.prM.zema/inside", "older");
         ASSERT_EQ(::mkfifo("base.cmp.bmp", 0644), 0);
       },
       {}, RunEnd::Failed, {cannotCreate}, false,
       {{"base.prM.zema", "/"}, {"base.prM.zema/inside", "older"}, {"base.cmp.bmp", "fifo"}}},
      {"FifoOfTheTablesName", kRead, false, true, "base",
       [] { ASSERT_EQ(::mkfifo("base.cmp.bmp", 0644), 0); },
       {}, RunEnd::Failed, {cannotCreate}, false,
       {{"base.cmp.bmp", "fifo"}}},
      {"ReadOnlyTarget", kRead, true, true, "base",
       [] {
         WriteFileBytes("base.prM.zema", "older");
         fs::permissions("base.prM.zema", fs::perms::owner_read | fs::perms::group_read);
       },
       {}, RunEnd::Failed, {cannotCreate}, false,
       {{"base.prM.zema", "older"}}},
      // A WRITE reads regular files only: a FIFO never blocks it, a device
      // never keeps it reading; such a file counts as one that cannot be
      // opened, as a folder does.
      {"FifoAndDeviceAsSources", kWrite, true, true, "base",
       [] {
         ASSERT_EQ(::mkfifo("base.prM.zema", 0644), 0);
         fs::create_symlink("/dev/zero", "base.cmp.bmp");
       },
       {false, false}, kFinished, notFound, false,
       {{"base.prM.zema", "fifo"}, {"base.cmp.bmp", "-> /dev/zero"}}},
      {"DeviceAndFifoAsSources", kWrite, true, true, "base",
       [] {
         fs::create_symlink("/dev/zero", "base.prM.zema");
         ASSERT_EQ(::mkfifo("base.cmp.bmp", 0644), 0);
       },
       {false, false}, kFinished, notFound, false,
       {{"base.prM.zema", "-> /dev/zero"}, {"base.cmp.bmp", "fifo"}}},
      {"FoldersAsSources", kWrite, true, true, "base",
       [] {
         fs::create_directory("base.prM.zema");
         fs::create_directory("base.cmp.bmp");
       },
       {false, false}, kFinished, notFound, false,
       {{"base.prM.zema", "/"}, {"base.cmp.bmp", "/"}}},
      {"MissingFolder", kRead, true, true, "missing/base", {}, {}, RunEnd::Failed,
       {cannotCreate}, false, {}},
      // The parameters fit, the table does not.
      {"DiskRunsFull", kRead, true, true, "disk/base",
       [&] {
         disk_ = std::make_unique<SmallDisk>("disk", 64 * 1024);
         WriteFileBytes("disk/base.cmp.bmp", "older");
       },
       {true}, RunEnd::Failed, {overwrite, cannotCreate}, true,
       {{"disk", "/"}, {"disk/base.prM.zema", kNewParameters}, {"disk/base.cmp.bmp", "older"}}},
  };
  for (const HostileCase& test : cases) {
    Check(test);
    disk_.reset();
  }
}

TEST(HostileSettingsFile, AFifoOrADeviceGivesTheFirstStartChoices) {
  TempFolder dir("zema-hostile-settings");
  const std::string fifo = (dir / "zema-loader.ini").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    FakeControls controls;
    LoadSettings(path, controls);
    EXPECT_EQ(controls[kCtlBaseName].text, "Untitled") << path;
    EXPECT_EQ(controls[kCtlEndBank].selection, 14) << path;
  }
}

using Strings = std::vector<std::string>;
constexpr fs::perms kReadWrite = fs::perms::owner_read | fs::perms::owner_write;

void Put(const fs::path& path, const std::string& text, uid_t owner, fs::perms mode = kReadWrite) {
  WriteFileBytes(path, text);
  fs::permissions(path, mode);
  ASSERT_EQ(::lchown(path.c_str(), owner, owner), 0);
}

class FieldConditionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "other users are made by root";
    fs::permissions(dir.path(), fs::perms::all);
    fs::copy_file(ExecutableFolder() + "/zema-transfer", dir / "zema-transfer");
    ASSERT_EQ(::chmod(sim.devicePath().c_str(), 0666), 0);
  }
  // zema-transfer read --overwrite KINDS as user 1001 (`nfs`: without fallocate).
  ProgramOutcome Read(const std::string& base, Strings kinds = {"--common"}, bool nfs = false) {
    const std::string program = dir / "zema-transfer", device = sim.devicePath();
    Strings command = {
        "/usr/bin/setpriv", "--reuid=1001", "--regid=1001", "--clear-groups", program,  "read",
        "--overwrite",      "--quiet",      "--device",     device,           "--base", base};
    command.insert(command.end(), kinds.begin(), kinds.end());
    if (!nfs) return RunProgram(command[0], {command.begin() + 1, command.end()});
    return RunProgram(ExecutableFolder() + "/without-fallocate", command);
  }

  SimFixture sim;
  TempFolder dir{"zema-field"};
};

// A link is followed only where the system would; a colleague's file keeps its
// inode (its hard link sees the new content); the rest is refused unread.
TEST_F(FieldConditionsTest, SharedFoldersKeepWhatIsNotTheUsersOwn) {
  const fs::perms all = fs::perms::all, sticky = all | fs::perms::sticky_bit;
  const auto link = [](uid_t owner) {
    return [owner](const fs::path& in) {
      fs::create_symlink(in / "profile", in / "line1.prM.zema");
      ASSERT_EQ(::lchown((in / "line1.prM.zema").c_str(), owner, owner), 0);
    };
  };
  const auto colleagues = [](const fs::path& in) {
    Put(in / "line1.prM.zema", "old\n", 1002, fs::perms::all & ~fs::perms::owner_exec);
    fs::create_hard_link(in / "line1.prM.zema", in / "hard link");
  };
  const struct {
    const char* name;
    fs::perms folder;
    std::function<void(const fs::path&)> arrange;  // beside "profile", the user's
    std::string refusal;   // the detail line after the folder; empty: the READ succeeds
    Strings written = {};  // hold the parameters after
    const char* base = "line1";
  } cases[] = {
      {"planted link", sticky, link(1002),
       "/line1.prM.zema: Permission denied (another user's link in a sticky folder that all may "
       "write is not followed)"},
      {"own link", sticky, link(1001), "", {"profile"}},
      {"colleague's file, sticky", sticky, colleagues, "", {"line1.prM.zema", "hard link"}},
      {"colleague's file", all, colleagues, "", {"line1.prM.zema", "hard link"}},
      {"folder of the name", all, [](auto& in) { fs::create_directory(in / "line1.prM.zema"); },
       "/line1.prM.zema: Is a directory"},
      {"missing folder", all, {}, "/nowhere: No such file or directory", {}, "nowhere/line1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir / c.name;
    fs::create_directory(folder);
    fs::permissions(folder, c.folder);
    Put(folder / "profile", "mine\n", 1001);
    if (c.arrange) c.arrange(folder);
    sim.ClearCommands();
    const ProgramOutcome read = Read(folder / c.base);
    EXPECT_EQ(read.status, c.refusal.empty() ? 0 : 1) << read.err;
    if (!c.refusal.empty()) {
      EXPECT_EQ(read.err,
                "Error: Failed to create the file.\n  " + folder.string() + c.refusal + "\n");
      EXPECT_TRUE(sim.Commands().empty()) << "refused before connecting";
    }
    const std::string parameters = FormatParamFile(sim.Memory().params[kCommonSlot]);
    for (const std::string& name : c.written) EXPECT_EQ(ReadFileBytes(folder / name), parameters);
    EXPECT_EQ(ReadFileBytes(folder / "profile") == "mine\n", c.written != Strings{"profile"});
  }
}

// Older images cut short, rewritten in place (the folder takes no new file):
// the C library's stand-in for fallocate reads the old bytes it covers.
TEST_F(FieldConditionsTest, AFileSystemWithoutReservationsTakesTheRewrite) {
  fs::create_directory(dir / "nfs");
  for (const auto& [kinds, name, mode] :
       {std::tuple{Strings{"--compensation"}, "line1.cmp.bmp", kReadWrite},
        std::tuple{Strings{"--patterns", "--banks=0"}, "line1.pt0.bmp", fs::perms::owner_write}}) {
    ASSERT_EQ(Read(dir / "line1", kinds).status, 0);
    Put(dir / "nfs" / name, std::string(100000, 'o'), 1001, mode);
    const ProgramOutcome read = Read(dir / "nfs/line1", kinds, true);
    EXPECT_EQ(read.status, 0) << name << read.err;
    EXPECT_TRUE(ReadFileBytes(dir / "nfs" / name) == ReadFileBytes(dir / name)) << name;
  }
}

}  // namespace
