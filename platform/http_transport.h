// HTTP and HTTPS requests for the quote sources a user defines: one GET to a full URL, with the
// run's time-out and Cancel, the proxy (with Basic authentication), redirects and chunked
// answers, and certificates checked against the system's store or a CA file. The built-in
// sources keep their own HTTP/1.0 client over sockets; this is only for URLs the user wrote.
//
// The real implementation (libcurl) is in platform/linux; ScriptedHttp is an in-memory twin for
// tests that need a canned answer or a failure without a server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct HttpRequest {
  std::string url;  // http:// or https://; no other scheme is followed, redirects included
  std::vector<std::string> headers;  // "Name: value" lines sent as they are
  bool useProxy = false;
  std::string proxyHost;
  std::uint16_t proxyPort = 8080;
  std::string proxyUser;  // Basic authentication when both are given
  std::string proxyPassword;
  std::uint32_t timeoutSeconds = 30;  // the whole request, connection included
  // Asked while the request waits; false cancels it.
  std::function<bool()> keepGoing;
  // Certificates are checked against this file of CA certificates instead of the system's
  // store when it is given.
  std::string caFile;
  // An answer larger than this is refused rather than allowed to fill memory.
  std::size_t maxBodyBytes = 4u << 20;
};

struct HttpAnswer {
  enum class Outcome { kOk, kFailed, kTimedOut, kCancelled };
  Outcome outcome = Outcome::kFailed;
  long status = 0;       // the final answer's HTTP status (after redirects); 0 without one
  std::string body;      // de-chunked and complete when outcome is kOk
  std::string failure;   // one line saying why, when outcome is not kOk
  std::string finalUrl;  // where the answer came from after redirects
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Sends one GET and waits for the whole answer. Any HTTP status counts as an answer
  // (kOk with that status); a broken connection, a certificate that is not trusted, a
  // time-out, a cancel or an answer cut short do not.
  virtual HttpAnswer Get(const HttpRequest& request) = 0;
};

// Answers every request with the same canned answer and records the requests.
class ScriptedHttp final : public HttpTransport {
 public:
  HttpAnswer Get(const HttpRequest& request) override {
    requests.push_back(request);
    if (next) return next(request);
    return answer;
  }
  HttpAnswer answer;
  std::function<HttpAnswer(const HttpRequest&)> next;  // when set, answers instead
  std::vector<HttpRequest> requests;
};

}  // namespace quillet
