#include "sim/program_options.h"

#include <cerrno>
#include <cstdlib>

namespace zema::sim {
namespace {

bool ParseInt(const std::string& text, long low, long high, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < low || number > high) return false;
  value = static_cast<int>(number);
  return true;
}

}  // namespace

ParseOutcome ParseProgramOptions(const std::vector<std::string>& arguments,
                                 ProgramOptions& options, std::string& error) {
  bool communicGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::string value;
    bool hasInlineValue = false;
    if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasInlineValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (hasInlineValue) return true;
      if (i + 1 >= arguments.size()) {
        error = name + " needs a value";
        return false;
      }
      value = arguments[++i];
      return true;
    };
    if (name == "--help" || name == "-h") return ParseOutcome::kHelp;
    if (name == "--pace" || name == "--no-pace" || name == "--trace") {
      if (hasInlineValue) {
        error = name + " takes no value";
        return ParseOutcome::kError;
      }
      if (name == "--trace") {
        options.trace = true;
      } else {
        options.sensor.pacing = name == "--pace";
      }
      continue;
    }
    if (name != "--mode" && name != "--communic" && name != "--link" && name != "--state" &&
        name != "--flash-delay" && name != "--fault") {
      error = "unknown option " + arguments[i];
      return ParseOutcome::kError;
    }
    if (!takeValue()) return ParseOutcome::kError;
    if (name == "--mode") {
      if (value == "menu") {
        options.sensor.mode = ConnectionMode::kMenu;
      } else if (value == "command") {
        options.sensor.mode = ConnectionMode::kCommand;
      } else {
        error = "--mode is menu or command";
        return ParseOutcome::kError;
      }
    } else if (name == "--communic") {
      if (!ParseInt(value, 1, 5, options.sensor.communic)) {
        error = "--communic is 1 to 5";
        return ParseOutcome::kError;
      }
      communicGiven = true;
    } else if (name == "--link" || name == "--state") {
      if (value.empty()) {
        error = name + " needs a path";
        return ParseOutcome::kError;
      }
      (name == "--link" ? options.linkPath : options.sensor.stateFile) = value;
    } else if (name == "--flash-delay") {
      if (!ParseInt(value, 0, 600000, options.sensor.flashDelayMs)) {
        error = "--flash-delay is 0 to 600000 milliseconds";
        return ParseOutcome::kError;
      }
    } else if (!ParseFault(value, options.faults, error)) {
      return ParseOutcome::kError;
    }
  }
  if (communicGiven && options.sensor.mode == ConnectionMode::kMenu) {
    error = "--communic applies to --mode command only";
    return ParseOutcome::kError;
  }
  return ParseOutcome::kRun;
}

std::string HelpText() {
  return R"(Usage: zema-sim [OPTION]...
A virtual ZEMA sensor on a pseudo-terminal, for trying zema-loader without
hardware. It prints the terminal's device path and answers the loader until
it is stopped with Ctrl+C (SIGINT) or SIGTERM.

Using it with the loader:
  build/bin/zema-sim --link build/bin/dosdevices/com1
then start build/bin/zema-loader, pick COM1 and press CONNECT. The loader
looks a COM port n up as dosdevices/com<n> beside its executable, then in
~/.config/zema-loader/dosdevices/. The link is removed when zema-sim ends.

Options:
  --mode menu|command  menu (default): the sensor shows its "PC LOAD/SAVE"
                       menu and answers at 57600 baud; use the loader with
                       the com-mode box clear. It stays in the menu after
                       the loader's RUN, so it can be connected again.
                       command: the sensor is running; the loader switches
                       it into PC communication with the handshake at the
                       COMMUNIC speed (com-mode box ticked, matching speed
                       chosen). After RUN it runs again.
  --communic N         COMMUNIC setting of a running sensor, 1 to 5:
                       4800, 9600, 19200, 38400, 57600 baud (default 5).
                       Bytes sent at another speed are not understood.
  --link PATH          make PATH a symbolic link to the terminal.
  --state FILE         keep the sensor's memory in FILE between runs
                       (loaded at start, saved after every stored parameter
                       set or flash image, and at exit; always replaced
                       whole, never left half-written). Without it every
                       start shows the demo content: parameter set s holds
                       1000*s+i, a vignette-like compensation table, and
                       every bank a coloured picture with its number.
  --pace               send replies at the line's real rate, 10 bits a
                       byte (default).
  --no-pace            reply as fast as possible.
  --flash-delay MS     time a flash store (0x86) takes, default 2000.
  --fault FAULT        misbehave on purpose; may be given several times.
                       FAULT is key=value items joined by ':':
                         kind=K   no-reply, cut-short, wrong-first-byte,
                                  bad-checksum, delay, hang-up, store-wrong
                         nth=N    only the Nth command (counted from 1;
                                  with code=, the Nth of that code)
                         code=C   only commands of code C (0x81 to 0x88)
                         ms=M     how long kind=delay waits (default 1500)
                       Without nth= and code= the fault hits every command.
                       store-wrong keeps one word of what 0x82 or 0x86
                       stores different from what was sent. The reply
                       faults act on the reply; the command itself is
                       carried out (hang-up cuts the line before it).
                       handshake=nak or handshake=silence: answer the
                       "CPl" handshake with NAK, or not at all.
                       Examples: --fault nth=5:kind=no-reply
                                 --fault code=0x84:kind=bad-checksum
  --trace              print every exchange on standard error.
  --help               show this text.

Frames sent while the sensor is running (before the handshake) are not
answered. A frame with an unknown code, a wrong checksum or an unknown image
selector or set index is answered with NAK (0x15).
)";
}

}  // namespace zema::sim
