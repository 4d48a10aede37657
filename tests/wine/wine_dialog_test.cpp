// zema-loader.exe, the dialog on the native Windows controls, under Wine on
// the prefix's X display, driven as an operator drives it: clicks at the
// controls' places (from the templates and the window's client size) and
// keys, with what is shown read back through the Windows API. The virtual
// sensor in this process is its COM9; the Linux build of zema-transfer
// reads the same sensor for comparison.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "res/dialog_templates.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/wine/wine_desktop.h"
#include "tests/wine/wine_program.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

// Wine links COM1 and up to the machine's /dev/ttyS* whenever a prefix
// starts; COM9, the list's last port, is left to the test.
constexpr int kLoaderPort = 9;

// The settings file's lines 1 to 9 for COM9, banks 0 to 14, the three
// visible data kinds ticked and "PC LOAD/SAVE" mode.
constexpr char kDefaultChoices[] = "8\n4\n0\n14\n1\n1\n1\n0\n0\n";
// The same with the common parameter set only.
constexpr char kCommonOnly[] = "8\n4\n0\n14\n1\n0\n0\n0\n0\n";

class WineDialogTest : public ::testing::Test {
 protected:
  WineDialogTest() {
    fs::create_directories(dir / "app");
    fs::copy_file(fs::path(ZEMA_WINDOWS_BIN) / "zema-loader.exe", dir / "app/zema-loader.exe");
  }
  ~WineDialogTest() override { sim.SetCommandHook(nullptr); }

  fs::path Settings() const { return dir / "app/zema-loader.ini"; }

  // The Windows name of base name `line1` in `folder` of the test's folder.
  std::string Base(const std::string& folder) {
    fs::create_directories(dir / folder);
    return WindowsPath(dir / folder / "line1");
  }

  // Starts the loader and waits for its main dialog. Wine names a file on
  // Linux in the locale's character set: under LANG=C (the tests' own) a
  // name with "ü" cannot be created at all, so the loader runs under a
  // UTF-8 locale.
  ShownWindow Start(Language shownIn = Language::English, const std::string& locale = "C.UTF-8") {
    language = shownIn;
    StartOnDesktop(loader, (dir / "app/zema-loader.exe").string(), {}, {"LC_ALL=" + locale});
    return Main();
  }

  const char* MainTitle() const { return MainDialogTemplate().Title(language); }
  const char* ProgressTitle() const { return ProgressDialogTemplate().Title(language); }

  // The main dialog once `ready` holds for it.
  ShownWindow Main(const std::function<bool(const ShownWindow&)>& ready = nullptr) {
    auto window = WaitForWindow(MainTitle(), ready);
    if (!window) throw std::runtime_error(std::string("no main dialog: ") + MainTitle());
    return *window;
  }
  void ClickMain(int id) { ClickControl(Main(), MainDialogTemplate(), language, id); }

  // The progress dialog once its step line reads `stepLine` and its OK is
  // enabled (the finish); then OK closes it.
  void FinishRun(const std::string& stepLine) {
    auto done = WaitForWindow(ProgressTitle(), [&](const ShownWindow& w) {
      return w.Control(kCtlStepLine).text == stepLine && w.Control(kCtlOk).enabled;
    });
    ASSERT_TRUE(done) << "no finish with " << stepLine;
    EXPECT_FALSE(done->Control(kCtlCancel).enabled);
    ClickControl(*done, ProgressDialogTemplate(), language, kCtlOk);
    EXPECT_TRUE(WaitUntilGone(ProgressTitle()));
  }

  // Answers the message box captioned `caption` with a key; returns its text.
  std::string Answer(const std::string& caption, const std::string& key) {
    auto box = WaitForWindow(caption);
    if (!box) return "(no box " + caption + ")";
    PressKey(key);
    EXPECT_TRUE(WaitUntilGone(caption));
    return box->FirstText("Static");
  }

  void Connect() {
    ClickMain(kCtlConnect);
    Main([](const ShownWindow& w) { return w.Control(kCtlRead).enabled; });
  }

