// Which parser reads the answer of each quote source. Execute looks the source up here after a
// "200" status; a source without a parser has its answer left unread.
#pragma once

#include <array>

#include "core/quote_tables.h"

namespace quillet {

class CQuoteClient;
using QuoteParserFunction = bool (*)(CQuoteClient&);

// Indexed by source number. The CSV service and its look-alikes (0, 1, 4, 7, 9, 11, 13) share
// ParseCsvQuotes; the price-history host (10) and the placeholder (22) have none on the device.
const std::array<QuoteParserFunction, kQuoteSourceCount>& QuoteParserTable();

}  // namespace quillet
