#include "quotes/quote_server.h"

namespace quillet {

std::optional<QuoteEndpoint> ParseQuoteEndpoint(std::string_view text) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) {
    return std::nullopt;
  }
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (host.empty() || host.find_first_of(" \t/") != std::string_view::npos) return std::nullopt;
  unsigned long port = 0;
  for (char c : text.substr(colon + 1)) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned long>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  if (port == 0) return std::nullopt;
  return QuoteEndpoint{std::string(host), static_cast<std::uint16_t>(port)};
}

}  // namespace quillet
