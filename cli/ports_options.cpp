#include "cli/ports_options.h"

namespace zema {

namespace {

#ifdef _WIN32
constexpr char kLinkHelp[] =
    "make COM number N (1 to 256) reach a port on a serial device server, "
    "rfc2217://HOST:PORT or socket://HOST:PORT (kept in %APPDATA%\\zema-loader\\network-ports\\); "
    "Windows numbers its own COM ports itself, see below";
#else
constexpr char kLinkHelp[] =
    "make COM number N (1 to 256) reach DEVICE for the loader: a dosdevices/comN link in "
    "~/.config/zema-loader/ to the adapter's stable /dev/serial/by-id name, or to a port on a "
    "serial device server, rfc2217://HOST:PORT or socket://HOST:PORT";
#endif

}  // namespace

void AddPortsOptions(CLI::App& ports, CliOptions& o) {
  ports.add_flag("--json", o.json, "print the ports as JSON, for scripts");
  CLI::Option* link =
      ports.add_option("--link", o.link, kLinkHelp)->expected(2)->type_name("N DEVICE");
  ports.add_flag("--replace", o.replaceLink, "let --link replace a link to another device")
      ->needs(link);
  // Another sysfs and /dev: a tree built by a test or for a demonstration.
  ports.add_option("--sysfs-root", o.sysfsRoot)->group("");
  ports.add_option("--dev-root", o.devRoot)->group("");
#ifdef _WIN32
  ports.footer(
      "COM n is the device \\\\.\\COMn. Windows numbers the ports: to give one another "
      "number, use the Device Manager (the port's Port Settings, Advanced). A COM number "
      "given a device server's URL with --link opens that URL instead.");
#else
  ports.footer(
      "A COM number n opens the device that dosdevices/comN names, beside the program or in "
      "~/.config/zema-loader/, else /dev/ttyS<n-1>.");
#endif
}

void AddAdapterSerialOption(CLI::App& command, CliOptions& o,
                            const std::vector<CLI::Option*>& otherChoices) {
  CLI::Option* serial =
      command
          .add_option("--adapter-serial", o.adapterSerial,
                      "open the port of the USB serial adapter with this serial number (see "
                      "\"zema-transfer ports\")")
          ->type_name("SN");
  for (CLI::Option* other : otherChoices) serial->excludes(other);
}

}  // namespace zema
