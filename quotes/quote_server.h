// Where quote requests really go. The source table names each source's host; the setting
// QUILLET_QUOTE_SERVER=host:port sends every connection to one server instead (the quote service
// simulator), while the requests keep the source's own Host header and paths.
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

inline constexpr char kQuoteServerVariable[] = "QUILLET_QUOTE_SERVER";

// "host:port" (port 1..65535; "[::1]:port" style brackets are accepted around the host).
// nullopt for anything else.
std::optional<QuoteEndpoint> ParseQuoteEndpoint(std::string_view text);
// The endpoint of QUILLET_QUOTE_SERVER, or nullopt when it is unset, empty or malformed.
std::optional<QuoteEndpoint> QuoteServerFromEnvironment();

}  // namespace quillet
