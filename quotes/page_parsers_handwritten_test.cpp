// Quote pages written by hand in the manner of the sites the parsers were made for: indentation
// with tabs and blanks, attributes on every tag, closing tags after values, and marker words that
// also stand in a navigation bar or a table heading before the real row. Every page goes through
// the real client on in-memory sockets and every field of the result is checked against values
// worked out by hand from the page.
//
// Each page is also delivered the other ways a server could send the same page, and must give
// the same quote each time:
// - with LF, CR LF or CR alone ending its lines. A browser shows a page with CR line ends like
//   any other, so the parsers read it like any other; read as one long line, cut into the
//   client's buffer-sized pieces, it would give values cut out of arbitrary places. The same goes
//   for the XML list, which the service ends with CR LF, when it comes with LF alone;
// - in reads of one byte, and with a marker cut across the client's first two reads;
// - with lines longer than the client's buffer, which the client hands out in pieces: a piece is
//   not a line, and counting it as one would move "the n-th line after the marker".
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/page_parsers.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"
#include "quotes/xml_quotes.h"

namespace quillet {
namespace {

using Fields = std::map<std::string, std::string>;

// The client reads at most this many bytes at a time (its line buffer less the terminator).
constexpr std::size_t kReadSize = CQuoteClient::kLineBufferSize - 1;
constexpr std::size_t kWholeAnswer = 1 << 16;

const std::string kHeaders =
    "HTTP/1.0 200 OK\r\n"
    "Date: Fri, 02 May 2003 15:36:40 GMT\r\n"
    "Server: Apache/1.3.27 (Unix)\r\n"
    "Connection: close\r\n"
    "Content-Type: text/html\r\n"
    "\r\n";

void ExpectFields(const QuoteResult& r, const Fields& expected) {
  const Fields actual = {{"symbol", r.szSymbol}, {"last", r.szLast},     {"date", r.szDate},
                         {"time", r.szTime},     {"change", r.szChange}, {"low", r.szLow},
                         {"high", r.szHigh},     {"volume", r.szVolume}, {"prev", r.szPrevClose},
                         {"bid", r.szBid},       {"ask", r.szAsk},       {"ylow", r.szYearLow},
                         {"yhigh", r.szYearHigh}};
  for (const auto& [name, value] : expected) {
    EXPECT_TRUE(actual.contains(name)) << "no field " << name;
  }
  for (const auto& [name, value] : actual) {
    auto it = expected.find(name);
    EXPECT_EQ(value, it == expected.end() ? "" : it->second) << "field " << name;
  }
}

enum class Ends { kCrLf, kLf, kCr };

const char* NameOf(Ends ends) {
  switch (ends) {
    case Ends::kCrLf:
      return "CR LF";
    case Ends::kLf:
      return "LF";
    case Ends::kCr:
      return "CR";
  }
  return "";
}

// The pages below are written with '\n'; this is the page as a server with other line ends
// sends it.
std::string WithEnds(std::string_view page, Ends ends) {
  std::string out;
  for (char c : page) {
    if (c != '\n') {
      out += c;
    } else if (ends == Ends::kCrLf) {
      out += "\r\n";
    } else {
      out += ends == Ends::kCr ? '\r' : '\n';
    }
  }
  return out;
}

// The page with `blanks` blanks of indentation where it says "{pad}".
std::string Padded(std::string_view page, std::size_t blanks) {
  std::string out(page);
  std::size_t at = out.find("{pad}");
  if (at != std::string::npos) out.replace(at, 5, std::string(blanks, ' '));
  return out;
}

// A copy of `page` with each `from` replaced by `to` (each must be there).
std::string Edited(std::string_view page,
                   std::initializer_list<std::pair<std::string, std::string>> edits) {
  std::string out(page);
  for (const auto& [from, to] : edits) {
    std::size_t at = out.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    for (; at != std::string::npos; at = out.find(from, at + to.size())) {
      out.replace(at, from.size(), to);
    }
  }
  return out;
}

// The page as it is sent with CR LF line ends.
std::string Plain(std::string_view page) { return WithEnds(Padded(page, 0), Ends::kCrLf); }

// The answer of `source` to a request for `symbol`, read through the client in reads of at most
// `chunk` bytes.
struct Answer : testing::ScriptedAnswer {
  Answer(int source, std::string_view symbol, const std::string& body,
         std::size_t chunk = kWholeAnswer, Clock* clock = nullptr)
      : ScriptedAnswer(source, symbol, kHeaders + body, chunk, [clock](CQuoteClient& c) {
          if (clock != nullptr) {
            c.SetParser(17, [clock](CQuoteClient& cc) { return ParseTokyoPage(cc, *clock); });
          }
        }) {}
};

// The page with so much indentation at "{pad}" that `marker`, where it stands in the first
// `locator` after that place, begins in the client's first read of the answer and ends in the
// second.
std::string Straddling(std::string_view page, Ends ends, std::string_view locator,
                       std::string_view marker) {
  const std::string bare = WithEnds(Padded(page, 0), ends);
  const std::size_t padAt = WithEnds(page.substr(0, page.find("{pad}")), ends).size();
  const std::size_t found = bare.find(locator, padAt);
  const std::size_t inLocator = locator.find(marker);
  if (found == std::string::npos || inLocator == std::string_view::npos) {
    ADD_FAILURE() << "no " << locator << " in the page";
    return bare;
  }
  if (marker.size() < 2) {
    ADD_FAILURE() << "a marker of one character cannot be cut in two";
    return bare;
  }
  const std::size_t markerAt = kHeaders.size() + found + inLocator;
  const std::size_t target = kReadSize - marker.size() / 2;
  if (markerAt > target) {
    ADD_FAILURE() << marker << " stands too far into the page to be moved to the read boundary";
    return bare;
  }
  std::string body = WithEnds(Padded(page, target - markerAt), ends);
  const std::string stream = kHeaders + body;
  EXPECT_EQ(stream.substr(target, marker.size()), marker);
  return body;
}

// The page with every line made longer than the client's buffer, as pages that write a whole
// table on one line have them. Trailing blanks do it here, so the values stay where they were.
std::string WithLongLines(std::string_view page) {
  std::string out;
  for (char c : page) {
    if (c == '\n') out += std::string(kReadSize + 500, ' ');
    out += c;
  }
  return out;
}

// One way of delivering a page: its bytes and the size of the reads they come in.
struct Delivery {
  std::string name;
  std::string body;
  std::size_t chunk = kWholeAnswer;
};

// A page with each of the line ends servers use, read in one go and a byte at a time, with
// `marker` (where it stands within `locator`) cut across the client's first two reads, and with
// every line longer than the client's buffer.
std::vector<Delivery> DeliveriesOf(std::string_view page, std::string_view locator,
                                   std::string_view marker) {
  std::vector<Delivery> out;
  for (Ends ends : {Ends::kCrLf, Ends::kLf, Ends::kCr}) {
    const std::string name = NameOf(ends);
    const std::string plain = WithEnds(Padded(page, 0), ends);
    out.push_back({name, plain});
    out.push_back({name + ", reads of one byte", plain, 1});
    out.push_back({name + ", " + std::string(marker) + " across two reads",
                   Straddling(page, ends, locator, marker)});
    out.push_back({name + ", long lines", WithEnds(WithLongLines(Padded(page, 0)), ends)});
  }
  return out;
}

// Every delivery of the answer of `source` must give `expected`, one result each, in order.
void ExpectAnswer(int source, std::string_view symbols, std::string_view page,
                  const std::vector<Fields>& expected, std::string_view locator,
                  std::string_view marker) {
  for (const Delivery& d : DeliveriesOf(page, locator, marker)) {
    SCOPED_TRACE(d.name);
    Answer a(source, symbols, d.body, d.chunk);
    EXPECT_EQ(a.code, QR_OK) << a.client.errorText();
    ASSERT_EQ(a.count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      ExpectFields(a.at(i), expected[i]);
    }
  }
}

void ExpectPage(int source, std::string_view symbol, std::string_view page, const Fields& expected,
                std::string_view locator, std::string_view marker) {
  ExpectAnswer(source, symbol, page, {expected}, locator, marker);
}

// The Japanese portal's words in Shift-JIS: "trade price", "opening price" and the company name.
const std::string kTradePrice = "\x8E\xE6\x88\xF8\x92\x6C";
const std::string kOpeningPrice = "\x8E\x6E\x92\x6C";
const std::string kSony = "\x83\x5C\x83\x6A\x81\x5B";  // its second byte is a backslash

// ---------------------------------------------------------------------------------------------
// The pages, one per source, as the sites served them after the close of Friday 2 May 2003.

const char kAmsterdamPage[] = R"html(<html>
<head>
<title>Kursdetail</title>
<link rel="stylesheet" type="text/css" href="/css/detail.css">
</head>
<body bgcolor="#FFFFFF" topmargin="0" leftmargin="0">
<table width="100%" cellpadding="0" cellspacing="0">
	<tr>
		<td class="fNav"><a href="/html/maerkte.html">M&auml;rkte</a> | Handelszeit Amsterdam 9:00 - 17:30 Uhr</td>
	</tr>
</table>
{pad}<table width="100%" border="0" cellpadding="2">
	<tr>
		<td class="fHeadline" colspan="2">ABN AMRO HOLDING NV</td>
	</tr>
	<tr>
		<td class="fSmall" colspan="2">02.05.2003  17:36:12 Uhr</td>
	</tr>
	<tr>
		<td class="fText">Letzter Kurs</td>
		<td class="bgYellow" align="right"><b>26,99</b>&nbsp;EUR</td>
	</tr>
	<tr>
		<td class="fText">Ver&auml;nderung</td>
		<td align="right"><span id="chgPct" class="fGreen">+0,50&nbsp;%</span></td>
	</tr>
</table>
</body>
</html>
)html";

TEST(HandWrittenPages, Amsterdam) {
  // 26.99 * 0.50 / 100 = 0.13495, cut to 0.1349 and written with 2 decimals: 0.13 (rounding it
  // to 4 decimals first would give 0.1350 and 0.14).
  ExpectPage(2, "AABA.ASX", kAmsterdamPage,
             {{"symbol", "AABA.ASX"},
              {"date", "02.05.2003"},
              {"time", "17:36:12"},
              {"last", "26.99"},
              {"change", "0.13"}},
             "<td class=\"bgYellow\"", "bgYellow");
}

const char kZurichList[] =
    "ERROR: symbol XYZ unknown\n"
    "{pad} NESN | OK | 290.50 | 287.00 | 290.25 | 290.75 | 291.00 | 286.00 | 1234567 | 1735\n"
    "UBSN|ok|71.30|71.30||||||0905\n"
    "ROG|na|||||||\n"
    "CSGN|OK|30.10|30.45|30.05|30.15|30.60|29.95|2500000|1731\n";

TEST(HandWrittenPages, ZurichList) {
  // Blanks around the fields, an error line, a status "na" in small letters and empty fields.
  const std::vector<Fields> expected = {
      {{"symbol", "NESN"},
       {"last", "290.50"},
       {"prev", "287.00"},
       {"bid", "290.25"},
       {"ask", "290.75"},
       {"high", "291.00"},
       {"low", "286.00"},
       {"volume", "1234567"},
       {"time", "17:35"},
       {"change", "+3.50"}},
      // Unchanged: the change is 0 with its 2 decimals and no sign.
      {{"symbol", "UBSN"},
       {"last", "71.30"},
       {"prev", "71.30"},
       {"time", "09:05"},
       {"change", "0.00"}},
      {{"symbol", "ROG"}, {"last", "0"}},
      {{"symbol", "CSGN"},
       {"last", "30.10"},
       {"prev", "30.45"},
       {"bid", "30.05"},
       {"ask", "30.15"},
       {"high", "30.60"},
       {"low", "29.95"},
       {"volume", "2500000"},
       {"time", "17:31"},
       {"change", "-0.35"}},
  };
  ExpectAnswer(3, "NESN|UBSN|ROG|CSGN|XYZ", kZurichList, expected, "UBSN|ok|", "UBSN");
}

const char kViennaPage[] = R"html(<html>
<head>
<title>Wiener B&ouml;rse - Kursabfrage</title>
</head>
<body bgcolor="#FFFFFF">
<table width="600" cellspacing="0">
	<tr>
		<td class="cell33"><a href="/cgi-bin/invueber.pl?lang=1">Market overview</a></td>
		<td class="cell33"><a href="/cgi-bin/kurse.pl?lang=1">Quotes</a></td>
	</tr>
</table>
<p class="small">Letztes Update: 02-May-2003 17:36:02</p>
{pad}<table width="600" border="0" cellpadding="1">
	<tr>
		<td class="cell11" colspan="2"><a href="/cgi-bin/invueber.pl?lang=1&amp;isin=AT0000937503">VOEST-ALPINE AG</a></td>
	</tr>
	<tr>
		<td class="cell22">Last</td>
		<td class="cell33">
			31,45
		</td>
	</tr>
	<tr>
		<td class="cell22"><font color="#CC0000">Change</font></td>
		<td class="cell44"><font color="#CC0000">
			<b>
			-0,38
			</b></font>
		</td>
	</tr>
	<tr>
		<td class="cell22">Time</td>
		<td class="cell33">
			17:35:48
		</td>
	</tr>
	<tr>
		<td class="cell22">High</td>
		<td class="cell33">
			31,90
		</td>
	</tr>
	<tr>
		<td class="cell22">Low</td>
		<td class="cell33">
			31,20
		</td>
	</tr>
	<tr>
		<td class="cell22">Volume</td>
		<td class="cell33">
			1,234,567
		</td>
	</tr>
</table>
</body>
</html>
)html";

