// Where quote requests really go. The source table names each source's host; the program's
// quote server setting (QUILLET_QUOTE_SERVER=host:port, see platform/environment.h) sends every
// connection to one server instead (the quote service simulator), while the requests keep the
// source's own Host header and paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

struct QuoteEndpoint {
  std::string host;
  std::uint16_t port = 80;
};

// "host:port" (port 1..65535; "[::1]:port" style brackets are accepted around the host).
// nullopt for anything else, such as an empty setting.
std::optional<QuoteEndpoint> ParseQuoteEndpoint(std::string_view text);

}  // namespace quillet
