// zema-sim: a virtual ZEMA sensor on a pseudo-terminal.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "link/frame_trace.h"
#include "link/standard_streams.h"
#include "sim/demo_content.h"
#include "sim/device_link.h"
#include "sim/program_options.h"
#include "sim/virtual_sensor.h"

using namespace zema;
using namespace zema::sim;

namespace {

std::string Describe(const ProgramOptions& options) {
  if (options.sensor.mode == ConnectionMode::kMenu) {
    return "in the \"PC LOAD/SAVE\" menu, 57600 baud (loader: com-mode box clear)";
  }
  return "running with COMMUNIC " + std::to_string(options.sensor.communic) + ", " +
         std::to_string(CommunicBaud(options.sensor.communic)) +
         " baud (loader: com-mode box ticked, speed \"" +
         std::to_string(CommunicBaud(options.sensor.communic)) + " (" +
         std::to_string(options.sensor.communic) + ")\")";
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  ProgramOptions options;
  std::string error;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  switch (ParseProgramOptions(arguments, options, error)) {
    case ParseOutcome::kHelp:
      std::cout << HelpText();
      return 0;
    case ParseOutcome::kError:
      std::cerr << "zema-sim: " << error << "\nTry 'zema-sim --help'.\n";
      return 2;
    case ParseOutcome::kRun:
      break;
  }

  // The signals are taken by sigtimedwait below, never by a handler, so the
  // serving thread is not interrupted by them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::mutex errMutex;
  const auto started = std::chrono::steady_clock::now();
  SensorSettings settings = options.sensor;
  settings.report = [&](const std::string& text) {
    std::lock_guard lock(errMutex);
    std::cerr << text << std::endl;
  };
  if (options.trace) {
    settings.trace = [&](const std::string& line) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      std::lock_guard lock(errMutex);
      std::cerr << TimedTraceLine(seconds, line) << std::endl;
    };
  }

  VirtualSensor sensor(settings, DemoMemory());
  sensor.SetFaults(options.faults);
  if (!sensor.Start(error)) {
    std::cerr << "zema-sim: " << error << std::endl;
    return 1;
  }
  DeviceLink link;
  if (!options.linkPath.empty() && !link.Create(options.linkPath, sensor.devicePath(), error)) {
    std::cerr << "zema-sim: " << error << std::endl;
    sensor.Stop();
    return 1;
  }

  std::cout << sensor.devicePath() << std::endl;
  {
    std::lock_guard lock(errMutex);
    std::cerr << "zema-sim: sensor " << Describe(options) << "\n";
    if (!options.linkPath.empty()) {
      const std::string com = ComNameForLink(options.linkPath);
      std::cerr << "zema-sim: " << options.linkPath << " -> " << sensor.devicePath();
      if (!com.empty()) std::cerr << " (the loader finds it as " << com << ")";
      std::cerr << "\n";
    }
    if (options.sensor.adapterLatency.count() > 0) {
      std::cerr << "zema-sim: replies pass a USB adapter with a "
                << options.sensor.adapterLatency.count() << " ms latency timer\n";
    }
    if (!options.sensor.stateFile.empty()) {
      std::cerr << "zema-sim: memory kept in " << options.sensor.stateFile << "\n";
    }
    std::cerr << "zema-sim: stop with Ctrl+C" << std::endl;
  }

  const timespec poll{0, 200 * 1000 * 1000};
  for (;;) {
    const int signal = sigtimedwait(&stopSignals, nullptr, &poll);
    if (signal > 0) break;
    if (sensor.lineGone()) {
      std::cerr << "zema-sim: the line has been hung up" << std::endl;
      break;
    }
  }
  sensor.Stop();
  link.Remove();
  return 0;
}