const Fields kViennaQuote = {{"symbol", "VOE"},   {"date", "02-May-2003"}, {"last", "31.45"},
                             {"change", "-0.38"}, {"time", "17:35"},       {"high", "31.90"},
                             {"low", "31.20"},    {"volume", "1234567"},   {"prev", "N/A"}};

TEST(HandWrittenPages, Vienna) {
  // The links and cells of the navigation bar carry the markers too, but stand before the update
  // line that starts the chain.
  ExpectPage(5, "VOE", kViennaPage, kViennaQuote, "<td class=\"cell44\"><font color=\"#CC0000\">",
             "#CC0000");
}

const char kGermanFundPage[] = R"html(<html>
<head>
<title>Fondspreise - Kursabfrage</title>
<meta http-equiv="expires" content="0">
</head>
<body>
<h3>Fondspreise vom 02.05.2003</h3>
{pad}<table border="0" cellpadding="2" cellspacing="0">
<tr>
	<th>WKN / Fonds</th><th>R&uuml;cknahme</th><th>Ver&auml;nderung</th><th>Hoch<br>Tief</th><th>Umsatz</th><th>Stand</th>
</tr>
<tr>
	<td><a href="/fonds/847652.html">847652</a> DWS Verm&ouml;gensbildungsfonds I</td>
	<td align="right">78,45 EUR</td>
	<td align="right"><font color="red">-0,32</font></td>
	<td>78,90<br>78,12</td>
	<td align="right">1.250</td>
	<td>02.05.2003 17:35</td>
