#include "platform/linux/curl_transport.h"

#include <curl/curl.h>

#include <memory>
#include <string>

namespace quillet {
namespace {

struct Transfer {
  const HttpRequest* request;
  std::string body;
  bool tooLarge = false;
  bool cancelled = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (t->body.size() + bytes > t->request->maxBodyBytes) {
    t->tooLarge = true;
    return 0;  // stops the transfer
  }
  t->body.append(data, bytes);
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->request->keepGoing && !t->request->keepGoing()) {
    t->cancelled = true;
    return 1;  // aborts with CURLE_ABORTED_BY_CALLBACK
  }
  return 0;
}

struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

HttpAnswer CurlTransport::Get(const HttpRequest& request) {
  HttpAnswer answer;
  std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
  if (!curl) {
    answer.failure = "cannot start an HTTP request";
    return answer;
  }
  CURL* c = curl.get();
  Transfer transfer{&request, {}, false, false};
  char errorBuffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!request.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, request.caFile.c_str());
  curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(request.timeoutSeconds));
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Quillet");
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
  // Without a proxy of ours, no proxy at all: the environment's is not the user's setting.
  const std::string proxy =
      request.useProxy ? request.proxyHost + ":" + std::to_string(request.proxyPort) : "";
  curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
  if (request.useProxy && !request.proxyUser.empty() && !request.proxyPassword.empty()) {
    curl_easy_setopt(c, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
    curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
  }
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const std::string& h : request.headers) {
    curl_slist* next = curl_slist_append(headers.get(), h.c_str());
    if (next == nullptr) {
      answer.failure = "cannot build the request headers";
      return answer;
    }
    (void)headers.release();
    headers.reset(next);
  }
  if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

  const CURLcode rc = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  answer.status = status;
  char* effective = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    answer.finalUrl = effective;
  }
  if (rc == CURLE_OK) {
    answer.outcome = HttpAnswer::Outcome::kOk;
    answer.body = std::move(transfer.body);
    return answer;
  }
  if (transfer.cancelled) {
    answer.outcome = HttpAnswer::Outcome::kCancelled;
    answer.failure = "cancelled";
  } else if (rc == CURLE_OPERATION_TIMEDOUT) {
    answer.outcome = HttpAnswer::Outcome::kTimedOut;
    answer.failure = "timed out after " + std::to_string(request.timeoutSeconds) + " seconds";
  } else if (transfer.tooLarge) {
    answer.failure = "the answer is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
  } else {
    std::string detail = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(rc);
    answer.failure = std::string(curl_easy_strerror(rc)) + ": " + detail;
    if (detail == curl_easy_strerror(rc)) answer.failure = detail;
  }
  return answer;
}

}  // namespace quillet
