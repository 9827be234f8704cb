#include "platform/message_box.h"

namespace quillet {

int DefaultAnswer(UINT flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
      return IDNO;
    case MB_OKCANCEL:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

int MessageBoxes::Show(std::string text, std::string caption, UINT flags) {
  MessageBoxRequest req{std::move(text), std::move(caption), flags};
  if (answerer_) return answerer_(req);
  return DefaultAnswer(flags);
}

MessageBoxes::Answerer ScriptedAnswers::AsAnswerer() {
  return [this](const MessageBoxRequest& req) {
    shown_.push_back(req);
    if (!answers_.empty()) {
      int a = answers_.front();
      answers_.pop_front();
      return a;
    }
    return whenEmpty_ ? whenEmpty_ : DefaultAnswer(req.flags);
  };
}

std::vector<std::string> ScriptedAnswers::texts() const {
  std::vector<std::string> out;
  for (const auto& r : shown_) out.push_back(r.text);
  return out;
}

}  // namespace quillet
