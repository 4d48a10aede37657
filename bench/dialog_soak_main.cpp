// zema-soak-dialog: the main dialog's handlers through hundreds of
// CONNECT / READ / WRITE / RUN cycles under random faults, in one process
// (see dialog_soak.h). Ends with one table; exit status 0 when every goal
// is met.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "bench/dialog_soak.h"

using namespace zema;

int main(int argc, char** argv) {
  zema::bench::DialogSoakOptions options;
  CLI::App app{
      "Runs the main dialog's handlers through CONNECT / READ / WRITE / RUN cycles under\n"
      "random faults of a virtual sensor, checking the dialog's state after every step\n"
      "and its memory over the whole session."};
  app.add_option("--cycles", options.cycles, "cycles to make (default 500)")
      ->check(CLI::Range(2, 1000000));
  app.add_option("--warm-up", options.warmUp, "cycles before the first memory sample (default 50)");
  app.add_option("--seed", options.seed, "seed of the faults and choices (default 1)");
  CLI11_PARSE(app, argc, argv);
  if (options.warmUp >= options.cycles) options.warmUp = options.cycles / 2;
  // The texts checked are the English ones.
  ::setenv("LANG", "C", 1);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");

  zema::bench::ResultTable table;
  std::string error;
  if (!zema::bench::RunDialogSoak(options, table, error)) {
    std::cerr << "zema-soak-dialog: " << error << "\n";
    return 2;
  }
  std::cout << "\n";
  table.PrintText(std::cout);
  return table.AllGoalsMet() ? 0 : 1;
}
