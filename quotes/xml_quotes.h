// The parser of the Swiss XML quote service (source 14): a <QUOTE_LIST> of <QUOTE_ELEMENT>s, one
// tag per line with CR as the line end, and a <NOT_FOUND> list of the symbols it does not know.
#pragma once

namespace quillet {

class CQuoteClient;

// Appends one result per element, and one holding only the symbol for each symbol of the
// not-found list (its empty last marks the stock as not priced). False with result code
// QR_ERROR when the headers could not be read, the result list is full, or the answer ends
// inside an element (whose result is then dropped); true otherwise.
bool ParseXmlQuotes(CQuoteClient& client);

}  // namespace quillet
