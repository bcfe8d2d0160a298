#include "TemplateForm/summary_file.h"

#include <cmath>
#include <sstream>
#include <string_view>

#include "TemplateForm/variable_names.h"
#include "file_io/number_text.h"
#include "file_io/safe_file.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

using Field = SummaryEntry::Field;

std::string EntryName(const SummaryEntry& e) {
  switch (e.field) {
    case Field::Mean:
      return "The mean of " + SummaryVariableName(e.row);
    case Field::SD:
      return "The SD of " + SummaryVariableName(e.row);
    case Field::Case:
      return "The case's score on " + SummaryVariableName(e.row);
    case Field::Correlation:
      return FormatText("The correlation of %s with %s (row %d, column %d)",
                        SummaryVariableName(e.row).c_str(), SummaryVariableName(e.column).c_str(),
                        e.row, e.column);
    case Field::Controls:
      return "N";
    case Field::Covariates:
      return "The number of covariates";
    case Field::None:
      break;
  }
  return "An entry";
}

SummaryProblem Problem(SummaryEntry entry, std::string message) {
  return {entry, 0, std::move(message)};
}

// One entry's text as a number; a problem when it is not a plain finite decimal.
std::optional<SummaryProblem> Convert(const std::string& text, SummaryEntry entry,
                                      long double& value) {
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return Problem(entry, EntryName(entry) + " is missing.");
  const auto parsed = ParsePlainDecimal(trimmed);
  if (!parsed) {
    return Problem(entry,
                   EntryName(entry) + " is not a plain decimal number: \"" + trimmed + "\".");
  }
  value = *parsed;
  return std::nullopt;
}

std::optional<SummaryProblem> CheckSd(long double sd, const std::string& shown, int j) {
  if (sd > 0) return std::nullopt;
  const SummaryEntry entry{Field::SD, j, 0};
  return Problem(entry, EntryName(entry) + " must be greater than 0, not " + shown + ".");
}

std::optional<SummaryProblem> CheckCorrelation(long double r, const std::string& shown, int i,
                                               int l) {
  if (r >= -1 && r <= 1) return std::nullopt;
  const SummaryEntry entry{Field::Correlation, i, l};
  return Problem(entry, EntryName(entry) + " must lie between -1 and 1, not " + shown + ".");
}

std::string Digits(long double v) {
  return FullPrecision(v);
}

// N and k as texts through the worksheet's checks, for the prior that admits
// the most.
std::optional<SummaryProblem> CheckCountTexts(const std::string& controls,
                                              const std::string& covariates, PriorChoice prior,
                                              int& N, int& k) {
  const Checked<Counts> counts = CheckCounts(controls, covariates, prior);
  if (!counts.ok()) {
    const Refusal& refusal = counts.refusal();
    return Problem({refusal.field == 1 ? Field::Controls : Field::Covariates, 0, 0},
                   refusal.message);
  }
  N = counts.value().N;
  k = counts.value().k;
  return std::nullopt;
}

// The entries whose text holds more digits than their value keeps.
std::vector<SummaryEntry> ImpreciseEntries(const SummaryTexts& texts) {
  std::vector<SummaryEntry> found;
  const auto check = [&found](const std::string& text, SummaryEntry entry) {
    const std::string trimmed = TrimBlanks(text);
    const auto value = ParsePlainDecimal(trimmed);
    if (value && !KeepsItsDigits(trimmed, *value)) found.push_back(entry);
  };
  const int K = texts.k + 2;
  for (int j = 1; j <= K; ++j) {
    const auto index = static_cast<std::size_t>(j - 1);
    check(texts.means[index], {Field::Mean, j, 0});
    check(texts.sds[index], {Field::SD, j, 0});
    check(texts.caseScores[index], {Field::Case, j, 0});
  }
  for (int i = 2; i <= K; ++i) {
    for (int l = 1; l < i; ++l) {
      check(texts.correlations[static_cast<std::size_t>(i - 2)][static_cast<std::size_t>(l - 1)],
            {Field::Correlation, i, l});
    }
  }
  return found;
}

std::string ImpreciseWarning(const SummaryEntry& entry) {
  return EntryName(entry) +
         " has more significant digits than are kept at its size (about 19): it was read with "
         "fewer, so no result can be trusted to the places printed.";
}

// --- the file reader

struct Line {
  int number = 0;
  std::vector<std::string> tokens;
};

