#include "formats/file_naming.h"

#include <cstring>

#include "link/commands.h"
#include "res/messages.h"

#ifdef _WIN32
#include "res/wide_text.h"
#endif

std::string FileSuffix(int slot, bool isImage) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  if (slot >= kCommonSlot) return isImage ? ".cmp.bmp" : ".prM.zema";
  const char digit = kHexDigits[slot < 0 ? 0 : slot];
  return isImage ? std::string(".pt") + digit + ".bmp" : std::string(".pr") + digit + ".zema";
}

bool BuildFilePath(const std::string& baseName, char* dest, std::size_t destSize, int slot,
                   bool isImage) {
  if (destSize == 0) return false;
  const std::string path = baseName + FileSuffix(slot, isImage);
  // A zero inside the base name would silently shorten the path.
  if (path.size() >= destSize || path.find('\0') != std::string::npos) {
    dest[0] = '\0';
    return false;
  }
  std::memcpy(dest, path.c_str(), path.size() + 1);
  return true;
}

bool BaseNameFits(const std::string& baseName) {
  if (baseName.size() > kMaxBaseNameBytes || baseName.find('\0') != std::string::npos) {
    return false;
  }
#ifdef _WIN32
  return WideFromUtf8(baseName).size() <= kMaxBaseNameLength;
#else
  return true;
#endif
}

int BaseNameRefusal(const std::string& baseName) {
  if (baseName.empty()) return kMsgBaseNameWithoutName;
  if (!BaseNameFits(baseName)) return kMsgBaseNameTooLong;
  return 0;
}
