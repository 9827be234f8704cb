// CQuoteClient fetches one answer at a time from a quote source over HTTP/1.0 and hands it, line
// by line, to the parser of that source. It blocks, but every wait goes through CQuoteSocket's
// OnMessagePending, which keeps the progress window alive, calls the pump hook, and ends the
// call on a time-out or when the run's g_cancelUpdate is set. The sockets, the clocks and that
// cancel flag are the client's services: it makes none of its own.
//
// One client serves a whole update run: BeginRequest, AppendRequest (the symbols), EndRequest,
// Execute; the parsed quotes collect in results() until FreeResults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/quote_tables.h"
#include "core/string_table.h"
#include "platform/clock.h"
#include "platform/context.h"
#include "platform/monotonic_clock.h"
#include "platform/socket.h"
#include "platform/win_types.h"
#include "quotes/cancel_token.h"
#include "quotes/quote_result.h"
#include "quotes/quote_server.h"

namespace quillet {

enum QuoteResultCode : int {
  QR_OK = 0,
  QR_ERROR = 1,
  QR_CANCELLED = 2,
  QR_TIMEOUT = 3,
};

// The error texts of a failed request.
inline constexpr char kErrorCannotOpenSocket[] =
    "Cannot open socket, check your network configuration";
inline constexpr char kErrorCannotConnect[] =
    "Cannot connect to server, check your network configuration. If you are behind a firewall "
    "make sure you have set your proxy settings.";
inline constexpr char kErrorNoResponse[] = "Can't get response from server\n";
inline constexpr char kErrorHttpPrefix[] = "HTTP Error\n";
// Appended when the connection broke while the request was written or the answer read.
inline constexpr char kErrorSocketFailure[] = "MFC error";

// The progress window of an interactive run, as the client sees it.
class QuoteProgress {
 public:
  virtual ~QuoteProgress() = default;
  // Shows a string-table text (strings::IDS_...) in the window.
  virtual void ShowStatus(UINT stringId) = 0;
  // Dispatches pending window messages, stopping early once the run's g_cancelUpdate is set.
  virtual void PumpMessages() = 0;
};

// The device program and the desktop companion differ in the user agent's platform word and in
// proxy authentication, which only the desktop sends.
enum class ClientVariant { kDevice, kDesktop };

class CQuoteClient;
// Reads the rest of an answer through the client and appends its quotes. False when the header
// lines could not be read, a result could not be added, or the answer reported an error.
using QuoteParser = std::function<bool(CQuoteClient&)>;

// What a client takes from the platform and from the run it serves.
struct QuoteClientServices {
  SocketFactory& sockets;
  MonotonicClock& ticks;                // the time-outs
  Clock& clock;                         // "today", for the pages that give a time without a date
  CancelToken& cancel;                  // the run's
  std::optional<QuoteEndpoint> server;  // where connections go instead of the sources' hosts
};

// A run's client services from its context: the context's sockets and clocks, and the quote
// server its program was started with.
QuoteClientServices ClientServicesOf(PlatformContext& ctx, CancelToken& cancel);

// The wait hook of one Execute: progress window, pump hook, time-out and cancel.
class CQuoteSocket final : public SocketWaitHandler {
 public:
  enum Status : int { kRunning = 0, kCancelled = 2, kTimedOut = 3 };

  CQuoteSocket(MonotonicClock& ticks, CancelToken& cancel) : ticks_(ticks), cancel_(cancel) {}
  bool OnMessagePending() override;

  int status = kRunning;
  std::uint32_t timeoutSeconds = 30;
  std::uint64_t startSeconds = 0;  // tick count / 1000
  QuoteProgress* progress = nullptr;
  const std::function<void()>* pumpHook = nullptr;

 private:
  MonotonicClock& ticks_;
  CancelToken& cancel_;
};

class CQuoteClient {
 public:
  // Room for the longest request the batch rule allows (it stops adding symbols at 974
  // characters, after which a symbol, the longest query suffix and " HTTP/1.0" still follow).
  static constexpr std::size_t kRequestCapacity = 1536;
  static constexpr std::size_t kLineBufferSize = 1536;
  static constexpr std::uint32_t kDefaultTimeout = 30;
  static constexpr std::uint32_t kDefaultProxyPort = 8080;

  // The server override starts as the services' server; SetServerOverride replaces it.
  CQuoteClient(ClientVariant variant, const QuoteClientServices& services);
  ~CQuoteClient();
  CQuoteClient(const CQuoteClient&) = delete;
  CQuoteClient& operator=(const CQuoteClient&) = delete;

  // Stores the proxy; credentials are kept only when asked for and both are given.
  void SetProxy(bool useProxy, std::string_view host, std::uint32_t port, bool useAuthentication,
                std::string_view user, std::string_view password);
  // Starts the request line of `source`: "GET ", then (through a proxy) "http://host:port",
  // then the source's path prefix. The symbols are appended next.
  void BeginRequest(int source);
  // The same with a path of the caller's (the price-history download fills in its own).
  void BeginRequestWithPath(int source, std::string_view path);
  // False, and nothing appended, when the text would not fit the request buffer.
  bool AppendRequest(std::string_view text);
  // Appends the source's query suffix and " HTTP/1.0".
  void EndRequest();
  // Sends the request and lets the source's parser read the answer; returns the result code.
  int Execute();

