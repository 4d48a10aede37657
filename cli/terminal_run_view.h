// The run view of the command line: progress on standard error.
//
// On a terminal (Live) three lines are redrawn in place: the step line, the
// detail line, and a bar with the bytes moved, the rate and the time left,
// all for the whole run. Elsewhere (Lines)
// one plain line per step and per bank, without carriage returns or escape
// codes, for another program to read:
//
//   step 0/1306624 Reading Bank parameters
//   bank 1104/1306624 Bank No. = 0
//
// The kind, the bytes moved so far and in all, then the text. Quiet shows
// nothing. Every call first turns a pending stop signal into the cancel
// request of the run being shown, so the run stops where CANCEL would stop it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frontend/run_view.h"

class TerminalRunView : public RunView {
 public:
  enum class Style { Live, Lines, Quiet };

  TerminalRunView(std::FILE* out, Style style) : out_(out), style_(style) {}

  // Starts a phase (a run, or the reading back after it) that will move
  // `totalBytes` on the line; rate and time left count from here. A stop
  // signal sets `cancelState` (the run's) to kCancelPressed.
  void Begin(std::uint64_t totalBytes, int& cancelState);
  // Ends the phase: the live lines are drawn a last time and left on
  // screen; nothing is drawn below them until the next Begin.
  void End();

  // Prints a line of its own (a question, a result), above the live lines
  // while the phase runs. Printed in every style.
  void PrintLine(const std::string& text);
  // Prints a line that ends the phase (a failure): below the live lines,
  // which stay as they were.
  void PrintFinalLine(const std::string& text);

  // RunView
  void SetStepLine(const std::string& text) override;
  void SetDetailLine(const std::string& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void ShowWindow() override;
  void PumpPendingEvent() override;
  void OfferOk() override;
  void EndDialog(int result) override;

 private:
  using Clock = std::chrono::steady_clock;

  void TakeStopRequest();
  std::uint64_t Moved() const;
  std::string BarLine() const;
  // Live: redraws when a text changed (`now`) or some time has passed.
  void Draw(bool now);
  void EraseLive();
  void PlainLine(const char* kind, const std::string& text);

  std::FILE* out_;
  Style style_;
  std::string step_;
  std::string detail_;
  std::string lastBankLine_;
  int low_ = 0;
  int high_ = 512;
  int position_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t startBytes_ = 0;
  Clock::time_point started_ = Clock::now();
  Clock::time_point drawn_{};
  bool liveShown_ = false;
  bool running_ = false;  // between Begin and End
  bool stopTaken_ = false;
  int* cancelState_ = nullptr;
};
