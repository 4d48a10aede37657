// The serial ports as zema-transfer ports lists them, read from a made-up
// sysfs, /dev and /proc, and what --adapter-serial and --link make of them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/adapter_choice.h"
#include "cli/com_port_link.h"
#include "cli/port_holders_linux.h"
#include "cli/port_listing.h"
#include "cli/usb_instance_id.h"
#include "tests/support/fake_sysfs.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

const FakeUsbDevice kFtdi{"0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ"};
const FakeUsbDevice kSiliconLabs{"10c4", "ea60", "Silicon Labs", "CP2102 USB to UART", ""};
const FakeUsbDevice kModem{"2341", "0043", "Arduino", "Uno", "75735323"};
const char kFtdiById[] = "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";

// A PC with an FTDI and a Silicon Labs adapter, a USB modem, one UART,
// an empty UART slot and the usual virtual terminals.
void BuildLinePc(FakeSysfs& tree) {
  tree.AddUsbSerial("ttyUSB0", "1-2", kFtdi, "ftdi_sio", 16, kFtdiById);
  tree.AddUsbSerial("ttyUSB1", "1-3", kSiliconLabs, "cp210x", -1, "");
  tree.AddUsbAcm("ttyACM0", "1-4", kModem);
  tree.AddUart("ttyS0", 4);
  tree.AddUart("ttyS1", 0);
  for (const char* name : {"tty0", "tty1", "console", "ptmx"}) tree.AddVirtualTerminal(name);
}

TEST(SerialPortListing, SysfsGivesEveryRealPortWithItsIdentity) {
  FakeSysfs tree;
  BuildLinePc(tree);
  struct Expected {
    std::string name, byId, driver;
    FakeUsbDevice usb;
    int latencyMs;
  };
  const Expected expected[] = {
      {"ttyACM0", "", "cdc_acm", kModem, -1},
      {"ttyS0", "", "serial", {}, -1},
      {"ttyUSB0", tree.devRoot() + "/serial/by-id/" + kFtdiById, "ftdi_sio", kFtdi, 16},
      {"ttyUSB1", "", "cp210x", kSiliconLabs, -1},
  };
  const auto ports = ReadSysfsSerialPorts({tree.sysRoot(), tree.devRoot()});
  ASSERT_EQ(ports.size(), std::size(expected));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const SerialPortInfo& port = ports[i];
    const Expected& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(port.device, tree.Device(e.name));
    EXPECT_EQ(port.byId, e.byId);
    EXPECT_EQ(port.driver, e.driver);
    EXPECT_EQ(port.vendorId, e.usb.vendorId);
    EXPECT_EQ(port.productId, e.usb.productId);
    EXPECT_EQ(port.manufacturer, e.usb.manufacturer);
    EXPECT_EQ(port.product, e.usb.product);
    EXPECT_EQ(port.serialNumber, e.usb.serial);
    EXPECT_EQ(port.latencyTimerMs, e.latencyMs);
  }
}

TEST(SerialPortListing, ComLinksReachPortsOrAreListedAsTheyAre) {
  FakeSysfs tree;
  BuildLinePc(tree);
  const fs::path config = tree.folder() / "config";
  const fs::path links = config / "zema-loader/dosdevices";
  fs::create_directories(links);
  fs::create_symlink(tree.devRoot() + "/serial/by-id/" + kFtdiById, links / "com3");
  fs::create_symlink(tree.Device("ttyUSB0"), links / "com4");
  fs::create_symlink(tree.Device("ttyUSB7"), links / "com5");  // unplugged
  const char* before = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = before != nullptr ? before : "";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const auto ports = ListSerialPorts({tree.sysRoot(), tree.devRoot()});
  before != nullptr ? ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");

  struct Expected {
    std::string device;
    std::vector<int> com;
    bool missing;
  };
  const Expected expected[] = {{tree.Device("ttyUSB0"), {3, 4}, false},
                               {tree.Device("ttyUSB1"), {}, false},
                               {tree.Device("ttyUSB7"), {5}, true}};
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.device);
    const auto port = std::find_if(ports.begin(), ports.end(),
                                   [&](const SerialPortInfo& p) { return p.device == e.device; });
    ASSERT_NE(port, ports.end());
    EXPECT_EQ(port->comNumbers, e.com);
    EXPECT_EQ(port->missing, e.missing);
  }
}

