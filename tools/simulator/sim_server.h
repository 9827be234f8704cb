// The simulator's HTTP/1.0 server: one thread per connection, the request head read and logged,
// the answer built by the handler table, then written with the configured faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "tools/simulator/sim_handlers.h"
#include "tools/simulator/sim_prices.h"

struct ssl_ctx_st;

namespace quillet::sim {

struct FaultOptions {
  int delayMs = 0;          // wait before answering
  int trickleMs = 0;        // pause between chunks of the answer
  std::size_t chunk = 0;    // chunk size for trickling (0: 16 bytes when trickling)
  bool silent = false;      // read the request, never answer, keep the connection
  int status = 0;           // answer with this status instead of the handler's
  long long truncate = -1;  // send only this many bytes of the answer, then close
  // Where an answer stops short, as a byte count or as the place just after a text of the
  // answer (the first time it occurs; no cut when it does not); how the stop looks to the client.
  enum class Cut { kNone, kClose, kReset, kStall };
  Cut cut = Cut::kNone;
  long long cutAt = -1;
  std::string cutAfter;
  std::size_t longLine = 0;      // put a line of this many bytes before the body
  std::size_t garbage = 0;       // answer with this many random bytes instead of HTTP
  std::size_t bodyGarbage = 0;   // a 200 answer whose body is this many random bytes
  bool keepOpen = false;         // keep the connection open after the answer
  bool noContentLength = false;  // leave the Content-Length header out
  std::string contentLengthName = "Content-Length";  // its spelling
  bool noFinalNewline = false;                       // the last body line ends without a line feed
  bool lfOnly = false;     // body lines end in LF instead of the handler's ending
  long long count = -1;    // faults apply to the first N matching requests (-1: all)
  std::string pathFilter;  // faults apply only to targets containing this text
};

struct ServerOptions {
  std::string bind = "127.0.0.1";
  std::uint16_t port = 0;  // 0: any free port
  std::string logPath;     // request log, appended
  FaultOptions faults;
  std::uint64_t seed = 1;  // for garbage bytes
  // With both, every connection speaks TLS with this certificate (PEM files).
  std::string tlsCert;
  std::string tlsKey;
};

// The bytes of an answer: status line, headers, body, with the faults that shape bytes applied
// (not the ones about timing or the connection).
std::string ResponseBytes(const SimAnswer& answer, const FaultOptions& faults, std::uint64_t seed);

// How many bytes of `bytes` go out before the cut of `faults`, or npos for all of them.
std::size_t CutPosition(std::string_view bytes, const FaultOptions& faults);

class SimServer {
 public:
  SimServer(ServerOptions options, HandlerTable handlers, PriceBook prices);
  ~SimServer();
  // Binds and listens; the chosen port is port() afterwards.
  bool Listen(std::string* error);
  std::uint16_t port() const { return port_; }
  // Accepts connections until the process ends.
  void Serve();

 private:
  void Handle(int fd);
  // Takes the TLS handshake on `fd` and carries the decrypted bytes to and from Handle, which
  // then answers (faults included) exactly as on a plain connection.
  void HandleTls(int fd);
  void Log(const std::string& record);

  ServerOptions options_;
  HandlerTable handlers_;
  PriceBook prices_;
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<long long> requests_{0};
  std::atomic<long long> faulted_{0};
  std::mutex logMutex_;
  std::FILE* log_ = nullptr;
  ssl_ctx_st* tls_ = nullptr;
};

}  // namespace quillet::sim
