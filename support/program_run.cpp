#include "support/program_run.h"

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "link/port_device_path.h"
#include "support/child_output.h"

namespace {

std::string NameOf(const std::string& setting) { return setting.substr(0, setting.find('=')); }

// The test's own environment with the program's language English, the
// caller's settings taking the place of any of the same name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> settings = {"LANG=C"};
  for (const std::string& setting : added) {
    std::erase_if(settings, [&](const std::string& s) { return NameOf(s) == NameOf(setting); });
    settings.push_back(setting);
  }
  return EnvironmentWith(settings, {"LC_ALL", "LC_MESSAGES"});
}

}  // namespace

void ProgramRun::Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) {
  ChildCommand command;
  command.argv = {program.find('/') == std::string::npos ? ExecutableFolder() + "/" + program
                                                      : program};
  command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
  command.environment = ChildEnvironment(environment);
  command.out = ChildStream::kPipe;
  command.err = ChildStream::kPipe;
  std::string error;
  child_.Start(command, error);
}

double ProgramRun::CpuSecondsSoFar() const {
  std::ifstream stat("/proc/" + std::to_string(child_.pid()) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return 0;
  // After the name: state, then ten more fields before utime and stime.
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string skipped;
  for (int i = 0; i < 11; ++i) fields >> skipped;
  double user = 0, system = 0;
  fields >> user >> system;
  return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

ProgramOutcome ProgramRun::Wait(std::chrono::milliseconds limit) {
  ProgramOutcome outcome;
  outcome.started = child_.started();
  if (!child_.running()) return outcome;
  outcome.overran = CollectOutput(child_.TakeOutFd(), child_.TakeErrFd(), outcome.out, outcome.err,
                                  outcome.started + limit, [this] { child_.Signal(SIGKILL); });
  outcome.ended = std::chrono::steady_clock::now();
  const ChildExit end = child_.Wait();
  if (end.signal == 0 && !outcome.overran) outcome.status = end.status;
  outcome.signal = end.signal;
  outcome.cpuSeconds = std::chrono::duration<double>(end.cpu).count();
  return outcome;
}

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit) {
  ProgramRun run;
  run.Start(program, arguments, environment);
  return run.Wait(limit);
}
