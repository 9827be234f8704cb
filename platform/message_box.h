// Every message box and Yes/No question of the system goes through MessageBoxes::Show. The
// answerer decides what the user answered: the user interface installs one that shows a real
// dialog, scripts answer from flags, and tests script the answers and read back every text that
// was shown. With no answerer a question is answered with its default (OK, or No for Yes/No,
// so nothing destructive happens unattended).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

// Button sets and icons, as the original's flags.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONERROR = MB_ICONSTOP;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;
inline constexpr UINT MB_TYPEMASK = 0x0F;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  UINT flags = MB_OK;
};

class MessageBoxes {
 public:
  using Answerer = std::function<int(const MessageBoxRequest&)>;

  int Show(std::string text, std::string caption, UINT flags);
  // True when a Yes/No question was answered Yes.
  bool AskYesNo(std::string text, std::string caption, UINT icon = MB_ICONQUESTION) {
    return Show(std::move(text), std::move(caption), MB_YESNO | icon) == IDYES;
  }
  void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }

 private:
  Answerer answerer_;
};

// A scripted answerer for tests and scripts: answers from a queue (then from the default) and
// keeps every request it was shown.
class ScriptedAnswers {
 public:
  explicit ScriptedAnswers(int whenEmpty = 0) : whenEmpty_(whenEmpty) {}
  void Push(int answer) { answers_.push_back(answer); }
  MessageBoxes::Answerer AsAnswerer();
  const std::vector<MessageBoxRequest>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  void ClearShown() { shown_.clear(); }

 private:
  std::deque<int> answers_;
  std::vector<MessageBoxRequest> shown_;
  int whenEmpty_;  // 0: the box's default
};

// The default answer of a box: OK, or No for Yes/No.
int DefaultAnswer(UINT flags);

}  // namespace quillet
