#include "cli/port_holders_linux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

namespace zema {

namespace fs = std::filesystem;

namespace {

// A file as the kernel names it in /proc/locks: its file system's device
// and its inode.
struct FileId {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned long long inode = 0;
  auto operator<=>(const FileId&) const = default;
};

bool IdOf(const std::string& path, FileId& id) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  id = {::major(info.st_dev), ::minor(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
  return true;
}

std::string ProgramName(const fs::path& processFolder) {
  std::ifstream in(processFolder / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Process ids and the files they hold locks on ("1: FLOCK  ADVISORY  WRITE
// 1234 00:05:87 0 EOF"; a waiting lock's line has "->" after the number).
std::multimap<FileId, int> LockHolders(const fs::path& locksFile) {
  std::multimap<FileId, int> holders;
  std::ifstream in(locksFile);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string number, type, mode, access, file;
    int pid = 0;
    fields >> number >> type;
    if (type == "->") continue;  // waiting, not holding
    fields >> mode >> access >> pid >> file;
    FileId id;
    if (std::sscanf(file.c_str(), "%x:%x:%llu", &id.major, &id.minor, &id.inode) == 3 && pid > 0) {
      holders.emplace(id, pid);
    }
  }
  return holders;
}

// Process ids with a descriptor open on one of `wanted`.
std::multimap<FileId, int> OpenHolders(const fs::path& procRoot, const std::set<FileId>& wanted) {
  std::multimap<FileId, int> holders;
  if (wanted.empty()) return holders;
  std::error_code error;
  for (const auto& process : fs::directory_iterator(procRoot, error)) {
    const std::string name = process.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const int pid = std::stoi(name);
    std::set<FileId> seen;
    std::error_code denied;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", denied)) {
      FileId id;
      if (IdOf(fd.path().string(), id) && wanted.count(id) != 0 && seen.insert(id).second) {
        holders.emplace(id, pid);
      }
    }
  }
  return holders;
}

void AddHolders(const std::multimap<FileId, int>& holders, const FileId& id,
                const fs::path& procRoot, SerialPortInfo& port) {
  const auto [first, last] = holders.equal_range(id);
  for (auto at = first; at != last; ++at) {
    const int pid = at->second;
    if (pid == ::getpid()) continue;
    const bool known = std::any_of(port.holders.begin(), port.holders.end(),
                                   [pid](const PortHolder& h) { return h.pid == pid; });
    if (!known) port.holders.push_back({pid, ProgramName(procRoot / std::to_string(pid))});
  }
}

}  // namespace

void FindPortHolders(std::vector<SerialPortInfo>& ports, const std::string& procRoot) {
  std::vector<FileId> ids(ports.size());
  std::vector<bool> known(ports.size(), false);
  std::set<FileId> wanted;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    known[i] = !ports[i].missing && IdOf(ports[i].device, ids[i]);
    if (known[i] && !ports[i].virtualSensor) wanted.insert(ids[i]);
  }
  const auto locks = LockHolders(fs::path(procRoot) / "locks");
  const auto open = OpenHolders(procRoot, wanted);
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (!known[i]) continue;
    AddHolders(locks, ids[i], procRoot, ports[i]);
    if (!ports[i].virtualSensor) AddHolders(open, ids[i], procRoot, ports[i]);
    std::sort(ports[i].holders.begin(), ports[i].holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    ports[i].inUse = !ports[i].holders.empty();
  }
}

}  // namespace zema
