// What the quote fuzz targets share: fuzz bytes become a server's answer, served by the
// in-memory sockets in reads of a chosen size, so they pass through the client's own line
// reader exactly as an answer from the network would.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/socket.h"

namespace quillet::fuzzing {

// `withStatus` puts a valid status line before the bytes (otherwise the bytes must supply
// one); `brokenAtEnd` makes the connection fail once the bytes are read.
inline void ScriptAnswer(ScriptedSockets& sockets, const std::uint8_t* data, std::size_t size,
                         bool withStatus, std::size_t chunk, bool brokenAtEnd = false) {
  if (withStatus) sockets.answer = "HTTP/1.0 200 OK\r\n";
  sockets.answer.append(reinterpret_cast<const char*>(data), size);
  sockets.chunk = chunk;
  if (brokenAtEnd) sockets.receiveError = WSAECONNRESET;
}

}  // namespace quillet::fuzzing
