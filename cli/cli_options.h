// The command line of zema-transfer, read with CLI11.
//
//   zema-transfer read    [selection] --base NAME [connection] [answers] [--resume]
//   zema-transfer write   [selection] --base NAME [connection] [answers] [--resume] [--verify]
//   zema-transfer write   [selection] --backup FOLDER [connection] [answers] [--resume] [--verify]
//   zema-transfer compare [selection] --base NAME [connection] [--resume]
//   zema-transfer resume  [connection]
//   zema-transfer ports [--json] [--link N DEVICE [--replace]]
//   zema-transfer diff OLD NEW [--json] [--no-images]
//   zema-transfer backup --inventory FILE --into DIR [--jobs N] [--keep N] [--json]
#pragma once

#include <string>
#include <vector>

#include "transfer/transfer_target.h"

namespace zema {

enum class CliCommand { Read, Write, Compare, Resume, Ports, Diff, Backup };

struct CliOptions {
  CliCommand command = CliCommand::Ports;

  // Selection; read, write and compare need at least one kind.
  bool params = false;
  bool common = false;
  bool compensation = false;
  bool patterns = false;
  int startBank = 0;
  int endBank = 14;
  std::string base;

  // Connection: a COM number resolved as the loader resolves it, or a
  // device path.
  int port = 1;
  std::string device;
  std::string adapterSerial;  // the USB serial number of the sensor's adapter
  bool commandMode = false;
  int speedIndex = -1;  // "4800 (1)" .. "57600 (5)": 0 .. 4
  bool assumePcMode = false;

  // Answers to the run's questions.
  bool overwrite = false;    // Yes to 119
  bool skipMissing = false;  // No to the missing-file questions

  // write --backup: a backup folder, or "<sensor folder>/latest"
  std::string backup;

  bool resume = false;
  bool verify = false;
  bool quiet = false;
  bool trace = false;

  // ports
  bool json = false;
  std::vector<std::string> link;  // --link N DEVICE
  bool replaceLink = false;
  std::string sysfsRoot = "/sys";  // another tree, for tests and demonstrations
  std::string devRoot = "/dev";

  // diff (and --json)
  std::string diffOld;
  std::string diffNew;
  bool noImages = false;

  // backup (and --json)
  std::string inventory;
  std::string into;
  int jobs = 0;  // 0: every sensor at once
  int keep = 0;  // 0: keep every backup
};

struct ParsedCommandLine {
  enum class Outcome { Run, Exit };
  Outcome outcome = Outcome::Run;
  int exitStatus = 0;  // for Exit: 0 after --help or --version, 2 after a mistake
  CliOptions options;
};

// Reads the arguments (without the program name). Help, the version and
// usage mistakes are printed here (to standard output and standard error).
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The TransferTarget the options select, in direction `direction`.
TransferTarget TargetOf(const CliOptions& options, int direction);

// "4800" .. "57600" or the COMMUNIC value "1" .. "5": the speed list index
// 0 .. 4; -1 for anything else.
int SpeedIndexOf(const std::string& text);

// "A-B" or "N", banks 0 to 14 with A not above B; false for anything else.
bool ParseBankRange(const std::string& text, int& first, int& last);

}  // namespace zema
