// Feeds arbitrary bytes to the XML quote-list parser as the service's answer, read through the
// client's line reader. The first byte picks the size of the reads and whether a valid status
// line comes first; the rest is the answer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/scripted_answer.h"
#include "platform/socket.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"
#include "quotes/xml_quotes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  ++data;
  --size;

  quillet::ScriptedSockets sockets;
  static constexpr std::size_t kChunks[] = {1, 5, 300, 1 << 16};
  quillet::fuzzing::ScriptAnswer(sockets, data, size, control & 0x80, kChunks[control & 3],
                                 control & 0x40);

  quillet::testing::ClientKit kit;
  quillet::CQuoteClient client(quillet::ClientVariant::kDevice, kit.Services(sockets));
  client.SetParser(14, quillet::ParseXmlQuotes);
  client.BeginRequest(14);
  client.AppendRequest("NESN,UBSN");
  client.EndRequest();
  const int code = client.Execute();
  if (code < quillet::QR_OK || code > quillet::QR_TIMEOUT) __builtin_trap();
  if (client.results().size() > quillet::kMaxQuoteResults) __builtin_trap();
  for (const auto& r : client.results()) {
    if (std::memchr(r->szSymbol, '\0', sizeof r->szSymbol) == nullptr) __builtin_trap();
    if (std::memchr(r->szLast, '\0', sizeof r->szLast) == nullptr) __builtin_trap();
    if (std::memchr(r->szDate, '\0', sizeof r->szDate) == nullptr) __builtin_trap();
    if (std::memchr(r->szAsk, '\0', sizeof r->szAsk) == nullptr) __builtin_trap();
  }
  return 0;
}