  // The next line of the answer, NUL-terminated at the start of the line buffer (Line()).
  // Delimiter 0 means '\n'; a CR before the delimiter is dropped. False at the end of the data,
  // after a cancel or time-out, or on a read error. A line longer than the buffer comes in
  // pieces of 1535 bytes.
  bool ReadLine(char delimiter = 0);
  // Reads and drops the header lines up to the empty one, noting Content-Length.
  bool ReadHeaders();
  // Reads lines until one contains `marker`; false when the data ended first.
  bool ReadUntil(const char* marker, char delimiter = 0);
  // Whether the line handed out last ended with its delimiter. False for a last line that the
  // end of the data cut off: a parser whose lines have a known shape may refuse it.
  bool lineTerminated() const { return lineTerminated_; }
  char* Line() { return lineBuffer_.get(); }
  std::string_view LineText() const { return lineBuffer_.get(); }

  // A zero-filled result appended to the list, or null when the list is full.
  QuoteResult* AddResult();
  QuoteResultList& results() { return results_; }
  const QuoteResultList& results() const { return results_; }
  void FreeResults() { results_.clear(); }

  void SetPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }
  void SetProgress(QuoteProgress* progress) { progress_ = progress; }
  void SetTimeout(std::uint32_t seconds) { timeout_ = seconds; }
  std::uint32_t timeout() const { return timeout_; }
  // Replaces the parser of one source (the desktop plugs in its price-history parser); an empty
  // parser means the answer is not read.
  void SetParser(int source, QuoteParser parser);
  // Where connections go instead of the sources' hosts; requests keep naming the source host.
  void SetServerOverride(std::optional<QuoteEndpoint> server) { server_ = std::move(server); }
  // The run's Cancel, which the steps around the requests read too.
  CancelToken& cancelToken() { return cancel_; }
  Clock& clock() { return clock_; }

  std::string_view request() const { return {request_, requestLength_}; }
  std::size_t requestLength() const { return requestLength_; }
  const char* errorText() const { return errorText_; }
  int resultCode() const { return resultCode_; }
  void SetResultCode(int code) { resultCode_ = code; }
  int source() const { return static_cast<int>(source_); }
  const char* host() const { return host_; }
  std::uint32_t port() const { return port_; }
  std::uint32_t contentLength() const { return contentLength_; }
  std::uint32_t bytesReceived() const { return bytesReceived_; }
  bool inBody() const { return inBody_ != 0; }
  std::array<std::uint8_t, kQuoteSourceCount>& neededSources() { return neededSources_; }
  bool proxyAuthentication() const { return proxyAuthentication_ != 0; }

 private:
  bool KeepsConnectionOpen() const { return source_ == 11 || source_ == 13; }
  std::string RequestBytes() const;
  std::size_t ReadMore(std::size_t offset);
  void SetErrorText(std::string_view text);
  void AppendErrorText(std::string_view text);

  char request_[kRequestCapacity] = {};
  std::size_t requestLength_ = 0;
  char errorText_[256] = {};
  QuoteResultList results_;
  QuoteProgress* progress_ = nullptr;
  int resultCode_ = QR_OK;
  std::uint32_t timeout_ = kDefaultTimeout;
  std::uint32_t source_ = 0;
  std::uint32_t useProxy_ = 0;
  char proxyHost_[128] = {};
  std::uint32_t proxyPort_ = kDefaultProxyPort;
  std::uint32_t proxyAuthentication_ = 0;
  char proxyUser_[20] = {};
  char proxyPassword_[20] = {};
  std::uint32_t port_ = 0;
  char host_[48] = {};
  std::uint32_t lineStart_ = 0;
  std::uint32_t bytesReceived_ = 0;
  std::uint32_t contentLength_ = 0;
  std::uint32_t bodyOffset_ = 0;
  std::uint32_t bufferCount_ = 0;
  std::uint32_t inBody_ = 0;
  std::unique_ptr<char[]> lineBuffer_;
  std::array<std::uint8_t, kQuoteSourceCount> neededSources_ = {};
  std::function<void()> pumpHook_;

  ClientVariant variant_;
  SocketFactory& sockets_;
  MonotonicClock& ticks_;
  Clock& clock_;
  CancelToken& cancel_;
  std::optional<QuoteEndpoint> server_;
  std::array<QuoteParser, kQuoteSourceCount> parsers_;
  StreamSocket* socket_ = nullptr;  // the connection of the running Execute
  std::size_t lastRead_ = 0;        // bytes the last read delivered
  bool readFailed_ = false;         // the connection broke (not a cancel) while reading
  bool peerClosed_ = false;         // the server closed the connection (a read gave no byte)
  bool lineTerminated_ = false;

  // Watches the raw bytes of an answer for the end of its header and the length it announces,
  // whichever way the parser reads the header: a body that ends before the announced length
  // was cut short, however complete its lines look.
  struct AnswerFrame {
    std::string head;  // the header bytes seen so far (bounded)
    bool headDone = false;
    std::optional<std::uint64_t> announced;
    std::uint64_t bodyBytes = 0;
    void Feed(std::string_view bytes);
  };
  AnswerFrame frame_;
};

// Base64 with the standard alphabet and '=' padding (proxy credentials).
std::string Base64Encode(std::string_view data);

}  // namespace quillet
