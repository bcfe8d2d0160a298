// libFuzzer target: a whole analysis (a few hundred draws) from any bytes.
// The first three bytes choose N, the number of covariates, the prior and the
// credible limit; the rest is the raw data file. A report, JSON or CSV that
// holds "nan" or "inf", a crash, a sanitizer report or a hang (libFuzzer's
// -timeout) is a fault; a refusal with its message is fine.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "TemplateForm/analysis.h"
#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/report.h"
#include "TemplateForm/result_formats.h"
#include "file_io/text_reader.h"
#include "text/line_sink.h"

namespace {

// Whether line holds the word w (letters on neither side), as printf writes
// a NaN or an infinity.
bool HoldsWord(const std::string& line, const std::string& w) {
  for (std::size_t at = line.find(w); at != std::string::npos; at = line.find(w, at + 1)) {
    const bool before = at > 0 && std::isalpha(static_cast<unsigned char>(line[at - 1]));
    const bool after = at + w.size() < line.size() &&
                       std::isalpha(static_cast<unsigned char>(line[at + w.size()]));
    if (!before && !after) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvane;
  if (size < 3) return 0;
  AnalysisRequest request;
  request.SetCounts(3 + data[0] % 28, 1 + data[1] % 5);
  request.prior = data[2] % 2 == 0 ? PriorChoice::Calibrated : PriorChoice::StandardTheory;
  request.limit = static_cast<CredibleLimitChoice>((data[2] / 2) % 3);
  request.drawCount = 300;
  request.threads = 1;

  DataMatrix rows;
  try {
    TextReader in = TextReader::FromText(
        std::string(reinterpret_cast<const char*>(data + 3), size - 3), TextReadOptions{});
    const int N = 3 + data[0] % 28, k = 1 + data[1] % 5;
    ReadRawData(in, N + 1, k + 2, rows);
  } catch (const RawDataError&) {
    return 0;
  }
  request.data = RawDataTable(std::move(rows), "fuzz.txt");
  const AnalysisOutcome outcome = RunAnalysis(request);
  if (!outcome.ok()) {
    if (outcome.error().message.empty()) __builtin_trap();
    return 0;
  }
  LineList report;
  WriteReport(outcome.result(), report);
  // The JSON's values (and so the CSV's, its leaves) too.
  for (const auto& [name, value] : FlattenJson(AnalysisJson(outcome.result(), "fuzz"))) {
    report.Add(value);
  }
  for (const std::string& line : report.Lines()) {
    if (HoldsWord(line, "nan") || HoldsWord(line, "inf") || HoldsWord(line, "NAN") ||
        HoldsWord(line, "INF")) {
      __builtin_trap();
    }
  }
  return 0;
}