</tr>
</table>
</body>
</html>
)html";

const Fields kGermanFundQuote = {{"symbol", "847652"},   {"last", "78.45"}, {"change", "-0.32"},
                                 {"high", "78.90"},      {"low", "78.12"},  {"volume", "1250"},
                                 {"date", "02.05.2003"}, {"time", "17:35"}};

TEST(HandWrittenPages, GermanFund) {
  // The symbol's line is the first to name it; the volume's "1.250" is one thousand two hundred
  // and fifty.
  ExpectPage(6, "847652", kGermanFundPage, kGermanFundQuote, "/fonds/847652.html", "847652");

  // A day without a time of its own: the cell holds the date alone.
  Answer dateOnly(
      6, "847652",
      Plain(Edited(kGermanFundPage, {{"<td>02.05.2003 17:35</td>", "<td>02.05.2003</td>"}})));
  ASSERT_EQ(dateOnly.count(), 1u);
  Fields expected = kGermanFundQuote;
  expected.erase("time");
  ExpectFields(dateOnly.at(0), expected);
}

const char kCanadaFundPage[] = R"html(<HTML>
<HEAD>
<TITLE>Mutual Fund Quote - TDB161</TITLE>
</HEAD>
<BODY BGCOLOR="#FFFFFF">
<TABLE WIDTH="100%" CELLPADDING="0"><TR><TD CLASS="nav"><A HREF="/HttpController?GetPage=FundsPage">Funds</A></TD></TR></TABLE>
{pad}<TABLE WIDTH="100%" BORDER="0" CELLPADDING="2">
<TR>
	<TD CLASS="header">Symbol</TD>
	<TD CLASS="header">As of</TD>
	<TD CLASS="header">NAVPS</TD>
</TR>
<TR>
	<TD CLASS="text">TDB161</TD>
	<TD CLASS="text">02-May-2003</TD>
	<TD CLASS="text">12.3456 </TD>
</TR>
</TABLE>
</BODY>
</HTML>
)html";

TEST(HandWrittenPages, CanadaFund) {
  // The title names the fund first; the figures follow its second mention. The blank the site
  // leaves after the price is not part of it.
  ExpectPage(8, "TDB161", kCanadaFundPage,
             {{"symbol", "TDB161"}, {"date", "02-May-2003"}, {"last", "12.3456"}},
             "<TD CLASS=\"text\">TDB161", "TDB161");
}

const char kBrusselsPage[] = R"html(<html>
<head>
<title>Euronext Brussels - SOLVAY</title>
</head>
<body>
<table class="menu" width="100%">
	<tr><td><a href="/pd/last.jsp">Last trades</a> | <a href="/pd/highlow.jsp">High / Low</a> | <a href="/pd/volume.jsp">Volume</a></td></tr>
