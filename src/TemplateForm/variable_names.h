// The names of the variables: Task Y1, Task Y2 and the covariates, as the user
// named them (in the worksheet's fields, or on a first line of names in the
// raw data file), or their standard names where none was given. The report's
// own lines keep the standard names; the names show in the grids, the plots,
// JSON and CSV, and the deficit section.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

struct VariableNames {
  // Indexed 0 .. K - 1: Task Y1, Task Y2, covariate 1, ...; an empty or
  // missing entry has its standard name.
  std::vector<std::string> names;

  bool Any() const;
  friend bool operator==(const VariableNames&, const VariableNames&) = default;
};

// Longest name accepted.
inline constexpr std::size_t kMaxVariableName = 40;

// The standard name of variable j (1-based: 1 Task Y1, 2 Task Y2, 3.. the
// covariates): "Task Y1", "Task Y2", "Covariate 1", ...
std::string StandardVariableName(int j);

// Variable j's name: the one given, or its standard name.
std::string VariableName(const VariableNames& names, int j);

// Task 1's or 2's name.
inline std::string TaskName(const VariableNames& names, int task) {
  return VariableName(names, task);
}

// The names an analysis of K variables uses: each typed name, where given,
// over the data file's; entries beyond K dropped.
VariableNames ResolvedNames(const VariableNames& typed, const VariableNames& fromFile, int K);

// Why a name cannot be used (too long, a control character or a line break
// in it), or nothing when it can. j names the variable in the message.
std::optional<std::string> NameProblem(const std::string& name, int j);

// The first problem of the names typed for an analysis of K variables: more
// names than variables, or a name that cannot be used.
std::optional<std::string> NamesProblem(const VariableNames& names, int K);

}  // namespace quorvane
