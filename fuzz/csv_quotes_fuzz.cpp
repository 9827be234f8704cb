// Feeds arbitrary bytes to the CSV quote parser the way a server would: as the answer to a
// request, read through the client's line reader. The first byte picks the source (their rules
// differ), the size of the reads and whether a valid status line comes first.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/scripted_answer.h"
#include "platform/socket.h"
#include "quotes/csv_quotes.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int kCsvSources[] = {0, 1, 4, 7, 9, 11, 13};
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  ++data;
  --size;

  quillet::ScriptedSockets sockets;
  static constexpr std::size_t kChunks[] = {1, 7, 512, 1 << 16};
  quillet::fuzzing::ScriptAnswer(sockets, data, size, control & 0x80, kChunks[(control >> 3) & 3],
                                 control & 0x20);

  quillet::testing::ClientKit kit;
  quillet::CQuoteClient client(quillet::ClientVariant::kDevice, kit.Services(sockets));
  const int source = kCsvSources[(control & 7) % 7];
  client.SetParser(source, quillet::ParseCsvQuotes);
  client.BeginRequest(source);
  client.AppendRequest("IBM");
  client.EndRequest();
  const int code = client.Execute();
  if (code < quillet::QR_OK || code > quillet::QR_TIMEOUT) __builtin_trap();
  if (client.results().size() > quillet::kMaxQuoteResults) __builtin_trap();
  return 0;
}