  // Ends the loader with Esc; its exit status. A click on a label first
  // makes the main dialog the active window again: with no window manager,
  // a closed child dialog hands the keyboard to nobody.
  int Escape() {
    ClickMain(kCtlLoadSaveHint);
    PressKey("Escape");
    return loader.Wait(std::chrono::seconds(30)).status;
  }

  SimFixture sim;
  WineComLink link{kLoaderPort, sim.devicePath()};
  TempFolder dir{"zema-wine-dialog"};
  ProgramRun loader;
  Language language = Language::English;
};

// CONNECT and READ by clicks give the files the Linux build reads from the
// same sensor, byte for byte. WRITE answered No sends nothing; answered Yes
// it brings a changed file into the sensor. EXIT answered Yes writes the
// settings file beside the .exe.
TEST_F(WineDialogTest, ReadWriteAndExitByClicks) {
  fs::create_directories(dir / "linux");
  ASSERT_EQ(RunProgram("zema-transfer",
                       {"read", "--common", "--compensation", "--params", "--base",
                        (dir / "linux").string() + "/line1", "--port", std::to_string(sim.port())})
                .status,
            0);
  const std::string base = Base("wine");
  WriteFileBytes(Settings(), kDefaultChoices + base);

  Start();
  Connect();
  ClickMain(kCtlRead);
  FinishRun(LoadMessage(kMsgReadingCompleted, language));
  const std::vector<std::string> names = FolderEntries(dir / "wine");
  EXPECT_EQ(names.size(), 17u);
  EXPECT_EQ(names, FolderEntries(dir / "linux"));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "wine" / name), ReadFileBytes(dir / "linux" / name)) << name;
  }

  const std::size_t sent = sim.Commands().size();
  ClickMain(kCtlWrite);
  EXPECT_EQ(Answer("Warning!", "n"), LoadMessage(kMsgAgreeOverwriteSettings, language));
  EXPECT_EQ(sim.Commands().size(), sent) << "WRITE answered No sends nothing";

  std::string bank3 = ReadFileBytes(dir / "wine/line1.pr3.zema");
  bank3.replace(0, bank3.find('\n'), "4321");
  WriteFileBytes(dir / "wine/line1.pr3.zema", bank3);
  ClickMain(kCtlWrite);
  Answer("Warning!", "Return");
  FinishRun(LoadMessage(kMsgWritingCompleted, language));
  EXPECT_EQ(sim.Memory().params[3][0], 4321);

  ClickMain(kCtlRun);  // disconnected: EXIT asks nothing about RUN
  ClickMain(kCtlExit);
  EXPECT_EQ(Answer("Question", "Return"), LoadMessage(kMsgAgreeToExit, language));
  EXPECT_EQ(loader.Wait(std::chrono::seconds(30)).status, 0);
  EXPECT_EQ(ReadFileBytes(Settings()), kDefaultChoices + base);
}

// CANCEL during the compensation table ends the run with "Aborted." after
// the block in flight and leaves no part of the bitmap behind. The stored
// choices show at the start, and Esc leaves their file as it was.
TEST_F(WineDialogTest, CancelDuringCompensationAndEscape) {
  const std::string stored = std::string("2\n1\n3\n5\n0\n1\n1\n1\n0\n") + Base("wine");
  // Lines 1 and 3 to 9 as above, on COM9.
  WriteFileBytes(Settings(), "8" + stored.substr(1));
  std::mutex mutex;
  std::condition_variable reached;
  int blocks = 0;
  sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
    if (frame[0] != 0x83) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // a slow line
    std::lock_guard lock(mutex);
    ++blocks;
    reached.notify_all();
  });

  const ShownWindow main = Start();
  EXPECT_EQ(main.Control(kCtlPortList).text, "COM9");
  EXPECT_EQ(main.Control(kCtlStartBank).text, "3");
  EXPECT_EQ(main.Control(kCtlEndBank).text, "5");
  EXPECT_FALSE(main.Control(kCtlCommonParams).checked);
  EXPECT_TRUE(main.Control(kCtlBrightComp).checked);
  EXPECT_TRUE(main.Control(kCtlBankParams).checked);
  EXPECT_EQ(main.Control(kCtlBaseName).text, Base("wine"));
  Connect();
  ClickMain(kCtlRead);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(reached.wait_for(lock, std::chrono::seconds(30), [&] { return blocks >= 10; }));
  }
  auto progress = WaitForWindow(ProgressTitle());
  ASSERT_TRUE(progress);
  ClickControl(*progress, ProgressDialogTemplate(), language, kCtlCancel);
  FinishRun(LoadMessage(kMsgAborted, language));
  EXPECT_LT(blocks, 96) << "the table is not read to its end";
  EXPECT_EQ(FolderEntries(dir / "wine"),
            (std::vector<std::string>{"line1.pr3.zema", "line1.pr4.zema", "line1.pr5.zema"}));

  ClickMain(kCtlRun);
  EXPECT_EQ(Escape(), 0);
  EXPECT_EQ(ReadFileBytes(Settings()), "8" + stored.substr(1));
}

