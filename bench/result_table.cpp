#include "bench/result_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zema::bench {
namespace {

std::string Verdict(const std::optional<bool>& met) {
  if (!met) return "";
  return *met ? "yes" : "NO";
}

// Columns as a terminal shows them: UTF-8 continuation bytes take none.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Padded(const std::string& text, std::size_t width) {
  return text + std::string(width - std::min(width, Width(text)), ' ');
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

bool ResultTable::AllGoalsMet() const {
  return std::all_of(rows_.begin(), rows_.end(),
                     [](const ResultRow& row) { return !row.met || *row.met; });
}

void ResultTable::PrintText(std::ostream& out) const {
  const std::array<std::string, 4> heads = {"Measurement", "Figure", "Goal", "Met"};
  std::array<std::size_t, 4> widths{};
  for (std::size_t c = 0; c < heads.size(); ++c) widths[c] = Width(heads[c]);
  for (const ResultRow& row : rows_) {
    widths[0] = std::max(widths[0], Width(row.measurement));
    widths[1] = std::max(widths[1], Width(row.figure));
    widths[2] = std::max(widths[2], Width(row.goal));
  }
  const auto line = [&](const std::array<std::string, 4>& cells) {
    out << '|';
    for (std::size_t c = 0; c < cells.size(); ++c) out << ' ' << Padded(cells[c], widths[c]) << " |";
    out << '\n';
  };
  line(heads);
  out << '|';
  for (std::size_t width : widths) out << std::string(width + 2, '-') << '|';
  out << '\n';
  for (const ResultRow& row : rows_) line({row.measurement, row.figure, row.goal, Verdict(row.met)});
}

void ResultTable::PrintCsv(std::ostream& out) const {
  out << "measurement,value,unit,goal,met,figure\n";
  for (const ResultRow& row : rows_) {
    char value[64];
    std::snprintf(value, sizeof value, "%.6g", row.value);
    out << CsvField(row.measurement) << ',' << value << ',' << CsvField(row.unit) << ','
        << CsvField(row.goal) << ',' << Verdict(row.met) << ',' << CsvField(row.figure) << '\n';
  }
}

}  // namespace zema::bench
