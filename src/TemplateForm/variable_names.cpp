#include "TemplateForm/variable_names.h"

#include <algorithm>

#include "text/format_text.h"

namespace quorvane {

bool VariableNames::Any() const {
  return std::any_of(names.begin(), names.end(), [](const std::string& n) { return !n.empty(); });
}

std::string StandardVariableName(int j) {
  if (j == 1) return "Task Y1";
  if (j == 2) return "Task Y2";
  return FormatText("Covariate %d", j - 2);
}

std::string VariableName(const VariableNames& names, int j) {
  if (j >= 1 && static_cast<std::size_t>(j) <= names.names.size() &&
      !names.names[static_cast<std::size_t>(j - 1)].empty()) {
    return names.names[static_cast<std::size_t>(j - 1)];
  }
  return StandardVariableName(j);
}

VariableNames ResolvedNames(const VariableNames& typed, const VariableNames& fromFile, int K) {
  VariableNames resolved;
  for (int j = 1; j <= K; ++j) {
    const auto at = static_cast<std::size_t>(j - 1);
    std::string name;
    if (at < typed.names.size()) name = typed.names[at];
    if (name.empty() && at < fromFile.names.size()) name = fromFile.names[at];
    resolved.names.push_back(name);
  }
  if (!resolved.Any()) resolved.names.clear();
  return resolved;
}

std::optional<std::string> NameProblem(const std::string& name, int j) {
  if (name.size() > kMaxVariableName) {
    return FormatText("The name of %s is longer than %d characters.",
                      StandardVariableName(j).c_str(), static_cast<int>(kMaxVariableName));
  }
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      return FormatText("The name of %s holds a control character or a line break.",
                        StandardVariableName(j).c_str());
    }
  }
  return std::nullopt;
}

std::optional<std::string> NamesProblem(const VariableNames& names, int K) {
  const int given = static_cast<int>(names.names.size());
  if (given > K) {
    return FormatText("%d names were given for %d variables (Task Y1, Task Y2 and %d covariate%s).",
                      given, K, K - 2, K == 3 ? "" : "s");
  }
  for (int j = 1; j <= given; ++j) {
    if (auto problem = NameProblem(names.names[static_cast<std::size_t>(j - 1)], j)) {
      return problem;
    }
  }
  return std::nullopt;
}

}  // namespace quorvane
