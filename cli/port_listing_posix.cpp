// COM numbers on a POSIX system: dosdevices links beside the program and in
// the user's configuration folder, then /dev/ttyS<n-1>; USB serial adapters
// (/dev/ttyUSB*, /dev/ttyACM*) that no link names are listed with the
// command that links one.
#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/port_listing.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"

namespace fs = std::filesystem;

namespace {

struct LinkedPort {
  int number;
  std::string line;
  fs::path device;  // what the port opens, links followed
};

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

bool IsLink(const fs::path& path) {
  std::error_code error;
  return fs::is_symlink(path, error);
}

std::vector<fs::path> UsbAdapters() {
  std::vector<fs::path> adapters;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/dev", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) {
      adapters.push_back(entry.path());
    }
  }
  std::sort(adapters.begin(), adapters.end());
  return adapters;
}

std::string ComName(int number) { return "COM" + std::to_string(number); }

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::vector<std::string> ListPorts() {
  std::vector<std::string> lines;
  std::set<int> linked;
  std::set<fs::path> reached;
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const fs::path device = ComDevicePath(n);
    if (IsLink(device)) {
      linked.insert(n);
      std::error_code error;
      const fs::path target = fs::read_symlink(device, error);
      std::string line = Padded(ComName(n), 8) + device.string() + " -> " + target.string();
      if (!Exists(device)) {
        line += "  (the device it names does not exist)";
      } else {
        reached.insert(fs::canonical(device, error));
      }
      lines.push_back(line);
    } else if (Exists(device)) {
      std::error_code error;
      reached.insert(fs::canonical(device, error));
      lines.push_back(Padded(ComName(n), 8) + device.string());
    }
  }
  if (lines.empty()) lines.push_back("No COM number resolves to a device.");

  const std::string folder = UserDosDevicesFolder();
  int next = kFirstPort;
  bool headed = false;
  for (const fs::path& adapter : UsbAdapters()) {
    std::error_code error;
    if (reached.count(fs::canonical(adapter, error)) != 0) continue;
    while (next <= kLastPort && linked.count(next) != 0) ++next;
    if (!headed) {
      lines.push_back("");
      lines.push_back("Serial adapters no COM number reaches yet; to use one as COMn, link it:");
      headed = true;
    }
    std::string line = "  " + Padded(adapter.string(), 14);
    if (next <= kLastPort && !folder.empty()) {
      line += "mkdir -p " + folder + " && ln -s " + adapter.string() + " " + folder + "/com" +
              std::to_string(next);
      linked.insert(next);
    }
    lines.push_back(line);
  }
  return lines;
}
