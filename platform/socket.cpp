#include "platform/socket.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace quillet {
namespace {

class ScriptedSocket final : public StreamSocket {
 public:
  ScriptedSocket(ScriptedSockets& owner, SocketWaitHandler* waiter)
      : owner_(owner), waiter_(waiter) {}
  ~ScriptedSocket() override { Close(); }

  LONG Connect(const std::string& host, std::uint16_t port) override {
    owner_.connectedHost = host;
    owner_.connectedPort = port;
    if (owner_.connectError != 0) return owner_.connectError;
    connected_ = true;
    return 0;
  }

  LONG Send(std::string_view data) override {
    if (!connected_) return WSAENOTCONN;
    if (owner_.sendError != 0) return owner_.sendError;
    owner_.sent.append(data);
    return 0;
  }

  LONG Receive(char* buffer, std::size_t capacity, std::size_t* received) override {
    *received = 0;
    if (!connected_) return WSAENOTCONN;
    if (capacity == 0) return 0;
    if (position_ >= owner_.stallAfter) {
      // A server that stays silent: wait until the owner gives up.
      for (;;) {
        if (waiter_ != nullptr && !waiter_->OnMessagePending()) return WSAEINTR;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    std::size_t left = owner_.answer.size() - position_;
    if (left == 0) return owner_.receiveError;
    std::size_t n = std::min(
        {capacity, left, std::max<std::size_t>(owner_.chunk, 1), owner_.stallAfter - position_});
    std::memcpy(buffer, owner_.answer.data() + position_, n);
    position_ += n;
    *received = n;
    return 0;
  }

  void Close() override {
    if (!closed_) {
      closed_ = true;
      ++owner_.closed;
    }
  }

 private:
  ScriptedSockets& owner_;
  SocketWaitHandler* waiter_;
  std::size_t position_ = 0;
  bool connected_ = false;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<StreamSocket> ScriptedSockets::Create(SocketWaitHandler* waiter, LONG* error) {
  if (error != nullptr) *error = createError;
  if (createError != 0) return nullptr;
  ++created;
  return std::make_unique<ScriptedSocket>(*this, waiter);
}

}  // namespace quillet