</table>
{pad}<table width="100%" class="quote" cellspacing="0">
	<tr>
		<th align="left"><a href="/pd/end07.jsp?qIsin=BE0003470755">SOLVAY</a></th>
		<th align="right">02/05/2003 at 17:36</th>
	</tr>
	<tr>
		<td class="label">Last</td>
		<td class="num" align="right">67,40 EUR</td>
		<td class="label">P.Close</td>
		<td class="num" align="right">66,95 EUR</td>
	</tr>
	<tr>
		<td class="label">Bid</td>
		<td class="num" align="right">67,35 EUR</td>
		<td class="label">High</td>
		<td class="num" align="right">67,80 EUR</td>
	</tr>
	<tr>
		<td class="label">Ask</td>
		<td class="num" align="right">67,45 EUR</td>
		<td class="label">Low</td>
		<td class="num" align="right">66,50 EUR</td>
	</tr>
	<tr>
		<td class="label">Volume</td>
		<td class="num" align="right">123.456</td>
	</tr>
</table>
</body>
</html>
)html";

const Fields kBrusselsQuote = {{"symbol", "SOLB"},   {"date", "02/05/2003"}, {"time", "17:36"},
                               {"last", "67.40"},    {"prev", "66.95"},      {"bid", "67.35"},
                               {"high", "67.80"},    {"ask", "67.45"},       {"low", "66.50"},
                               {"volume", "123456"}, {"change", "+0.45"}};

TEST(HandWrittenPages, Brussels) {
  // The menu's "Last", "High", "Low" and "Volume" stand before the ISIN link that starts the
  // chain.
  ExpectPage(12, "SOLB", kBrusselsPage, kBrusselsQuote, ">P.Close<", "P.Close");
}

TEST(HandWrittenPages, AScriptLineLongerThanAnyBufferBeforeTheQuote) {
  // An inline script of 200 000 characters on one line: it is read in parts rather than held
  // whole, and the quote after it is read as usual.
  std::string script = "<script>var banners = \"";
  while (script.size() < 200000)
    script += "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw";
  script += "\";</script>\n";
  for (Ends ends : {Ends::kCrLf, Ends::kCr}) {
    SCOPED_TRACE(NameOf(ends));
    Answer a(12, "SOLB",
             WithEnds(Edited(Padded(kBrusselsPage, 0), {{"<body>\n", "<body>\n" + script}}), ends));
    ASSERT_EQ(a.count(), 1u);
    ExpectFields(a.at(0), kBrusselsQuote);
  }
}

const char kNordicPage[] = R"html(<html>
<head><title>HEX Quote NOK1V</title></head>
<body>
<table class="menu"><tr>
<td><a href="/servlet/Trades?symbol=NOK1V">Last trades</a></td>
<td><a href="/servlet/Active">Volume leaders</a></td>
</tr></table>
{pad}<table class="quote" border="0">
<tr>
	<td class="label">Last</td>
	<td width="8">
		&nbsp;
	</td>
	<td class="value">14,85</td>
</tr>
<tr>
	<td class="label">Volume</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">12.345.678</td>
</tr>
<tr>
	<td class="label">Change</td>
	<td width="8"><img src="/images/arrow_down.gif" width="7" height="7" alt=""></td>
	<td>
		&nbsp;</td>
	<td class="value">-0,35</td>
</tr>
<tr>
	<td class="label">Bid</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">14,84</td>
</tr>
<tr>
	<td class="label">Ask</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">14,86</td>
</tr>
<tr>
	<td class="label">Day High</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">15,02</td>
</tr>
<tr>
	<td class="label">Day Low</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">14,70</td>
</tr>
<tr>
	<td class="label">Prev.&nbsp;Close</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">15,20</td>
</tr>
<tr>
	<td class="label">52 Week High</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">25,60</td>
</tr>
<tr>
	<td class="label">52 Week Low</td>
	<td width="8">
		&nbsp;</td>
	<td class="value">11,05</td>
</tr>
<tr>
	<td class="label">Update Date</td>
	<td width="8">&nbsp;</td>
	<td class="value">
		02.05.2003
	</td>
</tr>
<tr>
	<td class="label">Time</td>
	<td width="8">&nbsp;</td>
	<td class="value">
		17:36
	</td>
</tr>
</table>
</body>
</html>
)html";

const Fields kNordicQuote = {{"symbol", "NOK1V"}, {"last", "14.85"}, {"volume", "12345678"},
                             {"change", "-0.35"}, {"bid", "14.84"},  {"ask", "14.86"},
                             {"high", "15.02"},   {"low", "14.70"},  {"prev", "15.20"},
                             {"yhigh", "25.60"},  {"ylow", "11.05"}, {"date", "02.05.2003"},
                             {"time", "17:36"}};

TEST(HandWrittenPages, Nordic) {
  // The last price has a decimal comma, so every later figure is read the European way. The
  // menu's "Last trades" and "Volume leaders" do not carry the markers, which include the tags'
  // brackets.
  ExpectPage(15, "NOK1V", kNordicPage, kNordicQuote, ">Day High<", "Day High<");
}

const char kCyprusPage[] = R"html(<html>
<head><title>Cyprus Stock Exchange - Quotes</title></head>
<body>
<center><img src="/images/cse.gif" width="120" height="40"><br><b>Quotes and Rates</b></center>
<table class="nav"><tr><td><a href="/volume.cfm">Volume</a> | <a href="/orders.cfm">Buy / Sell orders</a> | <a href="/open.cfm">Open positions</a></td></tr></table>
{pad}<table width="100%" cellspacing="0">
<tr>
	<td class="tbhd">Last Transaction</td>
	<td class="tbve" width=25%><span style="font-weight:bold;">0.845</span></td>
</tr>
<tr>
	<td class="tbhd">52-wk Range</td>
	<td class="tbve" width=25%>0.600 - 1.250</td>
</tr>
<tr>
	<td class="tbhd">Buy</td>
	<td class="tbve" width=25%>0.840</td>
