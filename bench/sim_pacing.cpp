#include "bench/sim_pacing.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "bench/sim_process.h"
#include "bench/wire_count.h"
#include "console/connection_control.h"
#include "link/sensor_link.h"
#include "link/serial_port.h"

namespace zema::bench {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

constexpr unsigned kMenuBaud = 57600;
constexpr unsigned kCommunicBauds[] = {4800, 9600, 19200, 38400, 57600};

nanoseconds ProcessCpu() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
}

// Image selectors a select or commit cycles through: the compensation table,
// then every pattern section.
std::uint8_t ImageSelector(int i) {
  const int index = i % (1 + kBankCount * 2);
  if (index == 0) return kCompensationSelector;
  return PatternSelector((index - 1) / 2, (index - 1) % 2);
}

// Fills the link's xfer with the payload of exchange i: a different block,
// set or image each time, as a run would address them.
void PreparePayload(SensorLink& link, const SensorCommand& command, int i) {
  auto& xfer = link.xfer;
  std::fill(xfer.begin(), xfer.end(), static_cast<std::uint8_t>(i * 7));
  switch (command.code) {
    case kCmdReadParamSet.code:
    case kCmdWriteParamSet.code:
      xfer[0] = static_cast<std::uint8_t>(i % (kCommonSlot + 1));
      break;
    case kCmdReadBlock.code:
    case kCmdWriteBlock.code:
      xfer[0] = static_cast<std::uint8_t>(i % 256);
      break;
    case kCmdSelectImage.code:
    case kCmdFlashCommit.code:
      xfer[0] = ImageSelector(i);
      break;
    default:
      break;
  }
}

bool Connect(SensorLink& link, int port, int communic, std::string& error) {
  Result<SensorLink> opened = SensorLink::OpenCom(port);
  if (!opened.ok()) {
    error = "cannot open COM" + std::to_string(port);
    return false;
  }
  link = std::move(opened.value);
  if (communic == 0) {
    link.Port().SetLineMode(kLineMode57600NoParity);
  } else {
    link.Port().SetLineMode(CommandModeLineMode(communic - 1));
    link.Port().PurgeInput();
    if (const std::optional<Failure> failure = link.EnterPcMode()) {
      error = "handshake failed: " + failure->text;
      return false;
    }
  }
  if (const Result<Reply> reply = link.Exchange(kCmdConfirm); !reply.ok()) {
    error = "link not confirmed: " + reply.failure->text;
    return false;
  }
  return true;
}

}  // namespace

const std::vector<ExchangeKind>& ExchangeKinds() {
  static const std::vector<ExchangeKind> kinds = {
      {"read-block", kCmdReadBlock},         {"write-block", kCmdWriteBlock},
      {"read-params", kCmdReadParamSet},     {"write-params", kCmdWriteParamSet},
      {"select-image", kCmdSelectImage},     {"flash-commit", kCmdFlashCommit},
      {"confirm", kCmdConfirm},
  };
  return kinds;
}

const ExchangeKind* FindExchangeKind(const std::string& name) {
  for (const ExchangeKind& kind : ExchangeKinds()) {
    if (name == kind.name) return &kind;
  }
  return nullptr;
}

double PacingResult::Ratio() const {
  return wireTime.count() > 0 ? static_cast<double>(measured.count()) / wireTime.count() : 0.0;
}

nanoseconds PacingResult::OverheadPerExchange() const {
  return exchanges > 0 ? (measured - wireTime) / exchanges : nanoseconds(0);
}

