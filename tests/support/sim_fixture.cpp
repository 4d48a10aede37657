#include "tests/support/sim_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <utility>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "support/com_port_claim.h"

using namespace zema::sim;

SimFixture::SimFixture() : SimFixture(Options{}) {}

SimFixture::SimFixture(Options options) : settings_(options) {
  settings_.report = [](const std::string& text) { std::cerr << text << std::endl; };
  if (const char* trace = std::getenv("ZEMA_SIM_TRACE"); trace && *trace && *trace != '0') {
    settings_.trace = [](const std::string& line) { std::cerr << line << std::endl; };
  }
  settings_.onCommand = [this](std::span<const std::uint8_t> frame) {
    std::lock_guard lock(commandsMutex_);
    commands_.emplace_back(frame.begin(), frame.end());
    if (commandHook_) commandHook_(commands_.size(), frame);
  };
  if (!StartSensor(DemoMemory())) return;
  claim_ = std::make_unique<ComPortClaim>(sensor_->devicePath());
  port_ = claim_->port();
}

bool SimFixture::StartSensor(SensorMemory memory) {
  sensor_ = std::make_unique<VirtualSensor>(settings_, std::move(memory));
  std::string error;
  if (sensor_->Start(error)) return true;
  ADD_FAILURE() << "virtual sensor did not start: " << error;
  return false;
}

SimFixture::~SimFixture() {
  claim_.reset();
  sensor_->Stop();
}

const std::string& SimFixture::devicePath() const { return sensor_->devicePath(); }

SensorMemory SimFixture::Memory() const { return sensor_->Memory(); }

void SimFixture::EditMemory(const std::function<void(SensorMemory&)>& edit) {
  sensor_->EditMemory(edit);
}

std::vector<std::vector<std::uint8_t>> SimFixture::Commands() const {
  std::lock_guard lock(commandsMutex_);
  return commands_;
}

void SimFixture::ClearCommands() {
  std::lock_guard lock(commandsMutex_);
  commands_.clear();
}

void SimFixture::SetCommandHook(CommandHook hook) {
  std::lock_guard lock(commandsMutex_);
  commandHook_ = std::move(hook);
}

void SimFixture::SetFaults(FaultPlan plan) {
  faults_ = std::move(plan);
  sensor_->SetFaults(faults_);
}

void SimFixture::AddFault(const CommandFault& fault) {
  faults_.commands.push_back(fault);
  sensor_->SetFaults(faults_);
}

void SimFixture::SetHandshakeFault(HandshakeFault fault) {
  faults_.handshake = fault;
  sensor_->SetFaults(faults_);
}

void SimFixture::SetFlashDelay(int milliseconds) {
  settings_.flashDelayMs = milliseconds;
  sensor_->SetFlashDelay(milliseconds);
}

void SimFixture::Unplug() { sensor_->Stop(); }

void SimFixture::Replug() {
  SensorMemory memory = sensor_->Memory();
  sensor_->Stop();
  faults_ = FaultPlan{};
  if (StartSensor(std::move(memory))) claim_->Relink(sensor_->devicePath());
}

SensorLink OpenMenuLink(int port) {
  Result<SensorLink> opened = SensorLink::OpenCom(port);
  EXPECT_TRUE(opened.ok()) << opened.failure.value_or(Failure{}).detail;
  EXPECT_TRUE(opened.value.Port().SetLineMode(kLineMode57600NoParity));
  return std::move(opened.value);
}

void SimPortTest::SetUp() {
  link = OpenMenuLink(sim.port());
  ASSERT_TRUE(link.IsOpen());
}

void SimPortTest::TearDown() { link.Close(); }