</tr>
<tr>
	<td class="tbhd">Volume</td>
	<td class="tbve" width=25%>1,234,500</td>
</tr>
<tr>
	<td class="tbhd">Sell</td>
	<td class="tbve" width=25%>0.850</td>
</tr>
<tr>
	<td class="tbhd">Open</td>
	<td class="tbve" width=25%>0.820</td>
</tr>
<tr>
	<td class="tbhd">Day's Range</td>
	<td class="tbve">0.815 - 0.860</td>
</tr>
</table>
<center>
Last update: 02/05/2003 17:36:10
</center>
</body>
</html>
)html";

const Fields kCyprusQuote = {{"symbol", "BOC"},  {"last", "0.845"},      {"ylow", "0.600"},
                             {"yhigh", "1.250"}, {"bid", "0.840"},       {"volume", "1234500"},
                             {"ask", "0.850"},   {"prev", "0.820"},      {"low", "0.815"},
                             {"high", "0.860"},  {"date", "02/05/2003"}, {"time", "17:36"},
                             {"change", "+0.03"}};

TEST(HandWrittenPages, Cyprus) {
  // The opening price stands in for the previous close: 0.845 - 0.820 = 0.025, which is 0.03
  // with 2 decimals. The logo's "<center>" and the menu's words stand before the chain begins.
  ExpectPage(16, "BOC", kCyprusPage, kCyprusQuote, "<td class=\"tbhd\">Sell", "Sell");
}

const std::string kTokyoPage =
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
    "<title>" +
    kSony + " - 6758.t</title>\n" +
    "</head>\n"
    "<body bgcolor=\"#ffffff\">\n"
    "<table width=\"100%\"><tr><td><a href=\"/ranking/\">" +
    kTradePrice + " ranking</a></td></tr></table>\n" +
    "{pad}<table border=0 cellspacing=1 cellpadding=2>\n"
    "<tr bgcolor=\"#ffffff\">\n"
    "<td nowrap><small>" +
    kTradePrice + "<br>5/2 <b>1,234</b><br>+12<br>1,222<br>3,456,000</small></td>\n" +
    "</tr>\n"
    "<tr bgcolor=\"#ffffff\">\n"
    "<td nowrap><small>" +
    kOpeningPrice + "<br>1,225<br>1,240<br>1,218</small></td>\n" +
    "</tr>\n"
    "</table>\n"
    "</body>\n"
    "</html>\n";

TEST(HandWrittenPages, Tokyo) {
  // The label also stands in the menu, on a line without the figures' breaks.
  ExpectPage(17, "6758.T", kTokyoPage,
             {{"symbol", "6758.T"},
              {"date", "5/2"},
              {"last", "1234"},
              {"change", "+12"},
              {"prev", "1222"},
              {"volume", "3456000"},
              {"high", "1240"},
              {"low", "1218"}},
             "<small>" + kTradePrice + "<br>", kTradePrice);

  // The whole row on one line, the company's name in bold before the label: the last price is
  // the bold figure after the label.
  Answer oneLine(
      17, "6758.T",
      Plain(Edited(kTokyoPage, {{"<tr bgcolor=\"#ffffff\">\n<td nowrap><small>" + kTradePrice,
                                 "<tr bgcolor=\"#ffffff\"><td><b>" + kSony +
                                     "</b></td><td nowrap><small>" + kTradePrice}})));
  ASSERT_EQ(oneLine.count(), 1u);
  EXPECT_STREQ(oneLine.at(0).szLast, "1234");
  EXPECT_STREQ(oneLine.at(0).szDate, "5/2");
  EXPECT_STREQ(oneLine.at(0).szVolume, "3456000");
}

TEST(HandWrittenPages, TokyoDuringTradingHoursGivesTodayAndTheTime) {
  testing::ScopedTimeZone tz("UTC");
  ManualClock clock(1051885500);  // Friday 2 May 2003, 14:25
  Answer a(17, "6758.T", Plain(Edited(kTokyoPage, {{"5/2 <b>", "14:25 <b>"}})), kWholeAnswer,
           &clock);
  ASSERT_EQ(a.count(), 1u);
  ExpectFields(a.at(0), {{"symbol", "6758.T"},
                         {"date", "5/2/2003"},
                         {"time", "14:25"},
                         {"last", "1234"},
                         {"change", "+12"},
                         {"prev", "1222"},
                         {"volume", "3456000"},
                         {"high", "1240"},
                         {"low", "1218"}});
}

const char kThaiPage[] = R"html(<html>
<head><title>SET : PTT</title></head>
<body>
<table class="menu"><tr>
	<td><a href="/set/en/market/market_u2.jsp">Most Active Value / Volume</a></td>
	<td><a href="/set/en/market/market_u3.jsp">Prior Sessions</a></td>
</tr></table>
{pad}<table width="100%" border="0" cellspacing="1">
<tr bgcolor="#003366">
	<th>Last</th>
	<th>&nbsp;</th>
	<th>Change</th>
	<th>%Change</th>
</tr>
<tr bgcolor="#FFFFFF">
	<td align="right">68.50</td>
	<td>&nbsp;</td>
	<td align="right">+1.25</td>
	<td align="right">+1.86</td>
</tr>
</table>
<table width="100%" border="0" cellspacing="1">
<tr bgcolor="#003366">
	<th>Prior</th>
	<th>&nbsp;</th>
	<th>Open</th>
	<th>&nbsp;</th>
	<th>High</th>
	<th>&nbsp;</th>
	<th>Low</th>
</tr>
<tr bgcolor="#FFFFFF">
	<td align="right">67.25</td>
	<td>&nbsp;</td>
	<td align="right">67.50</td>
	<td>&nbsp;</td>
	<td align="right">69.00</td>
	<td>&nbsp;</td>
	<td align="right">67.25</td>
</tr>
</table>
<table width="100%" border="0" cellspacing="1">
<tr bgcolor="#003366">
	<th>Volume (Shares)</th>
	<th>Value ('000 Baht)</th>
</tr>
<tr bgcolor="#FFFFFF">
	<td align="right">
		12,345,600
	</td>
	<td align="right">845,123</td>
</tr>
</table>
<span class="Date">02/05/2003</span>
</body>
</html>
)html";

