// Blocking TCP stream sockets in the manner of the framework socket class the quote client was
// written for: every call blocks, but while it waits it calls the owner's OnMessagePending in
// short slices, and the owner can cancel the call from there (time-out, Cancel button).
//
// The real implementation is in platform/linux (a program's main makes it once, see
// platform/linux/host_services.h); ScriptedSockets is an in-memory twin that plays a canned answer
// and can fail any step, for tests and fuzzing that must not touch the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

// Winsock error numbers the callers see.
inline constexpr LONG WSAEINTR = 10004;  // a blocking call was cancelled
inline constexpr LONG WSAEMSGSIZE = 10040;
inline constexpr LONG WSAENOTCONN = 10057;
inline constexpr LONG WSAECONNRESET = 10054;
inline constexpr LONG WSAETIMEDOUT = 10060;
inline constexpr LONG WSAECONNREFUSED = 10061;
inline constexpr LONG WSAEMFILE = 10024;
inline constexpr LONG WSAHOST_NOT_FOUND = 11001;
inline constexpr LONG WSAENETDOWN = 10050;

// How long one wait lasts before OnMessagePending is asked again.
inline constexpr int kSocketWaitSliceMs = 50;

class SocketWaitHandler {
 public:
  virtual ~SocketWaitHandler() = default;
  // Called every time a blocking call is about to wait (and again every slice while it waits).
  // Returning false cancels the call, which then fails with WSAEINTR.
  virtual bool OnMessagePending() = 0;
};

class StreamSocket {
 public:
  virtual ~StreamSocket() = default;
  // Resolves host and connects. 0 or a WSA error.
  virtual LONG Connect(const std::string& host, std::uint16_t port) = 0;
  // Sends every byte. 0 or a WSA error.
  virtual LONG Send(std::string_view data) = 0;
  // Waits for data and reads at most capacity bytes. 0 with *received == 0 means the peer closed
  // the connection; a WSA error otherwise (*received is then 0).
  virtual LONG Receive(char* buffer, std::size_t capacity, std::size_t* received) = 0;
  // Safe to call more than once; the destructor closes too.
  virtual void Close() = 0;
};

class SocketFactory {
 public:
  virtual ~SocketFactory() = default;
  // A new unconnected stream socket whose waits report to `waiter` (which must outlive it), or
  // null with *error set when the system has none to give.
  virtual std::unique_ptr<StreamSocket> Create(SocketWaitHandler* waiter, LONG* error) = 0;
};

// Turns a host name into IPv4 addresses (network byte order), blocking as long as it takes; 0 or
// a WSA error. The real sockets take one; the system's is the default, tests give one that
// stalls.
using HostResolver = std::function<LONG(const std::string& host, std::vector<std::uint32_t>* out)>;

// The in-memory twin: every socket it makes "connects" without a network, records what is sent
// and answers with `answer`, handed out in reads of at most `chunk` bytes. Each step can be made
// to fail, and `stallAfter` makes Receive wait (calling the handler each slice, without sleeping)
// once that many answer bytes went out, as a silent server would.
class ScriptedSockets final : public SocketFactory {
 public:
  std::unique_ptr<StreamSocket> Create(SocketWaitHandler* waiter, LONG* error) override;

  std::string answer;
  std::size_t chunk = 1 << 16;
  std::size_t stallAfter = static_cast<std::size_t>(-1);
  LONG createError = 0;
  LONG connectError = 0;
  LONG sendError = 0;
  LONG receiveError = 0;  // returned once the answer is used up, instead of a clean close

  // Filled as the sockets are used.
  std::string connectedHost;
  std::uint16_t connectedPort = 0;
  std::string sent;
  int created = 0;
  int closed = 0;
};

}  // namespace quillet
