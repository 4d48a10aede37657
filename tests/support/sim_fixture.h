// A virtual ZEMA sensor for tests: runs in-process on a real pseudo-terminal
// and is reachable as a COM port, so a test drives it through the link layer
// exactly as the loader drives hardware.
//
//   SimFixture sim;                        // menu mode, 57600 baud, no delays
//   SensorLink link = OpenMenuLink(sim.port());
//   ...link.Exchange(kCmdConfirm)...
//   sim.Memory().params[3]                 // what the sensor holds now
//
// Defaults suit fast tests: no line pacing, no flash delay, demo content in
// memory, nothing kept on disk. Set ZEMA_SIM_TRACE=1 in the environment to
// see every exchange on standard error.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/sensor_link.h"
#include "sim/fault_plan.h"
#include "sim/sensor_memory.h"
#include "sim/virtual_sensor.h"

class ComPortClaim;

class SimFixture {
 public:
  // The sensor's own settings (mode, COMMUNIC, state file, ...), with the
  // flash store taking no time so that tests stay fast.
  struct Options : zema::sim::SensorSettings {
    Options() { flashDelayMs = 0; }
  };

  SimFixture();
  explicit SimFixture(Options options);
  ~SimFixture();
  SimFixture(const SimFixture&) = delete;
  SimFixture& operator=(const SimFixture&) = delete;

  // The COM number under which the link layer reaches the sensor.
  int port() const { return port_; }
  const std::string& devicePath() const;

  // Memory as the sensor holds it now, and changes to it (safe while the
  // sensor serves).
  zema::sim::SensorMemory Memory() const;
  void EditMemory(const std::function<void(zema::sim::SensorMemory&)>& edit);

  // The command frames the sensor has taken since it started (or since the
  // last ClearCommands), checksum included.
  std::vector<std::vector<std::uint8_t>> Commands() const;
  void ClearCommands();
  // Runs on the sensor's thread with each command frame, before the sensor
  // carries it out; `number` counts the frames from 1, as Commands() does.
  using CommandHook = std::function<void(std::size_t number, std::span<const std::uint8_t> frame)>;
  void SetCommandHook(CommandHook hook);

  // Replaces all faults; AddFault adds one command fault to them.
  void SetFaults(zema::sim::FaultPlan plan);
  void AddFault(const zema::sim::CommandFault& fault);
  void SetHandshakeFault(zema::sim::HandshakeFault fault);
  void SetFlashDelay(int milliseconds);

  // The adapter is pulled out: the sensor stops (saving its state file, if
  // any) and its line vanishes (a program holding the port sees it hang
  // up); the port stays claimed. Safe while a program waits on the line.
  void Unplug();
  // The adapter comes back: a sensor with the memory the old one ended
  // with, freshly started (no faults), reachable under the same COM number
  // on a new device, as a USB adapter returns under its old name.
  void Replug();

  zema::sim::VirtualSensor& sensor() { return *sensor_; }

 private:
  bool StartSensor(zema::sim::SensorMemory memory);

  zema::sim::SensorSettings settings_;
  std::unique_ptr<zema::sim::VirtualSensor> sensor_;
  std::unique_ptr<ComPortClaim> claim_;
  zema::sim::FaultPlan faults_;
  int port_ = 0;
  mutable std::mutex commandsMutex_;
  std::vector<std::vector<std::uint8_t>> commands_;
  CommandHook commandHook_;
};

// A link on COM port `port` at the menu's 57600 baud (a failed test when it
// does not open).
SensorLink OpenMenuLink(int port);

// A test with the virtual sensor in its menu mode and a link open at the
// menu's 57600 baud.
class SimPortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  SimFixture sim;
  SensorLink link;
};
