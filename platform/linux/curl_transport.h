// HttpTransport over libcurl: TLS with peer and host verification always on, the system's
// certificate store unless a CA file is given, http and https only (redirects too, at most 5),
// the proxy with Basic authentication, the whole request bounded by its time-out and stopped by
// its Cancel within a progress callback's slice.
#pragma once

#include "platform/http_transport.h"

namespace quillet {

class CurlTransport final : public HttpTransport {
 public:
  HttpAnswer Get(const HttpRequest& request) override;
};

}  // namespace quillet