// The lines that hold something, comments removed, split into tokens.
std::vector<Line> ReadLines(TextReader& in) {
  std::vector<Line> lines;
  TextLine line;
  while (in.NextLine(line)) {
    if (!line.items.empty()) lines.push_back(Line{line.number, std::move(line.items)});
  }
  return lines;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string NameList(int from, int to) {
  std::string names;
  for (int j = from; j <= to; ++j) {
    if (!names.empty()) names += ", ";
    names += SummaryVariableName(j);
  }
  return names;
}

class SummaryReader {
 public:
  SummaryReader(std::vector<Line> lines, PriorChoice prior, std::vector<std::string>* warnings)
      : lines_(std::move(lines)), prior_(prior), warnings_(warnings) {}

  std::optional<SummaryProblem> Read(SummaryStatistics& statistics) {
    std::string controls, covariates;
    int countsLine = 0;
    if (auto p = Single("N", controls, countsLine)) return p;
    int covariatesLine = 0;
    if (auto p = Single("covariates", covariates, covariatesLine)) return p;
    int N = 0, k = 0;
    if (auto p = CheckCountTexts(controls, covariates, prior_, N, k)) {
      return At(p->entry.field == Field::Controls ? countsLine : covariatesLine, *p);
    }
    SummaryTexts texts = SummaryTexts::Empty(N, k);
    const int K = k + 2;
    if (auto p = Row("mean", K, texts.means)) return p;
    if (auto p = Row("SD", K, texts.sds)) return p;
    if (auto p = Row("case", K, texts.caseScores)) return p;
    if (auto p = Label("correlations", 0)) return p;
    for (int i = 2; i <= K; ++i) {
      if (next_ >= lines_.size()) {
        return Ended(FormatText("correlation row %d (%s)", i, SummaryVariableName(i).c_str()));
      }
      const Line& line = lines_[next_++];
      rowLines_.push_back(line.number);
      if (static_cast<int>(line.tokens.size()) != i - 1) {
        return At(
            line.number,
            Problem({Field::Correlation, i, 0},
                    FormatText("correlation row %d (%s) needs %d number%s (its correlations "
                               "with %s), not %d.",
                               i, SummaryVariableName(i).c_str(), i - 1, i > 2 ? "s" : "",
                               NameList(1, i - 1).c_str(), static_cast<int>(line.tokens.size()))));
      }
      texts.correlations[static_cast<std::size_t>(i - 2)] = line.tokens;
    }
    if (next_ < lines_.size()) {
      const Line& line = lines_[next_];
      return At(line.number, Problem({}, "nothing may follow the correlations; found \"" +
                                             line.tokens.front() + "\"."));
    }
    if (auto p = ConvertSummaryTexts(texts, statistics)) return At(LineOf(p->entry), *p);
    if (warnings_ != nullptr) {
      for (const SummaryEntry& entry : ImpreciseEntries(texts)) {
        warnings_->push_back(FormatText("Summary file, line %d: ", LineOf(entry)) +
                             ImpreciseWarning(entry));
      }
    }
    return std::nullopt;
  }

 private:
  static SummaryProblem At(int line, SummaryProblem p) {
    p.line = line;
    const bool box = p.message.find('\r') != std::string::npos;  // a worksheet box's text
    p.message = FormatText("Summary file, line %d:", line) + (box ? "\r" : " ") + p.message;
    return p;
  }

  SummaryProblem Ended(const std::string& what) const {
    SummaryProblem p{{}, 0, "Summary file: the file ends before " + what + "."};
    return p;
  }

  // The next line must begin with the label; its tokens after the label.
  std::optional<SummaryProblem> Label(const char* label, std::size_t expected,
                                      std::vector<std::string>* values = nullptr) {
    if (next_ >= lines_.size()) return Ended(std::string("the row \"") + label + "\"");
    const Line& line = lines_[next_++];
    if (Lower(line.tokens.front()) != Lower(label)) {
      return At(line.number, Problem({}, std::string("expected the row \"") + label +
                                             "\", found \"" + line.tokens.front() + "\"."));
    }
    const std::size_t found = line.tokens.size() - 1;
    if (found != expected) {
      return At(line.number,
                Problem({}, FormatText(
                                "the row \"%s\" needs %zu number%s%s, not %zu.", label, expected,
                                expected == 1 ? "" : "s",
                                expected > 1
                                    ? (" (" + NameList(1, static_cast<int>(expected)) + ")").c_str()
                                    : "",
                                found)));
    }
    if (values != nullptr) values->assign(line.tokens.begin() + 1, line.tokens.end());
    rowLines_.push_back(line.number);
    return std::nullopt;
  }

  std::optional<SummaryProblem> Single(const char* label, std::string& value, int& lineNumber) {
    std::vector<std::string> values;
    if (auto p = Label(label, 1, &values)) return p;
    value = values.front();
    lineNumber = rowLines_.back();
    rowLines_.pop_back();
    return std::nullopt;
  }

  std::optional<SummaryProblem> Row(const char* label, int K, std::vector<std::string>& values) {
    return Label(label, static_cast<std::size_t>(K), &values);
  }

  // rowLines_: mean, SD, case, "correlations", then correlation rows 2..K.
  int LineOf(const SummaryEntry& e) const {
    std::size_t index = 0;
    switch (e.field) {
      case Field::Mean:
        index = 0;
        break;
      case Field::SD:
        index = 1;
        break;
      case Field::Case:
        index = 2;
        break;
      case Field::Correlation:
        index = 4 + static_cast<std::size_t>(e.row - 2);  // after the "correlations" line
        break;
      default:
        return 0;
    }
    return index < rowLines_.size() ? rowLines_[index] : 0;
  }

  std::vector<Line> lines_;
  PriorChoice prior_;
  std::vector<std::string>* warnings_;
  std::size_t next_ = 0;
  std::vector<int> rowLines_;
};

}  // namespace

