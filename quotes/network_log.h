// The network log of an update run: every request, every price written and every failure, one
// line each. The handheld keeps it as a text the user can read after the run; the desktop
// companion writes the same lines to its log file. The update steps only append lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillet {

class UpdateLog {
 public:
  virtual ~UpdateLog() = default;
  // One line, without its line end.
  virtual void Append(std::string_view line) = 0;
};

// printf-style formatting of one line (cut at 1023 characters).
std::string FormatLogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The handheld's log: a text of lines each followed by CR LF, emptied when a run starts.
class NetworkLog final : public UpdateLog {
 public:
  void Clear() { text_.clear(); }
  void Append(std::string_view line) override;
  // The whole text, CR LF after every line.
  const std::string& text() const { return text_; }
  // Called with every line as it is appended (a terminal shows the log while the run goes on).
  void SetListener(std::function<void(std::string_view)> listener) {
    listener_ = std::move(listener);
  }

 private:
  std::string text_;
  std::function<void(std::string_view)> listener_;
};

}  // namespace quillet
