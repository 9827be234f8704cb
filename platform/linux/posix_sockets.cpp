#include "platform/linux/posix_sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quillet {

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

// One look-up on its helper thread. The thread and the waiting socket share it; whichever lets go
// last frees it, so a socket that gave up never waits for the thread.
struct Lookup {
  Lookup() : ready(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Lookup() {
    if (ready >= 0) ::close(ready);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

  std::mutex mutex;
  bool done = false;
  LONG error = 0;
  std::vector<std::uint32_t> addresses;
  int ready;  // readable once done
};

class PosixSocket final : public StreamSocket {
 public:
  PosixSocket(int fd, SocketWaitHandler* waiter, const HostResolver& resolver)
      : fd_(fd), waiter_(waiter), resolver_(resolver) {}
  ~PosixSocket() override { Close(); }

  LONG Connect(const std::string& host, std::uint16_t port) override {
    if (fd_ < 0) return WSAENOTCONN;
    std::vector<std::uint32_t> addresses;
    if (LONG error = Resolve(host, &addresses); error != 0) return error;
    LONG result = WSAECONNREFUSED;
    for (std::uint32_t a : addresses) {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(port);
      address.sin_addr.s_addr = a;
      result = ConnectTo(reinterpret_cast<const sockaddr*>(&address), sizeof address);
      if (result == 0 || result == WSAEINTR) break;
    }
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

  // A name look-up can take as long as the name servers like; it runs on a helper thread while
  // this call waits in slices like any other, so the time-out and Cancel end it.
  LONG Resolve(const std::string& host, std::vector<std::uint32_t>* addresses) {
    auto lookup = std::make_shared<Lookup>();
    if (lookup->ready < 0) return WsaErrorOf(errno);
    try {
      std::thread([lookup, host, resolver = resolver_] {
        std::vector<std::uint32_t> found;
        LONG error = resolver(host, &found);
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->error = error;
        lookup->addresses = std::move(found);
        lookup->done = true;
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(lookup->ready, &one, sizeof one);
      }).detach();
    } catch (const std::system_error&) {
      return WSAENETDOWN;  // no thread to be had
    }
    if (LONG wait = Wait(POLLIN, lookup->ready); wait != 0) return wait;
    std::lock_guard<std::mutex> lock(lookup->mutex);
    if (!lookup->done) return WSAENETDOWN;
    if (lookup->error == 0 && lookup->addresses.empty()) return WSAHOST_NOT_FOUND;
    *addresses = std::move(lookup->addresses);
    return lookup->error;
  }

  // Waits until `fd` (the socket unless given) is ready for `events`, asking the handler before
  // every slice.
  LONG Wait(short events, int fd = -1) {
    for (;;) {
      if (waiter_ != nullptr && !waiter_->OnMessagePending()) return WSAEINTR;
      pollfd p{fd >= 0 ? fd : fd_, events, 0};
      int n = ::poll(&p, 1, kSocketWaitSliceMs);
      if (n > 0) return 0;  // ready, or an error the next call will report
      if (n < 0 && errno != EINTR) return WsaErrorOf(errno);
    }
  }

  int fd_;
  SocketWaitHandler* waiter_;
  const HostResolver& resolver_;
};

class PosixSocketFactory final : public SocketFactory {
 public:
  explicit PosixSocketFactory(HostResolver resolver) : resolver_(std::move(resolver)) {}

  std::unique_ptr<StreamSocket> Create(SocketWaitHandler* waiter, LONG* error) override {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      if (error != nullptr) *error = WsaErrorOf(errno);
      return nullptr;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (error != nullptr) *error = 0;
    return std::make_unique<PosixSocket>(fd, waiter, resolver_);
  }

 private:
  HostResolver resolver_;
};

}  // namespace

LONG SystemResolver(const std::string& host, std::vector<std::uint32_t>* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;  // the sockets are made for IPv4
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return WSAHOST_NOT_FOUND;
  }
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET) {
      out->push_back(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    }
  }
  freeaddrinfo(found);
  return out->empty() ? WSAHOST_NOT_FOUND : 0;
}

std::unique_ptr<SocketFactory> MakePosixSockets(HostResolver resolver) {
  return std::make_unique<PosixSocketFactory>(std::move(resolver));
}

}  // namespace quillet
