// Feeds arbitrary bytes to the quote-page parsers as a server's answer, read through the client's
// line reader. The first byte picks the page source, the size of the reads and whether a valid
// status line comes first; the rest is the answer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/scripted_answer.h"
#include "platform/socket.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"

namespace {

// Every field of a result must end inside its width.
void CheckTerminated(const quillet::QuoteResult& r) {
  const char* fields[] = {r.szSymbol,  r.szLast,     r.szDate,     r.szTime, r.szChange,
                          r.szLow,     r.szHigh,     r.szVolume,   r.szBid,  r.szAsk,
                          r.szYearLow, r.szYearHigh, r.szPrevClose};
  const std::size_t sizes[] = {sizeof r.szSymbol,   sizeof r.szLast,    sizeof r.szDate,
                               sizeof r.szTime,     sizeof r.szChange,  sizeof r.szLow,
                               sizeof r.szHigh,     sizeof r.szVolume,  sizeof r.szBid,
                               sizeof r.szAsk,      sizeof r.szYearLow, sizeof r.szYearHigh,
                               sizeof r.szPrevClose};
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    if (std::memchr(fields[i], '\0', sizes[i]) == nullptr) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int kPageSources[] = {2, 3, 5, 6, 8, 12, 15, 16, 17, 18, 19, 20, 21, 23, 24};
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  ++data;
  --size;

  quillet::ScriptedSockets sockets;
  static constexpr std::size_t kChunks[] = {1, 9, 700, 1 << 16};
  quillet::fuzzing::ScriptAnswer(sockets, data, size, control & 0x80, kChunks[(control >> 5) & 3]);

  quillet::testing::ClientKit kit;
  quillet::CQuoteClient client(quillet::ClientVariant::kDevice, kit.Services(sockets));
  const int source = kPageSources[(control & 0x1F) % std::size(kPageSources)];
  client.BeginRequest(source);
  client.AppendRequest("AB");  // short, so the parsers that look for the symbol can meet it
  client.EndRequest();
  const int code = client.Execute();
  if (code < quillet::QR_OK || code > quillet::QR_TIMEOUT) __builtin_trap();
  // A page describes the one symbol asked for; only the bar-separated list has more.
  if (source != 3 && client.results().size() > 1) __builtin_trap();
  if (client.results().size() > quillet::kMaxQuoteResults) __builtin_trap();
  for (const auto& result : client.results()) {
    CheckTerminated(*result);
    if (source != 3 && std::strcmp(result->szSymbol, "AB") != 0) __builtin_trap();
  }
  return 0;
}
