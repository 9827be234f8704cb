// The parser of the CSV quote service and of the handheld services that answer in its manner
// (sources 0, 1, 4, 7, 9, 11, 13): one comma-separated line per symbol.
#pragma once

namespace quillet {

class CQuoteClient;

// Reads the headers and every body line of the client's answer, appending one result per quote
// line. False when the headers could not be read, a line's first field is "error", or the
// result list is full (each with result code QR_ERROR); true otherwise.
bool ParseCsvQuotes(CQuoteClient& client);

}  // namespace quillet
