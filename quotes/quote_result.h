// One parsed quote as every parser leaves it: all values are the server's text, cut to the fixed
// widths of the stock record they are later copied into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quillet {

struct QuoteResult {
  char szSymbol[20];  // as the source returns it; matched against QuoteSymbol without case
  char szLast[12];
  char szDate[20];  // as the source writes it
  char szTime[20];
  char szChange[12];
  char szLow[12];
  char szHigh[12];
  char szVolume[12];
  char szPrevClose[12];
  char szBid[12];
  char szAsk[12];
  char szYearLow[12];
  char szYearHigh[12];
  std::int16_t sConverted;  // set by the update run once the values were divided by 100
};

// The results of one request, in the order of the answer.
using QuoteResultList = std::vector<std::unique_ptr<QuoteResult>>;

// A request never asks for more than 150 symbols; an answer with far more quote lines than this
// is not an answer to it, and is refused rather than allowed to fill memory.
inline constexpr std::size_t kMaxQuoteResults = 2000;

// The first result whose symbol equals `symbol` without regard to ASCII case, or null.
const QuoteResult* FindResult(const QuoteResultList& results, std::string_view symbol);
QuoteResult* FindResult(QuoteResultList& results, std::string_view symbol);

}  // namespace quillet
