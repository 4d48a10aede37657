// The benchmark's one table: each figure beside its goal, printed for a
// reader (aligned, in the Markdown table syntax, so that it can be pasted
// into a document as it is) and written as CSV for a script.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zema::bench {

struct ResultRow {
  std::string measurement;
  std::string figure;            // the figure and what it was measured from
  double value = 0.0;            // the figure the goal is judged by
  std::string unit;
  std::string goal;              // empty: shown for information
  std::optional<bool> met;       // none: no goal
};

class ResultTable {
 public:
  void Add(ResultRow row) { rows_.push_back(std::move(row)); }
  const std::vector<ResultRow>& rows() const { return rows_; }
  bool AllGoalsMet() const;

  void PrintText(std::ostream& out) const;
  void PrintCsv(std::ostream& out) const;

 private:
  std::vector<ResultRow> rows_;
};

}  // namespace zema::bench