// Base names outside ASCII, as the settings file holds them (the code page
// 1252 byte 0xFC for "ü"; marked UTF-8 for what code page 1252 lacks): READ
// creates files of exactly that name, WRITE finds them, EXIT stores the name
// as it was.
TEST_F(WineDialogTest, NonAsciiBaseNames) {
  struct Case {
    const char* folder;
    bool inCodePage;  // else marked UTF-8
  };
  for (const Case& c : {Case{"Prüfung", true}, Case{"検査", false}}) {
    SCOPED_TRACE(c.folder);
    const std::string base = Base(c.folder);
    std::string storedBase = "\xEF\xBB\xBF" + base;
    if (c.inCodePage) {
      storedBase = base;
      storedBase.replace(base.find("ü"), std::string("ü").size(), "\xFC");
    }
    WriteFileBytes(Settings(), kCommonOnly + storedBase);
    const ShownWindow main = Start();
    EXPECT_EQ(main.Control(kCtlBaseName).text, base);
    Connect();
    ClickMain(kCtlRead);
    FinishRun(LoadMessage(kMsgReadingCompleted, language));
    EXPECT_EQ(FolderEntries(dir / c.folder), std::vector<std::string>{"line1.prM.zema"});
    ClickMain(kCtlWrite);
    Answer("Warning!", "Return");
    FinishRun(LoadMessage(kMsgWritingCompleted, language));
    ClickMain(kCtlRun);
    ClickMain(kCtlExit);
    Answer("Question", "Return");
    EXPECT_EQ(loader.Wait(std::chrono::seconds(30)).status, 0);
    EXPECT_EQ(ReadFileBytes(Settings()), kCommonOnly + storedBase);
  }
}

// German and Japanese: the main dialog's captions and a question box as the
// Windows API reads them; the box's buttons are the system's, in Wine's
// language of LC_ALL. Esc writes no settings file.
TEST_F(WineDialogTest, GermanAndJapanese) {
  struct Case {
    Language language;
    const char* locale;
    const char* yes;
    const char* no;
  };
  const Case cases[] = {{Language::German, "de_DE.UTF-8", "&Ja", "&Nein"},
                        {Language::Japanese, "ja_JP.UTF-8", "はい(&Y)", "いいえ(&N)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    const ShownWindow main = Start(c.language, c.locale);
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
      if (control.kind != ControlKind::Button && control.kind != ControlKind::CheckBox) continue;
      const std::string expected = control.id == kCtlConnect
                                       ? LoadMessage(kMsgConfirmCommunication, c.language)
                                       : control.Caption(c.language);
      EXPECT_EQ(main.Control(control.id).text, expected) << control.id;
    }
    ClickMain(kCtlExit);
    auto box = WaitForWindow("Question");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->FirstText("Static"), LoadMessage(kMsgAgreeToExit, c.language));
    EXPECT_EQ(box->Control(6).text, c.yes);
    EXPECT_EQ(box->Control(7).text, c.no);
    PressKey("n");
    EXPECT_TRUE(WaitUntilGone("Question"));
    EXPECT_EQ(Escape(), 0);
    EXPECT_FALSE(fs::exists(Settings()));
  }
}