SummaryTexts SummaryTexts::Empty(int N, int k) {
  SummaryTexts t;
  t.N = N;
  t.k = k;
  const auto K = static_cast<std::size_t>(k + 2);
  t.means.assign(K, "");
  t.sds.assign(K, "");
  t.caseScores.assign(K, "");
  for (std::size_t i = 2; i <= K; ++i) t.correlations.emplace_back(i - 1, "");
  return t;
}

std::string SummaryVariableName(int j) {
  return StandardVariableName(j);
}

std::optional<SummaryProblem> ConvertSummaryTexts(const SummaryTexts& texts,
                                                  SummaryStatistics& statistics) {
  SummaryStatistics s;
  s.N = texts.N;
  s.k = texts.k;
  const int K = texts.k + 2;
  const auto at = [](const std::vector<std::string>& v, int j) -> const std::string& {
    return v[static_cast<std::size_t>(j - 1)];
  };
  for (int j = 1; j <= K; ++j) {
    if (auto p = Convert(at(texts.means, j), {Field::Mean, j, 0}, s.means[j])) return p;
  }
  for (int j = 1; j <= K; ++j) {
    if (auto p = Convert(at(texts.sds, j), {Field::SD, j, 0}, s.sds[j])) return p;
    if (auto p = CheckSd(s.sds[j], TrimBlanks(at(texts.sds, j)), j)) return p;
  }
  for (int j = 1; j <= K; ++j) {
    if (auto p = Convert(at(texts.caseScores, j), {Field::Case, j, 0}, s.caseScores[j])) {
      return p;
    }
  }
  for (int i = 1; i <= K; ++i) s.R(i, i) = 1.0L;
  for (int i = 2; i <= K; ++i) {
    const auto& row = texts.correlations[static_cast<std::size_t>(i - 2)];
    for (int l = 1; l < i; ++l) {
      long double r = 0;
      if (auto p = Convert(at(row, l), {Field::Correlation, i, l}, r)) return p;
      if (auto p = CheckCorrelation(r, TrimBlanks(at(row, l)), i, l)) return p;
      s.R(i, l) = r;
      s.R(l, i) = r;
    }
  }
  statistics = s;
  return std::nullopt;
}

std::optional<SummaryProblem> CheckSummaryStatistics(const SummaryStatistics& s) {
  int N = 0, k = 0;
  if (auto p = CheckCountTexts(std::to_string(s.N), std::to_string(s.k),
                               PriorChoice::StandardTheory, N, k)) {
    return p;
  }
  const int K = s.k + 2;
  const auto finite = [](long double v, SummaryEntry entry) -> std::optional<SummaryProblem> {
    if (std::isfinite(v)) return std::nullopt;
    return Problem(entry, EntryName(entry) + " is not a finite number.");
  };
  for (int j = 1; j <= K; ++j) {
    if (auto p = finite(s.means[j], {Field::Mean, j, 0})) return p;
  }
  for (int j = 1; j <= K; ++j) {
    if (auto p = finite(s.sds[j], {Field::SD, j, 0})) return p;
    if (auto p = CheckSd(s.sds[j], Digits(s.sds[j]), j)) return p;
  }
  for (int j = 1; j <= K; ++j) {
    if (auto p = finite(s.caseScores[j], {Field::Case, j, 0})) return p;
  }
  for (int i = 1; i <= K; ++i) {
    if (s.R(i, i) != 1.0L) {
      return Problem({Field::Correlation, i, i},
                     FormatText("The correlation matrix's diagonal must be 1 (row %d).", i));
    }
    for (int l = 1; l < i; ++l) {
      if (auto p = finite(s.R(i, l), {Field::Correlation, i, l})) return p;
      if (auto p = CheckCorrelation(s.R(i, l), Digits(s.R(i, l)), i, l)) return p;
      if (s.R(l, i) != s.R(i, l)) {
        return Problem(
            {Field::Correlation, i, l},
            FormatText("The correlation matrix must be symmetric (row %d, column %d).", i, l));
      }
    }
  }
  return std::nullopt;
}

