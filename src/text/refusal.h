// What a check gives back when it refuses its input: the text the user is
// shown, how (a box of a kind, a beep first), the worksheet field at fault,
// and the reason as a value. The front ends show the text and act on the
// reason; none of them ever reads the text to learn what went wrong.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "text/messages.h"

namespace quorvane {

enum class Reason {
  // What is typed or pasted into a number field, and the field texts.
  KeyNotNumeric,    // a key a number field does not take
  PasteNotNumeric,  // a pasted text that is not a number
  FieldTooLong,     // a field text longer than it may be
  FieldEmpty,       // a field left empty
  FieldNotNumeric,  // a field text holding other characters
  SampleSizeOutOfRange,
  CovariateCountOutOfRange,
  TooManyCovariates,  // more covariates than N admits under the prior
  VariableName,       // a name for a variable that cannot be used, or too many names
  // The data.
  DataFileUnreadable,   // cannot be opened or read, or is a folder
  InvalidNumber,        // a number that cannot be converted
  NotText,              // UTF-16, control characters, endless lines
  MissingData,          // too few rows or numbers
  SummaryEntry,         // a summary statistic refused (see the entry)
  SummaryCountsDiffer,  // statistics for another N or number of covariates
  NotPositiveDefinite,  // the correlation matrix (or a constant column)
  UnreliableNumerics,   // a matrix could not be inverted or factorised reliably
  RarelyAccepted,       // the calibrated prior's sampling step would take days
  OutOfRange,           // a result beyond the range of the program's numbers
  // The run.
  Cancelled,
  OutOfMemory,
  Internal,
};

struct Refusal {
  Reason reason = Reason::Internal;
  std::string message;                     // the box's text (carriage returns as line breaks)
  MessageKind box = MessageKind::Warning;  // the kind of box that shows it
  bool beep = false;                       // the worksheet beeps first
  int field = 0;  // the worksheet field at fault: 1 N, 2 the covariates, 0 none
};

// A checked value: the value, or the refusal that stands in its place.
template <typename T>
class Checked {
 public:
  Checked(T value) : value_(std::move(value)) {}            // NOLINT: implicit
  Checked(Refusal refusal) : value_(std::move(refusal)) {}  // NOLINT: implicit
  bool ok() const { return std::holds_alternative<T>(value_); }
  const T& value() const { return std::get<T>(value_); }
  const Refusal& refusal() const { return std::get<Refusal>(value_); }

 private:
  std::variant<T, Refusal> value_;
};

}  // namespace quorvane
