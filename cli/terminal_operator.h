// The operator of the command line: every question the dialog would show
// is printed with the answer the options gave; errors are printed with the
// system's cause as a second line.
//
//   107 "Agree to stop operation of ZEMA?"       Yes with --command-mode
//   109 handshake failed, "PC LOAD/SAVE" shown?  Yes with --assume-pc-mode
//   119 "Found same filename. Do you overwrite?"  Yes with --overwrite
//   127, 130 a file is missing: abort?           No with --skip-missing
#pragma once

#include <string>

#include "cli/terminal_run_view.h"
#include "frontend/operator_dialogs.h"

struct OperatorAnswers {
  bool commandMode = false;
  bool assumePcMode = false;
  bool overwrite = false;
  bool skipMissing = false;
};

class TerminalOperator : public OperatorDialogs {
 public:
  // Questions and errors go through `view`, so that they appear above its
  // live lines. With `quiet` only errors are printed.
  TerminalOperator(TerminalRunView& view, OperatorAnswers answers, bool quiet)
      : view_(view), answers_(answers), quiet_(quiet) {}

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& text, const std::string& caption,
                BoxIcon icon) override;
  void ShowError(const std::string& text, const std::string& detail) override;

  // The path of the file a run is handling (the run's own), which the
  // printed overwrite question names.
  void NameFilesFrom(const std::string& filePath) { filePath_ = &filePath; }

 private:
  TerminalRunView& view_;
  const std::string* filePath_ = nullptr;
  OperatorAnswers answers_;
  bool quiet_;
};