std::vector<std::string> ImpreciseEntryWarnings(const SummaryTexts& texts) {
  std::vector<std::string> warnings;
  for (const SummaryEntry& entry : ImpreciseEntries(texts)) {
    warnings.push_back(ImpreciseWarning(entry));
  }
  return warnings;
}

std::optional<SummaryProblem> ReadSummary(TextReader& in, SummaryStatistics& statistics,
                                          PriorChoice prior, std::vector<std::string>* warnings) {
  std::vector<Line> lines;
  try {
    lines = ReadLines(in);
  } catch (const TextFileError& e) {
    SummaryProblem problem{{}, e.line(), e.what()};
    problem.cancelled = e.problem() == TextFileError::Problem::Cancelled;
    problem.unreadable = e.problem() == TextFileError::Problem::Unreadable;
    if (problem.unreadable) problem.message = "The summary file could not be read.";
    if (e.line() > 0) {
      problem.message = FormatText("Summary file, line %d: item %d holds a control character: \"",
                                   e.line(), e.column()) +
                        e.item() + "\"; the file does not look like plain text.";
    }
    return problem;
  }
  return SummaryReader(std::move(lines), prior, warnings).Read(statistics);
}

std::optional<SummaryProblem> ReadSummaryText(const std::string& text,
                                              SummaryStatistics& statistics) {
  TextReader in = TextReader::FromText(text, SummaryReadOptions({}));
  return ReadSummary(in, statistics);
}

std::optional<SummaryProblem> ReadSummaryFile(const std::string& path,
                                              SummaryStatistics& statistics,
                                              const std::function<bool()>& stop, PriorChoice prior,
                                              std::vector<std::string>* warnings) {
  std::optional<SummaryProblem> problem;
  try {
    TextReader in(path, SummaryReadOptions(stop));
    problem = ReadSummary(in, statistics, prior, warnings);
  } catch (const TextFileError& e) {
    // Opening it failed.
    problem = SummaryProblem{{},
                             0,
                             e.problem() == TextFileError::Problem::Folder
                                 ? std::string(e.what())
                                 : "The summary file " + path + " could not be opened."};
    problem->unreadable = true;
  }
  if (problem && problem->unreadable && problem->line == 0 &&
      problem->message == "The summary file could not be read.") {
    problem->message = "The summary file " + path + " could not be read.";
  }
  return problem;
}

TextReadOptions SummaryReadOptions(const std::function<bool()>& stop) {
  return TextReadOptions{"summary file", '#', stop};
}

SummaryTexts SummaryToTexts(const SummaryStatistics& s) {
  SummaryTexts t = SummaryTexts::Empty(s.N, s.k);
  const int K = s.k + 2;
  for (int j = 1; j <= K; ++j) {
    const auto index = static_cast<std::size_t>(j - 1);
    t.means[index] = Digits(s.means[j]);
    t.sds[index] = Digits(s.sds[j]);
    t.caseScores[index] = Digits(s.caseScores[j]);
  }
  for (int i = 2; i <= K; ++i) {
    for (int l = 1; l < i; ++l) {
      t.correlations[static_cast<std::size_t>(i - 2)][static_cast<std::size_t>(l - 1)] =
          Digits(s.R(i, l));
    }
  }
  return t;
}

void WriteSummary(std::ostream& out, const SummaryStatistics& s) {
  const SummaryTexts t = SummaryToTexts(s);
  const int K = s.k + 2;
  out << "# Summary statistics of a control sample and the scores of a case.\n"
      << "# Columns: " << NameList(1, K) << ".\n"
      << "# SDs with divisor N - 1; below \"correlations\", row i holds the correlations\n"
      << "# of variable i with variables 1 .. i - 1.\n"
      << "N " << s.N << "\n"
      << "covariates " << s.k << "\n";
  const auto row = [&out](const char* label, const std::vector<std::string>& values) {
    out << label;
    for (const std::string& v : values) out << ' ' << v;
    out << '\n';
  };
  row("mean", t.means);
  row("SD", t.sds);
  row("case", t.caseScores);
  out << "correlations\n";
  for (const auto& r : t.correlations) {
    for (std::size_t l = 0; l < r.size(); ++l) out << (l == 0 ? "" : " ") << r[l];
    out << '\n';
  }
}

std::optional<std::string> WriteSummaryFile(const std::string& path,
                                            const SummaryStatistics& statistics) {
  std::ostringstream text;
  WriteSummary(text, statistics);
  return WriteFileSafely(path, text.str());
}

}  // namespace quorvane
