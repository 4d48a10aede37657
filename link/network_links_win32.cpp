#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/network_address.h"
#include "link/network_links.h"
#include "res/wide_text.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

constexpr int kLastComNumber = 256;

fs::path FolderPath() {
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  if (appData == nullptr || !fs::path(appData).is_absolute()) return {};
  return fs::path(appData) / L"zema-loader" / L"network-ports";
}

}  // namespace

std::string NetworkLinksFolder() {
  const fs::path folder = FolderPath();
  return folder.empty() ? std::string() : Utf8FromWide(folder.wstring());
}

std::string NetworkLinkFile(int port) {
  const fs::path folder = FolderPath();
  if (folder.empty()) return {};
  return Utf8FromWide((folder / (L"com" + std::to_wstring(port))).wstring());
}

std::string NetworkLinkOf(int port) {
  if (port < 1 || port > kLastComNumber) return {};
  const std::string file = NetworkLinkFile(port);
  if (file.empty()) return {};
  std::ifstream in(fs::path(WideFromUtf8(file)));
  std::string url;
  if (!std::getline(in, url)) return {};
  // Notepad may have added a line end or a byte-order mark.
  if (url.rfind("\xEF\xBB\xBF", 0) == 0) url.erase(0, 3);
  while (!url.empty() && (url.back() == '\r' || url.back() == ' ')) url.pop_back();
  return IsNetworkUrl(url) ? url : std::string();
}

std::vector<int> NetworkLinkedPorts() {
  std::vector<int> ports;
  for (int port = 1; port <= kLastComNumber; ++port) {
    if (!NetworkLinkOf(port).empty()) ports.push_back(port);
  }
  return ports;
}

}  // namespace zema
