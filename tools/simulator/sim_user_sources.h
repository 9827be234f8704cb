// Answers for quote sources a user defines, under paths of their own (no built-in source uses
// them), in the two forms such services take today:
//   /user/csv?s=A,B        header line, then symbol,last,change,date,time,low,high,volume,prev
//   /user/json?symbols=A,B {"quoteResponse":{"result":[{"symbol":..,"regularMarketPrice":..}]}}
//   /user/csv/history?s=A&from=YYYY-MM-DD&to=YYYY-MM-DD   Date,Open,High,Low,Close,Volume
//   /user/json/history?symbol=A&from=UNIX&to=UNIX         {"prices":[{"date":..,"close":..}]}
//   /user/redirect?to=PATH                                302 to PATH
// Any of them with chunked=1 comes in HTTP/1.1 chunks; with pence=1 prices are in hundredths.
#pragma once

#include <string_view>

#include "tools/simulator/sim_handlers.h"

namespace quillet::sim {

bool IsUserSourcePath(std::string_view path);
SimAnswer UserSourceAnswer(const SimRequest& request, const PriceBook& prices);

// %XX sequences decoded ('+' stays '+').
std::string PercentDecoded(std::string_view text);

}  // namespace quillet::sim