const Fields kThaiQuote = {{"symbol", "PTT"},      {"last", "68.50"},     {"change", "+1.25"},
                           {"prev", "67.25"},      {"high", "69.00"},     {"low", "67.25"},
                           {"volume", "12345600"}, {"date", "02/05/2003"}};

TEST(HandWrittenPages, Thai) {
  // "Last", "Prior" and "Volume" head their tables; the figures stand in the next row.
  ExpectPage(18, "PTT", kThaiPage, kThaiQuote, "<th>Prior</th>", "Prior");
}

const char kQuickChartPage[] = R"html(<HTML>
<HEAD><TITLE>Quick Chart: SOL</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
{pad}<TABLE WIDTH=400 BORDER=0 CELLPADDING=1 CELLSPACING=0>
<TR BGCOLOR="#333366"><TD COLSPAN=2><FONT FACE="Arial" SIZE=1 COLOR="#ccccff">5/2/2003&nbsp;4:01&nbsp;PM</FONT></TD></TR>
<TR><TD COLSPAN=2><FONT SIZE=1>Last: trade delayed 15 minutes</FONT></TD></TR>
<TR><TD><FONT SIZE=2>Last:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><B><NOBR>ZAR</NOBR></B> 145.20
</FONT></TD></TR><TR><TD><FONT SIZE=2>Change:</FONT></TD><TD ALIGN=RIGHT><IMG SRC="/images/arrow_dn_sm.gif" WIDTH=9 HEIGHT=9><FONT SIZE=2><NOBR>1.25 (0.85%)</NOBR></FONT></TD></TR>
<TR><TD><FONT SIZE=2>Prev Close:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><NOBR>146.45</NOBR></FONT></TD></TR>
<TR><TD><FONT SIZE=2>Day High:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><NOBR>147.00</NOBR></FONT></TD></TR>
<TR><TD><FONT SIZE=2>Day Low:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><NOBR>144.80</NOBR></FONT></TD></TR>
<TR><TD><FONT SIZE=2>Volume:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><B>1,234,567</B></FONT></TD></TR>
<TR><TD COLSPAN=2><HR SIZE=1 NOSHADE></TD></TR>
<TR><TD COLSPAN=2><FONT SIZE=1>52-Week</FONT></TD></TR>
<TR>
<TD><FONT SIZE=2>Range:</FONT></TD><TD ALIGN=RIGHT><FONT SIZE=2><B><NOBR><NOBR>98.50</NOBR> - <B><NOBR>160.00</NOBR></B></NOBR></B></FONT></TD>
</TR>
</TABLE>
</BODY>
</HTML>
)html";

const Fields kQuickChartQuote = {{"symbol", "ZA:SOL"}, {"date", "5/2/2003"}, {"time", "4:01 PM"},
                                 {"last", "145.20"},   {"change", "-1.25"},  {"prev", "146.45"},
                                 {"high", "147.00"},   {"low", "144.80"},    {"volume", "1234567"},
                                 {"ylow", "98.50"},    {"yhigh", "160.00"}};

TEST(HandWrittenPages, QuickChart) {
  // The first "Last:" is a note without the figure's "</NOBR>"; the price ends the real line,
  // whose closing tags follow on the next.
  ExpectPage(19, "ZA:SOL", kQuickChartPage, kQuickChartQuote, "<FONT SIZE=2>Last:</FONT></TD>",
             "Last:");
}

TEST(HandWrittenPages, QuickChartArrowsGiveTheSign) {
  Answer rising(19, "ZA:SOL", Plain(Edited(kQuickChartPage, {{"arrow_dn_sm", "arrow_up_sm"}})));
  ASSERT_EQ(rising.count(), 1u);
  Fields expected = kQuickChartQuote;
  expected["change"] = "1.25";
  ExpectFields(rising.at(0), expected);

  Answer unchanged(19, "ZA:SOL",
                   Plain(Edited(kQuickChartPage, {{"arrow_dn_sm", "arrow_unch_sm"},
                                                  {"1.25 (0.85%)", "0.00 (0.00%)"}})));
  ASSERT_EQ(unchanged.count(), 1u);
  expected["change"] = "0";
  ExpectFields(unchanged.at(0), expected);
}

const char kFrenchFundPage[] = R"html(<HTML>
<HEAD><TITLE>OPCVM - Fiche</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
<TABLE CLASS="menu"><TR><TD><A HREF="/opcvm/creation.phtml">Date de cr&eacute;ation</A> | <A HREF="/opcvm/classement.phtml">Performances</A></TD></TR></TABLE>
{pad}<TABLE WIDTH=450 BORDER=0 CELLSPACING=0>
<TR>
	<TD><FONT SIZE=2>Valeur liquidative</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2><B>152.37 EUR</B></FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Variation</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2 COLOR="#CC0000">-0.42 %</FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Date</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2><B>02/05/2003</B></FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Prix de souscription</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2>155.42 EUR</FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Prix de rachat</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2>150.85 EUR</FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Plus Haut 52 semaines</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2>171.06 EUR</FONT></TD>
</TR>
<TR>
	<TD><FONT SIZE=2>Plus Bas 52 semaines</FONT></TD>
	<TD WIDTH=10>&nbsp;</TD>
	<TD ALIGN=RIGHT><FONT SIZE=2>139.90 EUR</FONT></TD>
</TR>
</TABLE>
</BODY>
</HTML>
)html";

TEST(HandWrittenPages, FrenchFunds) {
  // 152.37 * -0.42 * 0.01 = -0.639954, so -0.64; the previous value is 152.37 + 0.64 = 153.01.
  // The menu's "Date de creation" is not the ">Date<" label.
  for (int source : {20, 21}) {
    SCOPED_TRACE(source);
    ExpectPage(source, "FR0000989501", kFrenchFundPage,
               {{"symbol", "FR0000989501"},
                {"last", "152.37"},
                {"change", "-0.64"},
                {"prev", "153.01"},
                {"date", "02/05/2003"},
                {"ask", "155.42"},
                {"bid", "150.85"},
                {"yhigh", "171.06"},
                {"ylow", "139.90"}},
               ">Variation<", ">Variation");
  }
}

