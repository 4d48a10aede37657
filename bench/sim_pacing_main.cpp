// zema-bench-sim-pacing: how much the virtual sensor adds to the wire time
// of back-to-back exchanges.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "bench/sim_pacing.h"
#include "link/port_device_path.h"

using namespace zema;
using namespace zema::bench;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
  PacingRun run;
  run.simProgram = ExecutableFolder() + "/zema-sim";
  std::string kindName = "read-block";
  bool unpaced = false;
  bool keepState = false;
  int repeat = 1;

  CLI::App app{
      "Makes back-to-back exchanges with a zema-sim program through the link layer and\n"
      "prints their time against the time their bytes need on the line (10 bits a\n"
      "byte, plus the flash delay of a commit)."};
  app.add_option("-n,--count", run.count, "exchanges measured")->check(CLI::Range(1, 1000000));
  std::vector<std::string> kindNames;
  for (const ExchangeKind& kind : ExchangeKinds()) kindNames.push_back(kind.name);
  app.add_option("-c,--command", kindName, "the command repeated")
      ->check(CLI::IsMember(kindNames))
      ->capture_default_str();
  app.add_option("--communic", run.communic,
                 "COMMUNIC of a running sensor, 1..5 = 4800..57600 baud, reached with the "
                 "handshake; 0 = a sensor in its menu at 57600 baud")
      ->check(CLI::Range(0, 5))
      ->capture_default_str();
  app.add_flag("--no-pace", unpaced, "let the sensor answer as fast as it can");
  app.add_option("--flash-delay", run.flashDelayMs, "milliseconds a flash commit takes")
      ->check(CLI::Range(0, 600000))
      ->capture_default_str();
  app.add_flag("--state", keepState,
               "let the sensor keep its memory in a state file, in a temporary folder (TMPDIR)");
  app.add_option("--sim", run.simProgram, "path of the zema-sim program")
      ->check(CLI::ExistingFile)
      ->capture_default_str();
  app.add_option("--sim-log", run.simErrorLog, "file for zema-sim's messages");
  app.add_option("--repeat", repeat, "measure this many times")->check(CLI::Range(1, 100));
  CLI11_PARSE(app, argc, argv);

  run.command = FindExchangeKind(kindName)->command;
  run.paced = !unpaced;
  fs::path stateFolder;
  if (keepState) {
    stateFolder = fs::temp_directory_path() /
                  ("zema-bench-sim-pacing-" + std::to_string(::getpid()));
    fs::create_directories(stateFolder);
    run.stateFile = (stateFolder / "sensor.state").string();
  }

  int status = 0;
  for (int i = 0; i < repeat; ++i) {
    PacingResult result;
    std::string error;
    if (!MeasureSimPacing(run, result, error)) {
      std::cerr << "zema-bench-sim-pacing: " << error << std::endl;
      status = 1;
      break;
    }
    std::cout << DescribePacing(run, result) << std::flush;
  }
  if (!stateFolder.empty()) fs::remove_all(stateFolder);
  return status;
}
