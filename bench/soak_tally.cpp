#include "bench/soak_tally.h"

#include <cstdio>

namespace zema::bench {
namespace {

double Seconds(std::chrono::nanoseconds t) { return static_cast<double>(t.count()) / 1e9; }

std::string Format(const char* format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string OutcomeName(const ProgramOutcome& run) {
  if (run.overran) return "killed (hung)";
  if (run.signal != 0) return "signal " + std::to_string(run.signal);
  return "exit " + std::to_string(run.status);
}

}  // namespace

void SoakTally::Add(const SoakPlan& plan, const SoakOutcome& outcome, bool kept) {
  ++runs_;
  violations_ += kept ? 0 : 1;
  ++commands_[static_cast<std::size_t>(plan.command)];
  commandMode_ += plan.commandMode ? 1 : 0;
  readOnlyFolder_ += plan.readOnlyFolder ? 1 : 0;
  ++faults_[static_cast<std::size_t>(plan.fault.kind)];
  ++outcomes_[OutcomeName(outcome.seen.program)];
  compared_ += outcome.compareStatus >= 0 ? 1 : 0;
  const Slowest run{outcome.seen.waited, outcome.allowed, plan.Describe(), plan.seed};
  if (run.wall > slowest_.wall) slowest_ = run;
  const auto share = [](const Slowest& s) {
    return s.allowed.count() > 0 ? static_cast<double>(s.wall.count()) / s.allowed.count() : 0.0;
  };
  if (nearestLimit_.wall.count() < 0 || share(run) > share(nearestLimit_)) nearestLimit_ = run;
}

ResultTable SoakTally::Table(std::chrono::nanoseconds wall, std::uint64_t seed, int jobs) const {
  ResultTable table;
  table.Add(
      {"runs",
       Format("%lld in %.0f s, %d side by side (seed 0x%016llx): read %lld, write %lld, "
              "write --verify %lld, compare %lld; %lld in command mode; %lld READs into "
              "a read-only folder; %lld WRITEs compared afterwards",
              runs_, Seconds(wall), jobs, static_cast<unsigned long long>(seed), commands_[0],
              commands_[1], commands_[2], commands_[3], commandMode_, readOnlyFolder_, compared_),
       static_cast<double>(runs_), "runs", "", std::nullopt});
  std::string faults;
  for (int k = 0; k < kSoakFaultKinds; ++k) {
    if (!faults.empty()) faults += ", ";
    faults += std::string(SoakFaultName(static_cast<SoakFaultKind>(k))) + " " +
              std::to_string(faults_[static_cast<std::size_t>(k)]);
  }
  table.Add({"faults by kind", faults, 0, "", "", std::nullopt});
  std::string outcomes;
  for (const auto& [name, count] : outcomes_) {
    if (!outcomes.empty()) outcomes += ", ";
    outcomes += name + ": " + std::to_string(count);
  }
  table.Add({"outcomes", outcomes, 0, "", "", std::nullopt});
  table.Add({"violations of the promise", std::to_string(violations_),
             static_cast<double>(violations_), "runs", "0", violations_ == 0});
  const auto describe = [](const Slowest& s) {
    return Format("%.2f s of %.2f s allowed (%s; seed 0x%016llx)", Seconds(s.wall),
                  Seconds(s.allowed), s.plan.c_str(), static_cast<unsigned long long>(s.seed));
  };
  if (runs_ > 0) {
    table.Add({"slowest run", describe(slowest_), Seconds(slowest_.wall), "s",
               "within its allowed time", slowest_.wall <= slowest_.allowed});
    table.Add({"nearest its limit", describe(nearestLimit_), Seconds(nearestLimit_.wall), "s",
               "within its allowed time", nearestLimit_.wall <= nearestLimit_.allowed});
  }
  return table;
}

}  // namespace zema::bench
