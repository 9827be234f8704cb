#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace quillet {

std::uint64_t TickCountMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

LONG WsaErrorOf(int err) {
  switch (err) {
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ECONNRESET:
    case EPIPE:
      return WSAECONNRESET;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ENOTCONN:
      return WSAENOTCONN;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
    case EINTR:
      return WSAEINTR;
    default:
      return WSAENETDOWN;
  }
}

class PosixSocket final : public StreamSocket {
 public:
  PosixSocket(int fd, SocketWaitHandler* waiter) : fd_(fd), waiter_(waiter) {}
  ~PosixSocket() override { Close(); }

  LONG Connect(const std::string& host, std::uint16_t port) override {
    if (fd_ < 0) return WSAENOTCONN;
    addrinfo hints{};
    hints.ai_family = AF_INET;  // the socket was made for IPv4
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
      return WSAHOST_NOT_FOUND;
    }
    LONG result = WSAECONNREFUSED;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
      result = ConnectTo(a->ai_addr, a->ai_addrlen);
      if (result == 0 || result == WSAEINTR) break;
    }
    freeaddrinfo(found);
    return result;
  }

  LONG Send(std::string_view data) override {
    if (fd_ < 0) return WSAENOTCONN;
    while (!data.empty()) {
      ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (n > 0) {
        data.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (LONG wait = Wait(POLLOUT); wait != 0) return wait;
        continue;
      }
      return WsaErrorOf(errno);
    }
    return 0;
  }

  LONG Receive(char* buffer, std::size_t capacity, std::size_t* received) override {
    *received = 0;
    if (fd_ < 0) return WSAENOTCONN;
    if (capacity == 0) return 0;
    for (;;) {
      ssize_t n = ::recv(fd_, buffer, capacity, 0);
      if (n >= 0) {
        *received = static_cast<std::size_t>(n);
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return WsaErrorOf(errno);
      if (LONG wait = Wait(POLLIN); wait != 0) return wait;
    }
  }

  void Close() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  LONG ConnectTo(const sockaddr* address, socklen_t length) {
    if (::connect(fd_, address, length) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return WsaErrorOf(errno);
    if (LONG wait = Wait(POLLOUT); wait != 0) return wait;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return WsaErrorOf(errno);
    return error == 0 ? 0 : WsaErrorOf(error);
  }

  // Waits until the socket is ready for `events`, asking the handler before every slice.
  LONG Wait(short events) {
    for (;;) {
      if (waiter_ != nullptr && !waiter_->OnMessagePending()) return WSAEINTR;
      pollfd p{fd_, events, 0};
      int n = ::poll(&p, 1, kSocketWaitSliceMs);
      if (n > 0) return 0;  // ready, or an error the next call will report
      if (n < 0 && errno != EINTR) return WsaErrorOf(errno);
    }
  }

  int fd_;
  SocketWaitHandler* waiter_;
};

class PosixSocketFactory final : public SocketFactory {
 public:
  std::unique_ptr<StreamSocket> Create(SocketWaitHandler* waiter, LONG* error) override {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      if (error != nullptr) *error = WsaErrorOf(errno);
      return nullptr;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (error != nullptr) *error = 0;
    return std::make_unique<PosixSocket>(fd, waiter);
  }
};

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

SocketFactory& PosixSockets() {
  static PosixSocketFactory factory;
  return factory;
}

std::unique_ptr<StreamSocket> ScriptedSockets::Create(SocketWaitHandler* waiter, LONG* error) {
  if (error != nullptr) *error = createError;
  if (createError != 0) return nullptr;
  ++created;
  return std::make_unique<ScriptedSocket>(*this, waiter);
}

}  // namespace quillet