bool MeasureSimPacing(const PacingRun& run, PacingResult& result, std::string& error) {
  if (run.communic < 0 || run.communic > 5 || run.count <= 0) {
    error = "COMMUNIC is 0 (menu) or 1 to 5, the count at least 1";
    return false;
  }
  result = PacingResult{};
  result.baud = run.communic == 0 ? kMenuBaud : kCommunicBauds[run.communic - 1];

  std::vector<std::string> arguments = {run.paced ? "--pace" : "--no-pace", "--flash-delay",
                                        std::to_string(run.flashDelayMs)};
  if (run.communic != 0) {
    arguments.insert(arguments.end(),
                     {"--mode", "command", "--communic", std::to_string(run.communic)});
  }
  if (!run.stateFile.empty()) arguments.insert(arguments.end(), {"--state", run.stateFile});

  SimProcess sim;
  if (!sim.Start(run.simProgram, arguments, run.simErrorLog, error)) return false;
  SensorLink link;
  if (!Connect(link, sim.port(), run.communic, error)) return false;

  const SensorCommand& command = run.command;
  const nanoseconds flashDelay = command.code == kCmdFlashCommit.code
                                     ? std::chrono::milliseconds(run.flashDelayMs)
                                     : nanoseconds(0);
  const nanoseconds wirePerExchange =
      (run.paced ? WireTime(command.WireBytes(), result.baud) : nanoseconds(0)) +
      flashDelay;
  bool ok = true;
  for (int i = 0; i < run.warmUp && ok; ++i) {
    PreparePayload(link, command, i);
    ok = link.Exchange(command).ok();
  }

  std::vector<nanoseconds> each;
  each.reserve(static_cast<std::size_t>(run.count));
  const nanoseconds simCpuBefore = sim.CpuTime();
  const nanoseconds clientCpuBefore = ProcessCpu();
  const auto started = Clock::now();
  auto last = started;
  for (int i = 0; i < run.count && ok; ++i) {
    PreparePayload(link, command, run.warmUp + i);
    ok = link.Exchange(command).ok();
    const auto now = Clock::now();
    each.push_back(now - last);
    last = now;
  }
  result.measured = last - started;
  result.clientCpu = ProcessCpu() - clientCpuBefore;
  const nanoseconds simCpuAfter = sim.CpuTime();
  if (simCpuBefore.count() >= 0 && simCpuAfter.count() >= 0) {
    result.simCpu = simCpuAfter - simCpuBefore;
  }
  link.Close();
  sim.Stop();
  if (!ok) {
    error = "exchange " + std::to_string(each.size()) + " failed: " + link.lastError.text;
    return false;
  }

  result.exchanges = run.count;
  result.wireBytes = static_cast<long long>(command.WireBytes()) * run.count;
  result.wireTime = wirePerExchange * run.count;
  std::sort(each.begin(), each.end());
  result.minOverhead = each.front() - wirePerExchange;
  result.medianOverhead = each[each.size() / 2] - wirePerExchange;
  result.p99Overhead = each[each.size() * 99 / 100] - wirePerExchange;
  result.maxOverhead = each.back() - wirePerExchange;
  return true;
}

std::string DescribePacing(const PacingRun& run, const PacingResult& result) {
  const auto ms = [](nanoseconds t) { return static_cast<double>(t.count()) / 1e6; };
  const auto us = [](nanoseconds t) { return static_cast<double>(t.count()) / 1e3; };
  const auto share = [&](nanoseconds cpu) {
    return 100.0 * static_cast<double>(cpu.count()) / static_cast<double>(result.measured.count());
  };
  char text[1024];
  int length = std::snprintf(text, sizeof text,
                             "%d exchanges of 0x%02X at %u baud (%s), %lld wire bytes\n"
                             "  measured   %10.3f ms\n",
                             result.exchanges, run.command.code, result.baud,
                             run.paced ? "paced" : "unpaced", result.wireBytes, ms(result.measured));
  const auto append = [&](const char* format, auto... values) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), format,
                            values...);
  };
  if (result.wireTime.count() > 0) {
    append("  wire time  %10.3f ms%s\n", ms(result.wireTime),
           run.command.code == kCmdFlashCommit.code && run.flashDelayMs > 0
               ? " (with flash delays)"
               : "");
    append("  ratio      %10.5f  (sensor adds %+.3f %%)\n", result.Ratio(),
           (result.Ratio() - 1.0) * 100.0);
    append("  overhead   %10.1f us an exchange (min %.1f, median %.1f, 99 %% %.1f, max %.1f)\n",
           us(result.OverheadPerExchange()), us(result.minOverhead), us(result.medianOverhead),
           us(result.p99Overhead), us(result.maxOverhead));
  } else {
    append("  latency    %10.1f us an exchange (min %.1f, median %.1f, 99 %% %.1f, max %.1f)\n",
           us(result.OverheadPerExchange()), us(result.minOverhead), us(result.medianOverhead),
           us(result.p99Overhead), us(result.maxOverhead));
  }
  if (result.simCpu.count() >= 0) {
    append("  CPU        zema-sim %.2f %% of wall, client %.2f %% of wall\n", share(result.simCpu),
           share(result.clientCpu));
  } else {
    append("  CPU        client %.2f %% of wall\n", share(result.clientCpu));
  }
  return text;
}

}  // namespace zema::bench
