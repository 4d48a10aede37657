// COM numbers that stand for ports on serial device servers, on Windows.
// There the system numbers the COM ports, so a number the user gives a
// device server's port ("zema-transfer ports --link N URL") is kept in a
// one-line file of the user's, %APPDATA%\zema-loader\network-ports\com<N>,
// which holds the URL; opening COM N then connects to it. (On POSIX the
// dosdevices link's target holds the URL: port_device_path.h.)
#pragma once

#include <string>
#include <vector>

namespace zema {

// The folder of those files; empty when the system names no APPDATA.
std::string NetworkLinksFolder();

// The file that gives COM `port` a URL.
std::string NetworkLinkFile(int port);

// The URL COM `port` stands for; empty when it has none.
std::string NetworkLinkOf(int port);

// The COM numbers that stand for a URL, ascending.
std::vector<int> NetworkLinkedPorts();

}  // namespace zema
