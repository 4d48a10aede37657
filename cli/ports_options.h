// The options of "zema-transfer ports", and --adapter-serial of the
// commands that connect.
#pragma once

#include <CLI/CLI.hpp>
#include <vector>

#include "cli/cli_options.h"

namespace zema {

void AddPortsOptions(CLI::App& ports, CliOptions& options);

// --adapter-serial SN, excluding the other ways of naming the port.
void AddAdapterSerialOption(CLI::App& command, CliOptions& options,
                            const std::vector<CLI::Option*>& otherChoices);

}  // namespace zema
