#include "quotes/quote_client.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "quotes/quote_parsers.h"

namespace quillet {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kAccept[] =
    "Accept: image/gif, image/x-bitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    "application/vnd.ms-excel, application/msword, application/x-comet, */*";

bool ContainsNoCase(std::string_view line, std::string_view needle, std::size_t* at) {
  std::size_t found = FindNoCase(line, needle);
  if (found == std::string_view::npos) return false;
  *at = found;
  return true;
}

// A decimal number that saturates instead of wrapping.
std::uint32_t ReadDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(text[i] - '0'),
                                    0xFFFFFFFFu);
  }
  return static_cast<std::uint32_t>(value);
}

// Where the header of an answer ends: just after its first empty line (lines may end in CR LF or
// LF alone); npos while it has not come yet.
std::size_t HeadEnd(std::string_view bytes) {
  std::size_t crlf = bytes.find("\n\r\n");
  std::size_t lf = bytes.find("\n\n");
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) {
    return crlf + 3;
  }
  return lf == std::string_view::npos ? lf : lf + 2;
}

// A header larger than this is no answer of a quote server; its length is not looked for.
constexpr std::size_t kMaxHeadBytes = 16384;

}  // namespace

void CQuoteClient::AnswerFrame::Feed(std::string_view bytes) {
  if (headDone) {
    bodyBytes += bytes.size();
    return;
  }
  const std::size_t searchFrom = head.size() >= 2 ? head.size() - 2 : 0;
  head.append(bytes);
  std::size_t end = HeadEnd(std::string_view(head).substr(searchFrom));
  if (end == std::string_view::npos) {
    if (head.size() > kMaxHeadBytes) {
      headDone = true;  // nothing can be said about this answer's length
      head.clear();
    }
    return;
  }
  end += searchFrom;
  headDone = true;
  bodyBytes = head.size() - end;
  // The same reading of Content-Length as ReadHeaders makes.
  std::string_view lines = std::string_view(head).substr(0, end);
  while (!lines.empty()) {
    std::size_t eol = lines.find('\n');
    std::string_view line = lines.substr(0, eol);
    lines = eol == std::string_view::npos ? std::string_view() : lines.substr(eol + 1);
    std::size_t at = 0;
    if (ContainsNoCase(line, "content-length: ", &at))
      announced = ReadDecimal(line.substr(at + 16));
  }
  head.clear();
  head.shrink_to_fit();
}

std::string Base64Encode(std::string_view data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    std::uint32_t v = (static_cast<unsigned char>(data[i]) << 16) |
                      (static_cast<unsigned char>(data[i + 1]) << 8) |
                      static_cast<unsigned char>(data[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  std::size_t rest = data.size() - i;
  if (rest > 0) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(data[i]) << 16);
    if (rest == 2) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

QuoteClientServices ClientServicesOf(PlatformContext& ctx, CancelToken& cancel) {
  return {ctx.sockets(), ctx.ticks(), ctx.clock(), cancel,
          ParseQuoteEndpoint(ctx.settings().quoteServer)};
}

bool CQuoteSocket::OnMessagePending() {
  if (progress != nullptr) progress->PumpMessages();
  if (pumpHook != nullptr && *pumpHook) (*pumpHook)();
  if (cancel_.g_cancelUpdate != 0) {
    status = kCancelled;
  } else if (ticks_.NowMs() / 1000 - startSeconds > timeoutSeconds) {
    status = kTimedOut;
    cancel_.g_cancelUpdate = 1;
  } else {
    return true;
  }
  return false;  // ends the blocking call
}

CQuoteClient::CQuoteClient(ClientVariant variant, const QuoteClientServices& services)
    : lineBuffer_(std::make_unique<char[]>(kLineBufferSize)),
      variant_(variant),
      sockets_(services.sockets),
      ticks_(services.ticks),
      clock_(services.clock),
      cancel_(services.cancel),
      server_(services.server) {
  const auto& table = QuoteParserTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i] != nullptr) parsers_[i] = table[i];
  }
}

CQuoteClient::~CQuoteClient() = default;

void CQuoteClient::SetProxy(bool useProxy, std::string_view host, std::uint32_t port,
                            bool useAuthentication, std::string_view user,
                            std::string_view password) {
  useProxy_ = useProxy ? 1 : 0;
  CopyToField(proxyHost_, host);
  proxyPort_ = port;
  if (useAuthentication && !user.empty() && !password.empty()) {
    CopyToField(proxyUser_, user);
    CopyToField(proxyPassword_, password);
    proxyAuthentication_ = 1;
  } else {
    proxyAuthentication_ = 0;
  }
}

void CQuoteClient::BeginRequest(int source) {
  const QuoteSource* entry = GetQuoteSource(source);
  BeginRequestWithPath(source, entry != nullptr ? entry->szPathPrefix : "");
}

void CQuoteClient::BeginRequestWithPath(int source, std::string_view path) {
  source_ = static_cast<std::uint32_t>(source);
  const QuoteSource* entry = GetQuoteSource(source);
  CopyToField(host_, entry != nullptr ? std::string_view(entry->szHost) : std::string_view());
  port_ = entry != nullptr ? entry->wPort : 0;
  requestLength_ = 0;
  request_[0] = '\0';
  AppendRequest("GET ");
  if (useProxy_ != 0) {
    char absolute[96];
    std::snprintf(absolute, sizeof absolute, "http://%s:%u", host_, static_cast<unsigned>(port_));
    AppendRequest(absolute);
  }
  AppendRequest(path);
}

bool CQuoteClient::AppendRequest(std::string_view text) {
  if (requestLength_ + text.size() >= kRequestCapacity) return false;
  std::memcpy(request_ + requestLength_, text.data(), text.size());
  requestLength_ += text.size();
  request_[requestLength_] = '\0';
  return true;
}

void CQuoteClient::EndRequest() {
  if (const QuoteSource* entry = GetQuoteSource(static_cast<int>(source_))) {
    AppendRequest(entry->szQuerySuffix);
  }
  AppendRequest(" HTTP/1.0");
}

void CQuoteClient::SetParser(int source, QuoteParser parser) {
  if (source < 0 || source >= kQuoteSourceCount) return;
  parsers_[static_cast<std::size_t>(source)] = std::move(parser);
}

QuoteResult* CQuoteClient::AddResult() {
  if (results_.size() >= kMaxQuoteResults) return nullptr;
  results_.push_back(std::make_unique<QuoteResult>());  // value-initialised: all zero
  return results_.back().get();
}

void CQuoteClient::SetErrorText(std::string_view text) { CopyToField(errorText_, text); }

void CQuoteClient::AppendErrorText(std::string_view text) {
  std::string joined(FieldText(errorText_));
  joined += text;
  CopyToField(errorText_, joined);
}

std::string CQuoteClient::RequestBytes() const {
  std::string out(request());
  out += kCrLf;
  out += "Host: ";
  out += host_;
  out += kCrLf;
  out += kAccept;
  out += kCrLf;
  out += "Cache-Control: no-cache";
  out += kCrLf;
  out += "Connection: Keep-Alive";
  out += kCrLf;
  out += "User-Agent: Mozilla/4.76 [en] (";
  out += variant_ == ClientVariant::kDesktop ? "WinNT" : "PocketPC";
  out += "; U)";
  out += kCrLf;
  // Proxy credentials are for the proxy only: a direct request never carries them to a quote
  // server.
  if (variant_ == ClientVariant::kDesktop && proxyAuthentication_ != 0 && useProxy_ != 0) {
    std::string credentials(FieldText(proxyUser_));
    credentials += ':';
    credentials += FieldText(proxyPassword_);
    out += "Proxy-Authorization: Basic ";
    out += Base64Encode(credentials);
    out += kCrLf;
  }
  out += kCrLf;
  return out;
}

int CQuoteClient::Execute() {
  CQuoteSocket waiter(ticks_, cancel_);
  waiter.timeoutSeconds = timeout_;
  waiter.startSeconds = ticks_.NowMs() / 1000;
  waiter.progress = progress_;
  waiter.pumpHook = &pumpHook_;

  resultCode_ = QR_OK;
  errorText_[0] = '\0';
  lineStart_ = bytesReceived_ = contentLength_ = bodyOffset_ = bufferCount_ = inBody_ = 0;
  lineBuffer_[0] = '\0';
  lastRead_ = 0;
  readFailed_ = false;
  peerClosed_ = false;
  lineTerminated_ = false;
  frame_ = AnswerFrame{};
  // Whatever this request ends with, the list is as it was before it unless the request
  // succeeded: a retry must not find a failed attempt's quotes first, and a cut answer's
  // quotes (a price cut after its first digit) must never reach a stock.
  const std::size_t resultsBefore = results_.size();
  if (progress_ != nullptr) progress_->ShowStatus(strings::IDS_CONNECTING_SERVER);
  cancel_.g_cancelUpdate = 0;

  LONG error = 0;
  std::unique_ptr<StreamSocket> connection = sockets_.Create(&waiter, &error);
  if (connection == nullptr) {
    SetErrorText(kErrorCannotOpenSocket);
    resultCode_ = QR_ERROR;
  } else {
    std::string targetHost = host_;
    std::uint16_t targetPort = static_cast<std::uint16_t>(port_);
    if (server_) {
      targetHost = server_->host;
      targetPort = server_->port;
    } else if (useProxy_ != 0) {
      targetHost = proxyHost_;
      // A port that does not fit TCP's 16 bits is no port, not the port it wraps to.
      targetPort = proxyPort_ <= 0xFFFF ? static_cast<std::uint16_t>(proxyPort_) : 0;
    }
    if (GetQuoteSource(static_cast<int>(source_)) == nullptr || targetHost.empty() ||
        targetPort == 0 || connection->Connect(targetHost, targetPort) != 0) {
      SetErrorText(kErrorCannotConnect);
      resultCode_ = QR_ERROR;
    } else if (connection->Send(RequestBytes()) != 0) {
      AppendErrorText(kErrorSocketFailure);
      resultCode_ = QR_ERROR;
    } else {
      if (progress_ != nullptr) {
        progress_->ShowStatus(source_ == kSourceHistory ? strings::IDS_RETRIEVING_CHART
                                                        : strings::IDS_RETRIEVING_STOCKS);
      }
      socket_ = connection.get();
      if (!ReadLine(0)) {
        SetErrorText(kErrorNoResponse);
        resultCode_ = QR_ERROR;
      } else {
        std::string_view status = LineText();
        std::string_view code;
        if (std::size_t first = status.find(' '); first != std::string_view::npos) {
          code = status.substr(first + 1);
          code = code.substr(0, code.find(' '));
        }
        if (code != "200") {
          std::string text(kErrorHttpPrefix);
          text += status;
          SetErrorText(text);
          resultCode_ = QR_ERROR;
        } else if (const QuoteParser& parser = parsers_[source_]; parser) {
          parser(*this);
        }
      }
      socket_ = nullptr;
    }
    connection->Close();
  }

  // An answer that ended before the length its header announced was cut short: the server
  // closed or the connection broke mid-body. A connection that broke mid-answer is a failed
  // request too, not a short answer, except for sources 11 and 13, whose servers keep the
  // connection open and may drop it abruptly once the body is complete.
  const bool cutShort = frame_.headDone && frame_.announced &&
                        frame_.bodyBytes < *frame_.announced && (peerClosed_ || readFailed_);
  if (cutShort || (readFailed_ && !KeepsConnectionOpen())) {
    AppendErrorText(kErrorSocketFailure);
    resultCode_ = QR_ERROR;
  }

  bool cancelled = cancel_.g_cancelUpdate != 0;
  if (cancelled || resultCode_ != QR_ERROR) {
    int status = waiter.status;
    if (status == CQuoteSocket::kRunning && cancelled) status = QR_CANCELLED;
    if (!KeepsConnectionOpen()) {
      resultCode_ = status;
    } else if (status != CQuoteSocket::kRunning && resultCode_ == QR_OK) {
      // Even for these sources a request cut short by a time-out or cancel is no success.
      resultCode_ = status;
    }
  }
  if (resultCode_ != QR_OK && results_.size() > resultsBefore) {
    results_.erase(results_.begin() + static_cast<std::ptrdiff_t>(resultsBefore), results_.end());
  }
  return resultCode_;
}

std::size_t CQuoteClient::ReadMore(std::size_t offset) {
  char* buffer = lineBuffer_.get();
  std::size_t room = kLineBufferSize - 1 - offset;
  if (KeepsConnectionOpen() && inBody_ != 0) {
    // These servers keep the connection open after the body, so never ask for more than the
    // body's remaining bytes: a read past them would only wait for the time-out.
    std::uint64_t consumed = static_cast<std::uint64_t>(bodyOffset_) + offset;
    std::uint64_t left = contentLength_ > consumed ? contentLength_ - consumed : 0;
    room = static_cast<std::size_t>(std::min<std::uint64_t>(room, left));
  }
  std::size_t got = 0;
  if (room > 0 && socket_ != nullptr) {
    LONG error = socket_->Receive(buffer + offset, room, &got);
    if (error != 0) {
      got = 0;
      if (error != WSAEINTR) readFailed_ = true;
    } else if (got == 0) {
      peerClosed_ = true;
    }
    frame_.Feed(std::string_view(buffer + offset, got));
  }
  buffer[offset + got] = '\0';
  bytesReceived_ += static_cast<std::uint32_t>(got);
  bufferCount_ = static_cast<std::uint32_t>(offset + got);
  lastRead_ = got;
  return got;
}

bool CQuoteClient::ReadLine(char delimiter) {
  if (delimiter == 0) delimiter = '\n';
  if (cancel_.g_cancelUpdate != 0) return false;
  if (KeepsConnectionOpen() && inBody_ != 0 && bodyOffset_ >= contentLength_) return false;

  char* buffer = lineBuffer_.get();
  if (lineStart_ > 0) {
    std::size_t rest = bufferCount_ - lineStart_;
    std::memmove(buffer, buffer + lineStart_, rest);
    buffer[rest] = '\0';
    bufferCount_ = static_cast<std::uint32_t>(rest);
    lineStart_ = 0;
  } else {
    std::size_t got = ReadMore(0);
    if ((got == 0 && bufferCount_ == 0) || buffer[0] == '\0') return false;
  }

  // Search byte counts rather than strings, so a stray NUL in the answer cannot make the reader
  // lose track of the bytes it holds.
  char* found = static_cast<char*>(std::memchr(buffer, delimiter, bufferCount_));
  while (found == nullptr && lastRead_ > 0) {
    std::size_t before = bufferCount_;
    std::size_t got = ReadMore(before);
    if (got == 0 && bufferCount_ == 0) return false;
    found = static_cast<char*>(std::memchr(buffer + before, delimiter, got));
  }
  if (found == nullptr) {
    // The data ended (or the buffer is full): what is there is the line.
    bodyOffset_ += bufferCount_;
    lineTerminated_ = false;
    return true;
  }
  lineTerminated_ = true;
  std::size_t at = static_cast<std::size_t>(found - buffer);
  buffer[at] = '\0';
  if (at > 0 && buffer[at - 1] == '\r') buffer[at - 1] = '\0';
  lineStart_ = static_cast<std::uint32_t>(at + 1);
  bodyOffset_ += lineStart_;
  return true;
}

bool CQuoteClient::ReadHeaders() {
  bool more = ReadLine(0);
  while (more && LineText()[0] != '\0') {
    std::size_t at = 0;
    std::string_view line = LineText();
    if (ContainsNoCase(line, "content-length: ", &at)) {
      contentLength_ = ReadDecimal(line.substr(at + 16));
    }
    more = ReadLine(0);
  }
  if (!more) {
    resultCode_ = QR_ERROR;
    return false;
  }
  bodyOffset_ = 0;
  inBody_ = 1;
  return true;
}

bool CQuoteClient::ReadUntil(const char* marker, char delimiter) {
  while (ReadLine(delimiter)) {
    if (marker == nullptr || std::strstr(Line(), marker) != nullptr) return true;
  }
  return false;
}

const QuoteResult* FindResult(const QuoteResultList& results, std::string_view symbol) {
  for (const auto& result : results) {
    std::string_view text = FieldText(result->szSymbol);
    if (EqualNoCase(text, symbol)) return result.get();
  }
  return nullptr;
}

QuoteResult* FindResult(QuoteResultList& results, std::string_view symbol) {
  return const_cast<QuoteResult*>(FindResult(std::as_const(results), symbol));
}

}  // namespace quillet
