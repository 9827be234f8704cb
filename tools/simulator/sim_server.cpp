#include "tools/simulator/sim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace quillet::sim {

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kHeadTimeoutMs = 10000;
constexpr int kHoldLimitMs = 10 * 60 * 1000;

std::string RandomBytes(std::size_t count, std::uint64_t seed) {
  std::string out(count, '\0');
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (std::size_t i = 0; i < count; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    out[i] = static_cast<char>(x & 0xFF);
  }
  return out;
}

const char* ReasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Waits until the client closes the connection (or the hold limit passes), dropping whatever it
// sends.
void HoldUntilClosed(int fd) {
  char sink[512];
  for (int waited = 0; waited < kHoldLimitMs; waited += 200) {
    pollfd p{fd, POLLIN, 0};
    int n = ::poll(&p, 1, 200);
    if (n < 0 && errno != EINTR) return;
    if (n > 0) {
      ssize_t got = ::recv(fd, sink, sizeof sink, 0);
      if (got <= 0) return;
    }
  }
}

// Reads up to the empty line that ends the request head. Empty when the client sent none.
std::string ReadHead(int fd) {
  std::string head;
  char buffer[2048];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHeadTimeoutMs);
  while (head.size() < kMaxHead) {
    if (head.find("\r\n\r\n") != std::string::npos || head.find("\n\n") != std::string::npos) {
      break;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    int n = ::poll(&p, 1, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  std::size_t end = head.find("\r\n\r\n");
  if (end != std::string::npos) {
    head.resize(end + 4);
  } else if ((end = head.find("\n\n")) != std::string::npos) {
    head.resize(end + 2);
  }
  return head;
}

// Writes every byte over TLS on a socket that does not block.
bool TlsWriteAll(SSL* ssl, int fd, std::string_view data) {
  while (!data.empty()) {
    int n = SSL_write(ssl, data.data(), static_cast<int>(data.size()));
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    const int why = SSL_get_error(ssl, n);
    if (why != SSL_ERROR_WANT_READ && why != SSL_ERROR_WANT_WRITE) return false;
    pollfd p{fd, static_cast<short>(why == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
    if (::poll(&p, 1, kHeadTimeoutMs) <= 0) return false;
  }
  return true;
}

}  // namespace

std::string ResponseBytes(const SimAnswer& answer, const FaultOptions& faults, std::uint64_t seed) {
  if (faults.garbage > 0) return RandomBytes(faults.garbage, seed);
  int status = faults.status != 0 ? faults.status : answer.status;
  std::string body;
  if (faults.bodyGarbage > 0) {
    body = RandomBytes(faults.bodyGarbage, seed);
  } else {
    std::string lineEnd = faults.lfOnly ? "\n" : answer.lineEnd;
    if (faults.longLine > 0) body += std::string(faults.longLine, 'L') + lineEnd;
    if (faults.status != 0 && faults.status != 200) {
      body += std::string("<HTML><BODY>") + ReasonOf(status) + "</BODY></HTML>" + lineEnd;
    } else {
      for (const std::string& line : answer.lines) body += line + lineEnd;
    }
    if (faults.noFinalNewline && body.size() >= lineEnd.size() &&
        body.compare(body.size() - lineEnd.size(), lineEnd.size(), lineEnd) == 0) {
      body.resize(body.size() - lineEnd.size());
    }
  }
  std::string reason = faults.status != 0 ? ReasonOf(status) : answer.reason;
  std::string out = std::string(answer.chunked ? "HTTP/1.1 " : "HTTP/1.0 ") +
                    std::to_string(status) + " " + reason + "\r\n";
  out += "Server: quillet-quote-sim\r\n";
  out += "Content-Type: " + answer.contentType + "\r\n";
  for (const std::string& header : answer.headers) out += header + "\r\n";
  if (answer.chunked) {
    // Small chunks, so that a reader meets chunk boundaries inside lines and numbers.
    out += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    constexpr std::size_t kChunk = 7;
    char size[16];
    for (std::size_t at = 0; at < body.size(); at += kChunk) {
      const std::size_t n = std::min(kChunk, body.size() - at);
      std::snprintf(size, sizeof size, "%zx\r\n", n);
      out += size;
      out += body.substr(at, n) + "\r\n";
    }
    out += "0\r\n\r\n";
  } else if (!faults.noContentLength) {
    out += faults.contentLengthName + ": " + std::to_string(body.size()) + "\r\n";
  }
  if (!answer.chunked) {
    out += "\r\n";
    out += body;
  }
  if (faults.truncate >= 0 && static_cast<std::size_t>(faults.truncate) < out.size()) {
    out.resize(static_cast<std::size_t>(faults.truncate));
  }
  return out;
}

std::size_t CutPosition(std::string_view bytes, const FaultOptions& faults) {
  if (faults.cut == FaultOptions::Cut::kNone) return std::string_view::npos;
  if (!faults.cutAfter.empty()) {
    std::size_t at = bytes.find(faults.cutAfter);
    return at == std::string_view::npos ? at : at + faults.cutAfter.size();
  }
  if (faults.cutAt < 0 || static_cast<std::size_t>(faults.cutAt) >= bytes.size()) {
    return std::string_view::npos;
  }
  return static_cast<std::size_t>(faults.cutAt);
}

SimServer::SimServer(ServerOptions options, HandlerTable handlers, PriceBook prices)
    : options_(std::move(options)), handlers_(std::move(handlers)), prices_(std::move(prices)) {}

SimServer::~SimServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
  if (tls_ != nullptr) SSL_CTX_free(tls_);
  if (log_ != nullptr) std::fclose(log_);
}

bool SimServer::Listen(std::string* error) {
  if (!options_.logPath.empty()) {
    log_ = std::fopen(options_.logPath.c_str(), "ab");
    if (log_ == nullptr) {
      *error = "cannot open the request log " + options_.logPath + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!options_.tlsCert.empty() || !options_.tlsKey.empty()) {
    tls_ = SSL_CTX_new(TLS_server_method());
    if (tls_ == nullptr ||
        SSL_CTX_use_certificate_chain_file(tls_, options_.tlsCert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tls_, options_.tlsKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(tls_) != 1) {
      char text[256];
      ERR_error_string_n(ERR_get_error(), text, sizeof text);
      *error = "cannot use the certificate " + options_.tlsCert + " and key " + options_.tlsKey +
               ": " + text;
      return false;
    }
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.port);
  if (::inet_pton(AF_INET, options_.bind.c_str(), &address.sin_addr) != 1) {
    *error = "not an IPv4 address: " + options_.bind;
    return false;
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0) {
    *error = std::string("bind/listen: ") + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

void SimServer::Serve() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (tls_ != nullptr) {
      std::thread([this, fd] { HandleTls(fd); }).detach();
    } else {
      std::thread([this, fd] { Handle(fd); }).detach();
    }
  }
}

void SimServer::HandleTls(int fd) {
  SSL* ssl = SSL_new(tls_);
  if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1) {
    if (ssl != nullptr) SSL_free(ssl);
    ::close(fd);
    return;
  }
  timeval limit{kHeadTimeoutMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (SSL_accept(ssl) != 1) {
    // A client that does not trust the certificate hangs up here: nothing to answer.
    SSL_free(ssl);
    ::close(fd);
    return;
  }
  // From here the socket does not block: a TLS record without data for us must not hold the
  // answer back.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    SSL_free(ssl);
    ::close(fd);
    return;
  }
  std::thread([this, inner = pair[0]] { Handle(inner); }).detach();
  const int plain = pair[1];
  char buffer[4096];
  bool open = true;
  for (int idle = 0; open && idle < kHoldLimitMs;) {
    // Bytes TLS has already decrypted do not show on the socket.
    if (SSL_pending(ssl) == 0) {
      pollfd p[2] = {{fd, POLLIN, 0}, {plain, POLLIN, 0}};
      int n = ::poll(p, 2, 200);
      if (n < 0 && errno != EINTR) break;
      if (n <= 0) {
        idle += 200;
        continue;
      }
      idle = 0;
      if ((p[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        ssize_t got = ::recv(plain, buffer, sizeof buffer, 0);
        if (got <= 0) break;  // the answer is complete: the handler closed its end
        if (!TlsWriteAll(ssl, fd, std::string_view(buffer, static_cast<std::size_t>(got)))) break;
      }
      if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    }
    int got = SSL_read(ssl, buffer, sizeof buffer);
    if (got <= 0) {
      const int why = SSL_get_error(ssl, got);
      if (why == SSL_ERROR_WANT_READ || why == SSL_ERROR_WANT_WRITE) continue;
      open = false;
      break;
    }
    if (!SendAll(plain, std::string_view(buffer, static_cast<std::size_t>(got)))) break;
  }
  if (open) SSL_shutdown(ssl);
  ::close(plain);
  SSL_free(ssl);
  ::close(fd);
}

void SimServer::Log(const std::string& record) {
  if (log_ == nullptr) return;
  std::lock_guard<std::mutex> lock(logMutex_);
  std::fwrite(record.data(), 1, record.size(), log_);
  std::fflush(log_);
}

void SimServer::Handle(int fd) {
  std::string head = ReadHead(fd);
  if (head.empty()) {
    ::close(fd);
    return;
  }
  long long number = ++requests_;
  SimRequest request;
  bool wellFormed = ParseRequestHead(head, &request);
  SimAnswer answer;
  if (wellFormed) {
    answer = handlers_.Answer(request, prices_);
  } else {
    answer.status = 400;
    answer.reason = "Bad Request";
    answer.lines = {"Bad Request"};
  }
  // The log holds each request head byte for byte, after a line that gives its length.
  Log("--- request " + std::to_string(number) + " source " + std::to_string(request.source) +
      " status " + std::to_string(answer.status) + " bytes " + std::to_string(head.size()) + "\n" +
      head + "\n");

  const FaultOptions none;
  bool faulty = options_.faults.pathFilter.empty() ||
                request.target.find(options_.faults.pathFilter) != std::string::npos;
  if (faulty && options_.faults.count >= 0) faulty = ++faulted_ <= options_.faults.count;
  const FaultOptions& faults = faulty ? options_.faults : none;

  if (faults.silent) {
    HoldUntilClosed(fd);
    ::close(fd);
    return;
  }
  if (faults.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(faults.delayMs));
  std::string bytes =
      ResponseBytes(answer, faults, options_.seed + static_cast<std::uint64_t>(number));
  const std::size_t cut = CutPosition(bytes, faults);
  if (cut != std::string::npos) bytes.resize(cut);
  bool sent = true;
  if (faults.trickleMs > 0) {
    std::size_t chunk = faults.chunk > 0 ? faults.chunk : 16;
    for (std::size_t at = 0; sent && at < bytes.size(); at += chunk) {
      sent = SendAll(fd, std::string_view(bytes).substr(at, chunk));
      std::this_thread::sleep_for(std::chrono::milliseconds(faults.trickleMs));
    }
  } else {
    sent = SendAll(fd, bytes);
  }
  if (cut != std::string::npos && faults.cut == FaultOptions::Cut::kReset) {
    // Close with a reset, as a crashed server or a broken line would.
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
    return;
  }
  const bool stall = cut != std::string::npos && faults.cut == FaultOptions::Cut::kStall;
  if (sent && (stall || ((faults.keepOpen || answer.keepOpen) && faults.truncate < 0 &&
                         cut == std::string::npos))) {
    HoldUntilClosed(fd);
  }
  ::close(fd);
}

}  // namespace quillet::sim
