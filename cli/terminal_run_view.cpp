#include "cli/terminal_run_view.h"

#include <algorithm>
#include <cinttypes>

#include "cli/forced_end.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "transfer/transfer_run.h"

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;

// Columns the UTF-8 character that starts with `lead` takes: East Asian
// wide characters take two.
int CharColumns(unsigned char lead) { return lead >= 0xE1 && lead <= 0xEF ? 2 : 1; }

// Columns a UTF-8 text takes.
int DisplayWidth(const std::string& text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    width += CharColumns(byte);
  }
  return width;
}

// The text cut to `columns`, whole characters only: a wrapped line would
// spoil the redrawing in place.
std::string FitColumns(const std::string& text, int columns) {
  if (DisplayWidth(text) <= columns) return text;
  std::string fitted;
  int width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    const int charWidth = CharColumns(byte);
    if (width + charWidth > columns) break;
    fitted.append(text, i, length);
    width += charWidth;
    i += length;
  }
  return fitted;
}

std::string Bytes(double bytes) {
  char text[32];
  if (bytes < 1e3) {
    std::snprintf(text, sizeof text, "%.0f B", bytes);
  } else if (bytes < 1e6) {
    std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.2f MB", bytes / 1e6);
  }
  return text;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

}  // namespace

void TerminalRunView::Begin(std::uint64_t totalBytes, int& cancelState) {
  cancelState_ = &cancelState;
  total_ = totalBytes;
  startBytes_ = ComBytesMoved();
  started_ = Clock::now();
  position_ = low_;
  lastBankLine_.clear();
  running_ = true;
}

void TerminalRunView::End() {
  if (!running_) return;
  running_ = false;
  if (style_ != Style::Live || !liveShown_) return;
  // Drawn once more as the phase ended (no time left to estimate), then
  // left alone: whatever is printed later goes below it.
  Draw(true);
  std::fputc('\n', out_);
  std::fflush(out_);
  liveShown_ = false;
  NoteOutputLineOpen(false);
}

void TerminalRunView::PrintLine(const std::string& text) {
  EraseLive();
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
  if (running_) Draw(true);
}

void TerminalRunView::PrintFinalLine(const std::string& text) {
  End();
  PrintLine(text);
}

void TerminalRunView::TakeStopRequest() {
  if (stopTaken_ || cancelState_ == nullptr || !StopRequested()) return;
  stopTaken_ = true;
  if (*cancelState_ == kCancelNone) *cancelState_ = kCancelPressed;
}

std::uint64_t TerminalRunView::Moved() const { return ComBytesMoved() - startBytes_; }

std::string TerminalRunView::BarLine() const {
  // The bar shows what the byte counts beside it show: the whole phase,
  // not the item in hand (whose position restarts for every image).
  const std::uint64_t moved = Moved();
  int filled = 0;
  if (total_ > 0) {
    filled = static_cast<int>(std::min<std::uint64_t>(moved, total_) * kBarWidth / total_);
  } else {
    filled = std::clamp((position_ - low_) * kBarWidth / std::max(1, high_ - low_), 0, kBarWidth);
  }
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  line += "] ";
  const double done = static_cast<double>(moved);
  line += Bytes(done) + " of " + Bytes(static_cast<double>(total_));
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  if (seconds >= 0.5 && done > 0) {
    const double rate = done / seconds;
    line += ", " + Bytes(rate) + "/s";
    if (running_) {
      const double left = static_cast<double>(total_) > done
                              ? (static_cast<double>(total_) - done) / rate
                              : 0.0;
      line += ", " + Duration(left) + " left";
    }
  }
  return line;
}

void TerminalRunView::EraseLive() {
  if (!liveShown_) return;
  // Back to the step line, and everything from there down cleared.
  std::fputs("\r\033[2A\033[J", out_);
  liveShown_ = false;
  NoteOutputLineOpen(false);
}

void TerminalRunView::Draw(bool now) {
  if (style_ != Style::Live || (!running_ && !liveShown_)) return;
  const auto at = Clock::now();
  if (!now && liveShown_ && at - drawn_ < kRedrawEvery) return;
  drawn_ = at;
  const int columns = std::max(20, TerminalColumns(out_) - 1);
  std::string screen = liveShown_ ? "\r\033[2A" : "";
  for (const std::string& line : {step_, detail_}) {
    screen += "\033[2K" + FitColumns(line, columns) + "\n";
  }
  screen += "\033[2K" + FitColumns(BarLine(), columns);
  std::fputs(screen.c_str(), out_);
  std::fflush(out_);
  liveShown_ = true;
  NoteOutputLineOpen(true);
}

void TerminalRunView::PlainLine(const char* kind, const std::string& text) {
  if (style_ != Style::Lines) return;
  std::fprintf(out_, "%s %" PRIu64 "/%" PRIu64 " %s\n", kind, Moved(), total_, text.c_str());
  std::fflush(out_);
}

void TerminalRunView::SetStepLine(const std::string& text) {
  TakeStopRequest();
  // The parameter step shows its title again for every set: one line per
  // step is enough.
  if (text != step_) PlainLine("step", text);
  step_ = text;
  Draw(true);
}

void TerminalRunView::SetDetailLine(const std::string& text) {
  TakeStopRequest();
  detail_ = text;
  // One plain line per bank: the flash-write notice and the blank after
  // it, and the bank text shown again after each commit, add nothing.
  if (text != LoadMessage(kMsgWritingFlash) && text.find_first_not_of(' ') != std::string::npos &&
      text != lastBankLine_) {
    lastBankLine_ = text;
    PlainLine("bank", text);
  }
  Draw(true);
}

void TerminalRunView::SetProgressRange(int low, int high) {
  TakeStopRequest();
  low_ = low;
  high_ = high;
}

void TerminalRunView::SetProgressPosition(int position) {
  TakeStopRequest();
  position_ = position;
  Draw(false);
}

void TerminalRunView::ShowWindow() { TakeStopRequest(); }

void TerminalRunView::PumpPendingEvent() { TakeStopRequest(); }

void TerminalRunView::OfferOk() { TakeStopRequest(); }

void TerminalRunView::EndDialog(int /*result*/) { TakeStopRequest(); }