// The adapter pulled out during a READ: the run ends with "No communication
// response." in an error box, and the main dialog goes on.
TEST_F(WineDialogTest, AdapterVanishingDuringRead) {
  WriteFileBytes(Settings(), kDefaultChoices + Base("wine"));
  std::mutex mutex;
  std::condition_variable reached;
  bool atBlock = false;
  sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
    if (frame[0] != 0x83) return;
    std::lock_guard lock(mutex);
    atBlock = true;
    reached.notify_all();
  });
  Start();
  Connect();
  ClickMain(kCtlRead);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(reached.wait_for(lock, std::chrono::seconds(30), [&] { return atBlock; }));
  }
  sim.SetCommandHook(nullptr);
  sim.Unplug();
  const std::string text = Answer("Error", "Return");
  EXPECT_EQ(text.substr(0, text.find('\n')), LoadMessage(kMsgNoResponse, language));
  EXPECT_TRUE(WaitUntilGone(ProgressTitle()));
  // The main dialog closes the port after the progress dialog has gone.
  const ShownWindow main = Main([](const ShownWindow& shown) {
    return shown.Control(kCtlConnect).enabled && !shown.Control(kCtlRead).enabled;
  });
  EXPECT_TRUE(main.Control(kCtlConnect).enabled);
  EXPECT_FALSE(main.Control(kCtlRead).enabled);
  EXPECT_EQ(FolderEntries(dir / "wine").size(), 16u) << "no part of the bitmap";
  ClickMain(kCtlExit);
  Answer("Question", "n");
  EXPECT_EQ(Escape(), 0);
}

// A USB adapter above COM9, linked into the prefix as COM13: the list
// offers it after COM9, a READ runs on it (and is in the user's transfer
// log), EXIT stores it as 12 (its number - 1) and the next start chooses it
// again. The main dialog opens in the middle of the screen.
TEST_F(WineDialogTest, PortAboveCom9ChosenUsedAndRemembered) {
  const WineComLink adapter{13, sim.devicePath()};
  const std::string base = Base("wine");
  WriteFileBytes(Settings(), std::string("0\n4\n0\n14\n1\n0\n0\n0\n0\n") + base);
  const ShownWindow main = Start();
  const std::string screen =
      RunProgram("/usr/bin/xdotool", {"getdisplaygeometry"}, {WineDisplay()}).out;
  const int screenWidth = std::stoi(screen);
  const int screenHeight = std::stoi(screen.substr(screen.find(' ')));
  EXPECT_NEAR(2 * main.x + main.width, screenWidth, 2) << screen;
  // Vertically the window with its caption is centred; without a window
  // manager nothing is drawn above the client area.
  EXPECT_NEAR(2 * main.y + main.height, screenHeight, 2 * 20) << screen;
  EXPECT_EQ(main.Control(kCtlPortList).text, "COM1");

  ClickMain(kCtlPortList);  // the list opens; COM13 is its last entry
  PressKey("End");
  PressKey("Return");
  Main([](const ShownWindow& w) { return w.Control(kCtlPortList).text == "COM13"; });
  Connect();
  ClickMain(kCtlRead);
  FinishRun(LoadMessage(kMsgReadingCompleted, language));
  EXPECT_EQ(FolderEntries(dir / "wine"), std::vector<std::string>{"line1.prM.zema"});
  ClickMain(kCtlRun);
  ClickMain(kCtlExit);
  Answer("Question", "Return");
  EXPECT_EQ(loader.Wait(std::chrono::seconds(30)).status, 0);
  EXPECT_EQ(ReadFileBytes(Settings()), std::string("12\n4\n0\n14\n1\n0\n0\n0\n0\n") + base);

  EXPECT_EQ(Start().Control(kCtlPortList).text, "COM13");
  EXPECT_EQ(Escape(), 0);

  const fs::path users = fs::path(std::getenv("WINEPREFIX")) / "drive_c/users";
  std::string log;
  for (const auto& user : fs::directory_iterator(users)) {
    const fs::path path = user.path() / "AppData/Local/zema-loader/transfer.log";
    if (fs::exists(path)) log = WithLineFeeds(ReadFileBytes(path));
  }
  EXPECT_NE(log.find("\tzema-loader\tREAD\tCOM13\t" + base +
                     "\tcommon\t0-14\tcompleted\tReading from ZEMA is completed.\n"),
            std::string::npos)
      << log;
}

}  // namespace

}  // namespace zema