const char kCanadaTrustPage[] = R"html(<HTML>
<HEAD><TITLE>Quote - TDB900</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
<TABLE WIDTH="100%"><TR><TD CLASS="nav"><A HREF="/HttpController?GetPage=VolumeLeaders">Volume Leaders</A> | <A HREF="/HttpController?GetPage=NewHighs">52 Week Highs</A></TD></TR></TABLE>
{pad}<TABLE WIDTH="100%" BORDER="0" CELLPADDING="2">
<TR><TD CLASS="text">Last Trade:</TD><TD CLASS="data">
			02 May 2003 16:01</TD></TR>
<TR><TD CLASS="text">Last Traded</TD><TD CLASS="data">
			12.45</TD></TR>
<TR><TD CLASS="text">Net Change</TD><TD CLASS="data">
			<FONT COLOR="red">-0.15</FONT></TD></TR>
<TR><TD CLASS="text">Volume</TD><TD CLASS="data">
			1,234,500</TD></TR>
<TR><TD CLASS="text">Last Bid</TD><TD CLASS="data">
			12.40</TD></TR>
<TR><TD CLASS="text">Last Ask</TD><TD CLASS="data">
			12.50</TD></TR>
<TR><TD CLASS="text">High</TD><TD CLASS="data">
			12.70</TD></TR>
<TR><TD CLASS="text">Low</TD><TD CLASS="data">
			12.30</TD></TR>
<TR><TD CLASS="text">52 Week High</TD><TD CLASS="data">
			15.10</TD></TR>
<TR><TD CLASS="text">52 Week Low</TD><TD CLASS="data">
			9.85</TD></TR>
</TABLE>
</BODY>
</HTML>
)html";

const Fields kCanadaTrustQuote = {
    {"symbol", "TDB900"}, {"date", "02 May 2003"}, {"time", "16:01"},  {"last", "12.45"},
    {"change", "-0.15"},  {"volume", "1234500"},   {"bid", "12.40"},   {"ask", "12.50"},
    {"high", "12.70"},    {"low", "12.30"},        {"yhigh", "15.10"}, {"ylow", "9.85"}};

TEST(HandWrittenPages, CanadaTrust) {
  ExpectPage(23, "TDB900", kCanadaTrustPage, kCanadaTrustQuote, ">Net Change<", "Net Change");
}

const char kAustriaFundPage[] = R"html(<html>
<head><title>Fondsdetail</title></head>
<body>
<table class="nav"><tr><td><a href="/fonds/vortag.asp">Kurse vom Vortag</a> | <a href="/fonds/suche.asp">Fondssuche</a></td></tr></table>
{pad}<table width="100%" border="0">
<tr>
	<td class="label">R&uuml;cknahmepreis</td>
	<td class="wert" align="right">EUR 1.234,56</td>
</tr>
<tr>
	<td class="label">Kursdatum:</td>
	<td class="wert">02.05.2003</td>
</tr>
<tr>
	<td class="label">R&uuml;cknahmepreis Vortag</td>
	<td class="wert" align="right">EUR 1.228,10</td>
</tr>
<tr>
	<td class="label">Differenz</td>
	<td class="wert" align="right">+6,46</td>
</tr>
<tr>
	<td class="label">Annahmeschluss</td>
	<td class="wert">13:00 Uhr</td>
</tr>
</table>
</body>
</html>
)html";

TEST(HandWrittenPages, AustriaFund) {
  // "Vortag" in the menu stands before the chain begins.
  ExpectPage(24, "975009", kAustriaFundPage,
             {{"symbol", "975009"},
              {"last", "1234.56"},
              {"date", "02.05.2003"},
              {"prev", "1228.10"},
              {"change", "+6.46"},
              {"time", "13:00"}},
             ">Kursdatum:<", "Kursdatum:");
}

const char kXmlList[] = R"xml(<?xml version="1.0" encoding="ISO-8859-1"?>
<QUOTE_LIST_RESPONSE>
{pad}<QUOTE_LIST>
	<QUOTE_ELEMENT>
		<FQ_SYMBOL>NESN.VX</FQ_SYMBOL>
		<NAME>NESTLE N</NAME>
		<DATE>02.05.2003</DATE>
		<TIME>17:30:12</TIME>
		<LAST>290.50</LAST>
		<NETCHANGE_POINT>3.50</NETCHANGE_POINT>
		<NETCHANGE_PERCENT>1.22</NETCHANGE_PERCENT>
		<HIGH>291.00</HIGH>
		<LOW>286.00</LOW>
		<CLOSE>287.00</CLOSE>
		<TOT_VOLUME>1234567</TOT_VOLUME>
		<BID>290.25</BID>
		<ASK>290.75</ASK>
	</QUOTE_ELEMENT>
	<QUOTE_ELEMENT>
		<FQ_SYMBOL> UBSN.VX</FQ_SYMBOL>
		<DATE>02.05.2003</DATE>
		<TIME>17:31:02</TIME>
		<LAST>71.30</LAST>
		<NETCHANGE_POINT>-0.45</NETCHANGE_POINT>
		<HIGH>72.05</HIGH>
		<LOW>71.10</LOW>
		<CLOSE>71.75</CLOSE>
		<TOT_VOLUME>3456000</TOT_VOLUME>
		<BID></BID>
		<ASK></ASK>
	</QUOTE_ELEMENT>
	<NOT_FOUND>XYZ.VX,ABC.VX</NOT_FOUND>
</QUOTE_LIST>
</QUOTE_LIST_RESPONSE>
)xml";

