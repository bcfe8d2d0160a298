// The message boxes of the program, as plain data: their kinds and buttons,
// and the small interface through which the input checks tell the user what
// they refused.
#pragma once

#include <string>

namespace quorvane {

enum class MessageKind { Warning, Error, Information, Confirmation };
enum class MessageButton { Ok, Yes, No };

// Where a check's refusal goes: a modal box (texts may hold carriage returns
// as line breaks) and, for the keystroke checks, a beep.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual MessageButton ShowMessage(MessageKind kind, const std::string& text) = 0;
  virtual void Beep() = 0;
};

}  // namespace quorvane
