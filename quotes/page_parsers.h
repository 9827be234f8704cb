// The parsers of the quote sources that answer with pages meant for people (and the one that
// answers with bar-separated lines). Each reads the rest of an answer through the client and
// appends its quotes; the update run matches them to stocks by symbol.
//
// Every page describes the one symbol that was asked for, so its result takes the symbol from
// the request rather than from the page. The parsers find fixed marker texts and cut the values
// out next to them; a page without its markers gives a result without values, not an error.
// Each returns false only when the header lines could not be read or the result list is full
// (both with result code QR_ERROR).
#pragma once

#include "platform/clock.h"

namespace quillet {

class CQuoteClient;

bool ParseAmsterdamPage(CQuoteClient& client);    // source 2
bool ParseZurichList(CQuoteClient& client);       // source 3, one line per symbol
bool ParseViennaPage(CQuoteClient& client);       // source 5
bool ParseGermanFundPage(CQuoteClient& client);   // source 6
bool ParseCanadaFundPage(CQuoteClient& client);   // source 8
bool ParseBrusselsPage(CQuoteClient& client);     // source 12
bool ParseNordicPage(CQuoteClient& client);       // source 15
bool ParseCyprusPage(CQuoteClient& client);       // source 16
bool ParseTokyoPage(CQuoteClient& client);        // source 17, "today" from the client's clock
bool ParseThaiPage(CQuoteClient& client);         // source 18
bool ParseQuickChartPage(CQuoteClient& client);   // source 19
bool ParseFrenchFundPage(CQuoteClient& client);   // sources 20 and 21
bool ParseCanadaTrustPage(CQuoteClient& client);  // source 23
bool ParseAustriaFundPage(CQuoteClient& client);  // source 24

// The Tokyo page shows the time instead of the date while the market is open; the date is then
// today's, taken from `clock`.
bool ParseTokyoPage(CQuoteClient& client, Clock& clock);

}  // namespace quillet