const std::vector<Fields> kXmlQuotes = {
    {{"symbol", "NESN.VX"},
     {"date", "02.05.2003"},
     {"time", "17:30:12"},
     {"last", "290.50"},
     {"change", "3.50"},
     {"high", "291.00"},
     {"low", "286.00"},
     {"prev", "287.00"},
     {"volume", "1234567"},
     {"bid", "290.25"},
     {"ask", "290.75"}},
    {{"symbol", "UBSN.VX"},
     {"date", "02.05.2003"},
     {"time", "17:31:02"},
     {"last", "71.30"},
     {"change", "-0.45"},
     {"high", "72.05"},
     {"low", "71.10"},
     {"prev", "71.75"},
     {"volume", "3456000"}},
    {{"symbol", "XYZ.VX"}},
    {{"symbol", "ABC.VX"}},
};

TEST(HandWrittenXml, QuoteList) {
  // Elements over several lines with tags the parser does not know between the known ones, a
  // blank before a symbol, an empty bid and ask, and two symbols the service does not know.
  ExpectAnswer(14, "NESN.VX,UBSN.VX,XYZ.VX,ABC.VX", kXmlList, kXmlQuotes, "<LAST>71.30", "<LAST>");
}

// ---------------------------------------------------------------------------------------------
// Variants of the pages above, each showing one thing the sites did that the parsers must take.

TEST(HandWrittenPages, ChangesWorkedOutFromTwoPricesKeepEveryDecimalUntilWritten) {
  // The Cyprus exchange quotes to a tenth of a cent: 0.844 - 0.835 = 0.009, which is 0.01 with
  // 2 decimals. Rounding each price to 2 decimals first would make both 0.84 and the change 0.
  Answer cyprus(16, "BOC",
                Plain(Edited(kCyprusPage, {{">0.845<", ">0.844<"}, {">0.820<", ">0.835<"}})));
  ASSERT_EQ(cyprus.count(), 1u);
  EXPECT_STREQ(cyprus.at(0).szLast, "0.844");
  EXPECT_STREQ(cyprus.at(0).szPrevClose, "0.835");
  EXPECT_STREQ(cyprus.at(0).szChange, "+0.01");

  // An unchanged price has the change 0 written with its 2 decimals, without a sign.
  Answer brussels(12, "SOLB", Plain(Edited(kBrusselsPage, {{">67,40 EUR", ">66,95 EUR"}})));
  ASSERT_EQ(brussels.count(), 1u);
  EXPECT_STREQ(brussels.at(0).szLast, "66.95");
  EXPECT_STREQ(brussels.at(0).szChange, "0.00");
}

TEST(HandWrittenPages, CyprusRangesInCellsWithStyledAttributes) {
  // A dash in the cell's own attributes comes before the one between the two ends of a range;
  // the high is what follows the dash after the low.
  Answer a(16, "BOC",
           Plain(Edited(kCyprusPage,
                        {{"<td class=\"tbve\" width=25%>0.600 - 1.250",
                          "<td class=\"tbve\" style=\"text-align:right\" width=25%>0.600 - 1.250"},
                         {"<td class=\"tbve\">0.815 - 0.860",
                          "<td style=\"text-align:right\" class=\"tbve\">0.815 - 0.860"}})));
  ASSERT_EQ(a.count(), 1u);
  ExpectFields(a.at(0), kCyprusQuote);
}

TEST(HandWrittenPages, ValuesThatFillTheirLineEndAtTheClosingTag) {
  // Where a value is the whole of its line, the tags the site writes around it on the same line
  // are not part of it; nor is the closing tag right after the update date.
  const std::string vienna =
      Edited(kViennaPage, {{"02-May-2003 17:36:02</p>", "02-May-2003</p>"},
                           {"\t\t\t31,45\n\t\t</td>", "\t\t\t31,45</td>"},
                           {"\t\t\t-0,38\n", "\t\t\t<nobr>-0,38</nobr>\n"},
                           {"\t\t\t17:35:48\n\t\t</td>", "\t\t\t17:35</td>"},
                           {"\t\t\t31,90\n\t\t</td>", "\t\t\t31,90</td>"},
                           {"\t\t\t31,20\n\t\t</td>", "\t\t\t31,20</td>"},
                           {"\t\t\t1,234,567\n\t\t</td>", "\t\t\t1,234,567</td>"}});
  ExpectPage(5, "VOE", vienna, kViennaQuote, "<td class=\"cell44\"><font color=\"#CC0000\">",
             "#CC0000");

  // The Nordic page's date and time written like its figures, inside their cells.
  const std::string nordic =
      Edited(kNordicPage,
             {{"\t<td width=\"8\">&nbsp;</td>\n\t<td class=\"value\">\n\t\t02.05.2003\n\t</td>",
               "\t<td width=\"8\">\n\t\t&nbsp;</td>\n\t<td class=\"value\">02.05.2003</td>"},
              {"\t<td width=\"8\">&nbsp;</td>\n\t<td class=\"value\">\n\t\t17:36\n\t</td>",
               "\t<td width=\"8\">\n\t\t&nbsp;</td>\n\t<td class=\"value\">17:36</td>"}});
  ExpectPage(15, "NOK1V", nordic, kNordicQuote, ">Day High<", "Day High<");
}

TEST(HandWrittenPages, CanadaTrustDateAndTimeSeparatedByTabs) {
  Answer a(23, "TDB900",
           Plain(Edited(kCanadaTrustPage,
                        {{"\t\t\t02 May 2003 16:01</TD>", "\t\t\t02\tMay 2003\t16:01\t</TD>"}})));
  ASSERT_EQ(a.count(), 1u);
  ExpectFields(a.at(0), kCanadaTrustQuote);
}

TEST(HandWrittenPages, ThaiUnchangedPriceHasNoChangeFigure) {
  // The row shows a bare dash where the change would be.
  Answer a(18, "PTT", Plain(Edited(kThaiPage, {{"\">+1.25<", "\">-<"}, {"\">+1.86<", "\">-<"}})));
  ASSERT_EQ(a.count(), 1u);
  Fields expected = kThaiQuote;
  expected["change"] = "";
  ExpectFields(a.at(0), expected);
}

}  // namespace
}  // namespace quillet