TEST(SerialPortListing, HoldersAreOpenDescriptorsAndLocks) {
  FakeSysfs tree;
  BuildLinePc(tree);
  const fs::path proc = tree.folder() / "proc";
  const auto process = [&](int pid, const std::string& program,
                           const std::vector<std::string>& open) {
    const fs::path folder = proc / std::to_string(pid);
    fs::create_directories(folder / "fd");
    std::ofstream(folder / "comm") << program << "\n";
    int fd = 3;
    for (const std::string& name : open) {
      fs::create_symlink(tree.Device(name), folder / "fd" / std::to_string(fd++));
    }
  };
  process(100, "minicom", {"ttyUSB0"});
  process(200, "zema-transfer", {});
  process(300, "zema-sim", {"ttyS0"});
  process(400, "waiting", {});
  const auto lockLine = [&](int pid, const std::string& name, const char* prefix) {
    struct stat info {};
    ::stat(tree.Device(name).c_str(), &info);
    char line[128];
    std::snprintf(line, sizeof line, "1: %sFLOCK  ADVISORY  WRITE %d %02x:%02x:%llu 0 EOF\n",
                  prefix, pid, ::major(info.st_dev), ::minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    return std::string(line);
  };
  std::ofstream(proc / "locks") << lockLine(200, "ttyUSB1", "") << lockLine(200, "ttyS0", "")
                                << lockLine(400, "ttyUSB1", "-> ");

  struct Case {
    std::string name;
    bool virtualSensor;
    std::vector<int> pids;
  };
  // A virtual sensor holds its own terminal open: only a lock counts there.
  const Case cases[] = {{"ttyUSB0", false, {100}},
                        {"ttyUSB1", false, {200}},
                        {"ttyS0", true, {200}},
                        {"ttyACM0", false, {}}};
  std::vector<SerialPortInfo> ports;
  for (const Case& c : cases) {
    ports.push_back({});
    ports.back().device = tree.Device(c.name);
    ports.back().virtualSensor = c.virtualSensor;
  }
  FindPortHolders(ports, proc.string());
  for (std::size_t i = 0; i < ports.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    std::vector<int> pids;
    for (const PortHolder& holder : ports[i].holders) pids.push_back(holder.pid);
    EXPECT_EQ(pids, cases[i].pids);
    EXPECT_EQ(ports[i].inUse, !cases[i].pids.empty());
  }
  EXPECT_EQ(ports[0].holders.front().program, "minicom");
}

TEST(SerialPortListing, AnAdapterIsChosenByItsSerialNumberOnlyWhenOnePortHasIt) {
  const auto port = [](const char* device, const char* byId, const char* serial) {
    SerialPortInfo info;
    info.device = device;
    info.byId = byId;
    info.serialNumber = serial;
    return info;
  };
  const std::vector<SerialPortInfo> ports = {port("/dev/ttyUSB0", "/dev/serial/by-id/a", "A1"),
                                             port("/dev/ttyUSB1", "", "B2"),
                                             port("/dev/ttyUSB2", "/dev/serial/by-id/c0", "C3"),
                                             port("/dev/ttyUSB3", "/dev/serial/by-id/c1", "C3")};
  struct Case {
    std::string serial;
    std::string device;  // empty: refused
    std::string errorPart;
  };
  const Case cases[] = {
      {"A1", "/dev/serial/by-id/a", ""},
      {"B2", "/dev/ttyUSB1", ""},
      {"C3", "", "2 ports have the USB serial number C3"},
      {"a1", "", "no serial adapter has the USB serial number a1 (plugged in: A1 (/dev/ttyUSB0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    std::string device, error;
    EXPECT_EQ(FindAdapterBySerial(ports, c.serial, device, error), !c.device.empty());
    EXPECT_EQ(device, c.device);
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
  }
  std::string device, error;
  EXPECT_FALSE(FindAdapterBySerial({}, "A1", device, error));
  EXPECT_NE(error.find("no adapter with a serial number is plugged in"), std::string::npos);
}

TEST(SerialPortListing, LinkingAComNumberNamesTheStableNameAndKeepsOthersLinks) {
  FakeSysfs tree;
  BuildLinePc(tree);
  const std::string byId = tree.devRoot() + "/serial/by-id/" + kFtdiById;
  struct Case {
    std::string existing;  // what com2 names before; empty: nothing
    bool replace;
    ComLinkOutcome outcome;
    std::string after;  // what com2 names after
  };
  const Case cases[] = {
      {"", false, ComLinkOutcome::Linked, byId},
      {byId, false, ComLinkOutcome::AlreadyLinked, byId},
      {"/dev/pts/9", false, ComLinkOutcome::Refused, "/dev/pts/9"},
      {"/dev/pts/9", true, ComLinkOutcome::Linked, byId},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.existing + (c.replace ? ", replace" : ""));
    const fs::path folder = tree.folder() / "dosdevices";
    fs::remove_all(folder);
    if (!c.existing.empty()) {
      fs::create_directories(folder);
      fs::create_symlink(c.existing, folder / "com2");
    }
    std::string message;
    const ComLinkRequest request{folder.string(), 2, tree.Device("ttyUSB0"), c.replace,
                                 tree.devRoot() + "/serial/by-id"};
    EXPECT_EQ(LinkComPort(request, message), c.outcome) << message;
    EXPECT_EQ(fs::read_symlink(folder / "com2").string(), c.after);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
  // Neither a file of that name nor a device that does not exist is linked.
  std::string message;
  const fs::path folder = tree.folder() / "dosdevices";
  std::ofstream(folder / "com8") << "x";
  for (const auto& [number, device] : {std::pair{8, "ttyUSB0"}, std::pair{9, "ttyUSB9"}}) {
    const ComLinkRequest request{folder.string(), number, tree.Device(device), true, ""};
    EXPECT_EQ(LinkComPort(request, message), ComLinkOutcome::Refused) << number;
  }
}

TEST(SerialPortListing, WindowsInstanceIdsGiveTheUsbIdentity) {
  struct Case {
    std::string id;
    bool usb;
    std::string vendor, product, serial;
  };
  const Case cases[] = {
      {"USB\\VID_0403&PID_6001\\A10K3XYZ", true, "0403", "6001", "A10K3XYZ"},
      {"FTDIBUS\\VID_0403+PID_6015+DN05ABCDA\\0000", true, "0403", "6015", "DN05ABCDA"},
      {"USB\\VID_10C4&PID_EA60\\5&2A3C6E1&0&2", true, "10c4", "ea60", ""},
      {"USB\\VID_2341&PID_8036&MI_00\\6&3A5B&0&0000", true, "2341", "8036", ""},
      {"ACPI\\PNP0501\\1", false, "", "", ""},
      {"USB\\VID_04", false, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    UsbIdentity usb;
    EXPECT_EQ(ParseUsbInstanceId(c.id, usb), c.usb);
    if (!c.usb) continue;
    EXPECT_EQ(usb.vendorId, c.vendor);
    EXPECT_EQ(usb.productId, c.product);
    EXPECT_EQ(usb.serialNumber, c.serial);
  }
}

}  // namespace

}  // namespace zema
