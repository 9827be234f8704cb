// Messages to the top-level windows of a root, such as the settings-changed broadcast that makes
// the Today screen reload its items. The system's code gets a WindowMessages from whoever
// creates it; RecordingWindowMessages keeps what was sent, for tests and for tools that run
// without windows.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

inline constexpr UINT WM_SETTINGCHANGE = 0x001A;

class WindowMessages {
 public:
  virtual ~WindowMessages() = default;
  // Posts msg to every top-level window. Windows that are gone are skipped; nothing is
  // reported back, as with the system's broadcast.
  virtual void Broadcast(UINT msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

class RecordingWindowMessages final : public WindowMessages {
 public:
  struct Message {
    UINT msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Message&) const = default;
  };
  void Broadcast(UINT msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    sent_.push_back({msg, wParam, lParam});
  }
  const std::vector<Message>& sent() const { return sent_; }

 private:
  std::vector<Message> sent_;
};

}  // namespace quillet
