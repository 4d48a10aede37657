// "zema-transfer ports --link N DEVICE": makes COM number N reach a serial
// adapter for the loader, as a dosdevices/comN link in the user's
// configuration folder. The link names the adapter's stable name
// (/dev/serial/by-id/...) where it has one, so that COM N stays the same
// adapter whichever ttyUSB number it gets at the next plugging.
#pragma once

#include <string>

namespace zema {

struct ComLinkRequest {
  std::string folder;    // the dosdevices folder the link goes into
  int number = 0;        // 1 to 256
  std::string device;    // the adapter, any path that reaches it
  bool replace = false;  // a link of that number to another device may go
  std::string byIdFolder = "/dev/serial/by-id";
};

enum class ComLinkOutcome {
  Linked,
  AlreadyLinked,  // the link was there, naming the same device
  Refused,        // nothing changed; the message says why
};

// Makes the link (the folder too, when missing); `message` says what was
// done or why not.
ComLinkOutcome LinkComPort(const ComLinkRequest& request, std::string& message);

}  // namespace zema
