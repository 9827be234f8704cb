#include "tools/simulator/sim_pages.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace quillet::sim {

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string MonthName(int month) { return kMonthNames[(month + 11) % 12]; }

std::string Format(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// A value as a number; false for "N/A" and other text without digits.
bool Number(const std::string& text, double* value) {
  if (text.find_first_of("0123456789") == std::string::npos) return false;
  *value = std::strtod(text.c_str(), nullptr);
  return true;
}

// Regroups a plain number ("-1234567.50") with the given separators.
std::string Grouped(const std::string& text, char thousands, char decimal) {
  double ignored = 0;
  if (!Number(text, &ignored)) return text;
  std::string sign, digits = text, fraction;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    sign = digits.substr(0, 1);
    digits.erase(0, 1);
  }
  if (std::size_t point = digits.find('.'); point != std::string::npos) {
    fraction = digits.substr(point + 1);
    digits.resize(point);
  }
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += thousands;
    grouped += digits[i];
  }
  return sign + grouped + (fraction.empty() ? "" : std::string(1, decimal) + fraction);
}

std::string Percent(const SimQuote& q) {
  double change = 0, previous = 0;
  if (!Number(q.change, &change) || !Number(q.prevClose, &previous) || previous == 0) return "N/A";
  double percent = change / previous * 100.0;
  std::string text = Fixed(percent, 2);
  if (text == "-0.00") text = "0.00";
  return percent > 0.004999 ? "+" + text : text;
}

std::string Arrow(const SimQuote& q) {
  double change = 0;
  if (!Number(q.change, &change) || Fixed(change, 2) == "0.00" || Fixed(change, 2) == "-0.00") {
    return "unch";
  }
  return change < 0 ? "dn" : "up";
}

// While the market is open on the simulator's today, a page that shows the last trade's time
// instead of its date.
std::string StampToday(const SimQuote& q, const PriceBook& prices) {
  std::time_t now = static_cast<std::time_t>(prices.now());
  std::tm today{};
  localtime_r(&now, &today);
  bool open = today.tm_year + 1900 == q.year && today.tm_mon + 1 == q.month &&
              today.tm_mday == q.day && q.hour * 60 + q.minute < 16 * 60;
  if (!q.timeText.empty() || !q.dateText.empty()) {
    return open && !q.timeText.empty() ? q.timeText : q.dateText;
  }
  return open ? Format("%d:%02d", q.hour, q.minute, 0) : Format("%d/%d/%d", q.month, q.day, q.year);
}

// The value of one placeholder, or nothing when the name is not one of the page forms.
std::optional<std::string> PageValue(std::string_view name, const SimQuote& q,
                                     const PriceBook& prices) {
  auto value = [&](std::string_view field) -> std::optional<std::string> {
    if (field == "last") return q.last;
    if (field == "change") return q.change;
    if (field == "low") return q.low;
    if (field == "high") return q.high;
    if (field == "prevclose") return q.prevClose;
    if (field == "volume") return q.volume;
    if (field == "bid") return q.bid;
    if (field == "ask") return q.ask;
    if (field == "yearlow") return q.yearLow;
    if (field == "yearhigh") return q.yearHigh;
    if (field == "pct") return Percent(q);
    return std::nullopt;
  };
  if (name.starts_with("eu:")) {
    auto v = value(name.substr(3));
    if (v) return Grouped(*v, '.', ',');
    return std::nullopt;
  }
  if (name.starts_with("commas:")) {
    auto v = value(name.substr(7));
    if (v) return Grouped(*v, ',', '.');
    return std::nullopt;
  }
  if (name == "pct") return Percent(q);
  if (name == "abs:change") {
    std::string change = q.change;
    if (!change.empty() && (change[0] == '+' || change[0] == '-')) change.erase(0, 1);
    return change;
  }
  if (name == "arrow") return Arrow(q);
  if (name == "dash_change") return Arrow(q) == "unch" ? std::string("-") : q.change;
  if (name == "stamp_today") return StampToday(q, prices);
  if (name.starts_with("date_") && !q.dateText.empty()) return q.dateText;
  if (name.starts_with("time") && !q.timeText.empty()) return q.timeText;
  if (name == "date_dmy2") return Format("%02d.%02d.%d", q.day, q.month, q.year);
  if (name == "date_dmy_slash") return Format("%02d/%02d/%d", q.day, q.month, q.year);
  if (name == "date_dmony4") {
    return Format("%02d-", q.day, 0, 0) + MonthName(q.month) + Format("-%d", q.year, 0, 0);
  }
  if (name == "date_dmonthy") {
    return Format("%02d ", q.day, 0, 0) + MonthName(q.month) + Format(" %d", q.year, 0, 0);
  }
  if (name == "time_sec") return Format("%d:%02d:00", q.hour, q.minute, 0);
  if (name == "time_hhmm") return Format("%02d%02d", q.hour, q.minute, 0);
  if (name == "time_nbsp") {
    int hour = q.hour % 12 == 0 ? 12 : q.hour % 12;
    return Format("%d:%02d&nbsp;", hour, q.minute, 0) + (q.hour < 12 ? "AM" : "PM");
  }
  return std::nullopt;
}

// A quote standing for a symbol the price book does not know.
SimQuote UnknownQuote(const std::string& symbol) {
  SimQuote q;
  q.symbol = symbol;
  q.last = q.change = q.low = q.high = q.prevClose = q.volume = q.bid = q.ask = q.yearLow =
      q.yearHigh = "N/A";
  return q;
}

void AppendLines(std::string_view body, std::vector<std::string>* lines) {
  while (!body.empty()) {
    std::size_t end = body.find('\n');
    lines->emplace_back(body.substr(0, end));
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 1);
  }
}

// The two Shift-JIS labels of the Japanese portal: "trade price" and "opening price".
const std::string kTradePrice = "\x8E\xE6\x88\xF8\x92\x6C";
const std::string kOpeningPrice = "\x8E\x6E\x92\x6C";

// ---- The pages. Each names its values where its parser looks for them. ----

const char kAmsterdamPage[] =
    "<html><head><title>Kursdetails</title></head><body>\n"
    "<table class=\"detail\">\n"
    "<tr>\n"
    "<td class=\"fHeadline\">{{symbol}} Amsterdam</td>\n"
    "</tr>\n"
    "<tr>\n"
    "<td class=\"fText\">{{date_dmy2}} {{time24}} Uhr</td>\n"
    "</tr>\n"
    "<tr>\n"
    "<td class=\"bgYellow\">{{eu:last}}</td>\n"
    "<td class=\"fText\"><span id=\"chgPct\">{{eu:pct}} %</span></td>\n"
    "</tr>\n"
    "</table></body></html>\n";
const char kAmsterdamUnknown[] =
    "<html><head><title>Kursdetails</title></head><body>\n"
    "<table class=\"detail\">\n"
    "<tr><td class=\"fHeadline\">-- keine Kursdaten --</td></tr>\n"
    "</table></body></html>\n";

const char kViennaPage[] =
    "<html><head><title>Wiener Boerse</title></head><body>\n"
    "<p class=\"small\">Letztes Update: {{date_dmony4}} {{time_sec}}</p>\n"
    "<table>\n"
    "<tr><td><a href=\"/cgi-bin/invueber.pl?kuerzel={{symbol}}\">{{symbol}}</a></td>\n"
    "<td class=\"cell33\">\n"
    "{{eu:last}}\n"
    "</td>\n"
    "<td class=\"cell22\"><font color=\"#CC0000\">Diff.</font></td>\n"
    "<td class=\"cell22\"><font color=\"#CC0000\">\n"
    "<b>\n"
    "{{eu:change}}\n"
    "</b></font></td>\n"
    "<td class=\"cell33\">\n"
    "{{time_sec}}\n"
    "</td>\n"
    "<td class=\"cell33\">\n"
    "{{eu:high}}\n"
    "</td>\n"
    "<td class=\"cell33\">\n"
    "{{eu:low}}\n"
    "</td>\n"
    "<td class=\"cell33\">\n"
    "{{commas:volume}}\n"
    "</td></tr>\n"
    "</table></body></html>\n";
const char kViennaUnknown[] =
    "<html><head><title>Wiener Boerse</title></head><body>\n"
    "<p>Kein Wertpapier gefunden.</p>\n"
    "</body></html>\n";

const char kGermanFundPage[] =
    "<html><body><table>\n"
    "<tr><td>Fonds</td><td>{{symbol}}</td></tr>\n"
    "<tr><td>{{eu:last}} EUR</td></tr>\n"
    "<tr><td>{{eu:change}}</td></tr>\n"
    "<tr><td>{{eu:high}}<br>{{eu:low}}</td></tr>\n"
    "<tr><td>{{eu:volume}}</td></tr>\n"
    "<td>{{date_dmy2}} {{time24}}</td>\n"
    "</table></body></html>\n";
const char kGermanFundUnknown[] = "<html><body><p>Keine Daten vorhanden.</p></body></html>\n";

// The Toronto page serves the fund (8) and the trust (23) requests alike, so it carries the
// figures of both.
const char kTorontoPage[] =
    "<HTML><HEAD><TITLE>{{symbol}} - Detailed Prices</TITLE></HEAD><BODY>\n"
    "<TABLE>\n"
    "<TR><TD CLASS=\"title\">{{symbol}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">{{date_dmony4}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">{{last}}</TD></TR>\n"
    "</TABLE>\n"
    "<TABLE>\n"
    "<TR><TD CLASS=\"text\">Last Trade:</TD><TD CLASS=\"data\">\n"
    "\t\t{{date_dmonthy}} {{time24}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Last Traded</TD>\n"
    "<TD CLASS=\"data\">{{last}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Net Change</TD>\n"
    "<TD CLASS=\"data\">{{change}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Volume</TD>\n"
    "<TD CLASS=\"data\">{{commas:volume}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Last Bid</TD>\n"
    "<TD CLASS=\"data\">{{bid}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Last Ask</TD>\n"
    "<TD CLASS=\"data\">{{ask}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">High</TD>\n"
    "<TD CLASS=\"data\">{{high}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">Low</TD>\n"
    "<TD CLASS=\"data\">{{low}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">52 Week High</TD>\n"
    "<TD CLASS=\"data\">{{yearhigh}}</TD></TR>\n"
    "<TR><TD CLASS=\"text\">52 Week Low</TD>\n"
    "<TD CLASS=\"data\">{{yearlow}}</TD></TR>\n"
    "</TABLE></BODY></HTML>\n";
const char kTorontoUnknown[] =
    "<HTML><HEAD><TITLE>{{symbol}} - Detailed Prices</TITLE></HEAD><BODY>\n"
    "<P>The symbol you entered was not found.</P>\n"
    "</BODY></HTML>\n";

const char kBrusselsPage[] =
    "<html><body><table>\n"
    "<tr><th><a href=\"/pd/end07.jsp?qIsin=BE{{symbol}}\">{{symbol}}</a></th></tr>\n"
    "<th align=\"right\">{{date_dmy_slash}} at {{time24}}</th>\n"
    "<tr><td class=\"label\">Last</td></tr>\n"
    "<td>{{eu:last}} EUR</td>\n"
    "<tr><td class=\"label\">P.Close</td></tr>\n"
    "<td>{{eu:prevclose}} EUR</td>\n"
    "<tr><td class=\"label\">Bid</td></tr>\n"
    "<td>{{eu:bid}} EUR</td>\n"
    "<tr><td class=\"label\">High</td></tr>\n"
    "<td>{{eu:high}} EUR</td>\n"
    "<tr><td class=\"label\">Ask</td></tr>\n"
    "<td>{{eu:ask}} EUR</td>\n"
    "<tr><td class=\"label\">Low</td></tr>\n"
    "<td>{{eu:low}} EUR</td>\n"
    "<tr><td class=\"label\">Volume</td></tr>\n"
    "<td>{{eu:volume}}</td>\n"
    "</table></body></html>\n";
const char kBrusselsUnknown[] = "<html><body><p>Unknown instrument.</p></body></html>\n";

const char kNordicPage[] =
    "<html><body><table>\n"
    "<tr><td class=\"hdr\">{{symbol}}</td></tr>\n"
    "<tr><td class=\"lbl\">Last</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:last}}</td></tr>\n"
    "<tr><td class=\"lbl\">Volume</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:volume}}</td></tr>\n"
    "<tr><td class=\"lbl\">Change</td>\n"
    "<td class=\"img\"><img src=\"/images/{{arrow}}.gif\"></td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:change}}</td></tr>\n"
    "<tr><td class=\"lbl\">Bid</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:bid}}</td></tr>\n"
    "<tr><td class=\"lbl\">Ask</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:ask}}</td></tr>\n"
    "<tr><td class=\"lbl\">Day High</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:high}}</td></tr>\n"
    "<tr><td class=\"lbl\">Day Low</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:low}}</td></tr>\n"
    "<tr><td class=\"lbl\">Prev.&nbsp;Close</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:prevclose}}</td></tr>\n"
    "<tr><td class=\"lbl\">52 Week High</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:yearhigh}}</td></tr>\n"
    "<tr><td class=\"lbl\">52 Week Low</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"val\">{{eu:yearlow}}</td></tr>\n"
    "<tr><td class=\"lbl\">Update Date</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "{{date_dmy2}}\n"
    "<tr><td class=\"lbl\">Time</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "<td class=\"sp\">&nbsp;</td>\n"
    "{{time24}}\n"
    "</table></body></html>\n";
const char kNordicUnknown[] = "<html><body><p>No such instrument on HEX.</p></body></html>\n";

const char kCyprusPage[] =
    "<html><body><table>\n"
    "<tr><td class=\"lbl\">Last Transaction</td></tr>\n"
    "<tr><td><span style=\"font-weight:bold;\">{{last}}</span></td></tr>\n"
    "<tr><td class=\"lbl\">52-wk Range</td></tr>\n"
    "<td width=25%>{{yearlow}} - {{yearhigh}}</td>\n"
    "<tr><td class=\"lbl\">Buy</td></tr>\n"
    "<td width=25%>{{bid}}</td>\n"
    "<tr><td class=\"lbl\">Volume</td></tr>\n"
    "<td width=25%>{{commas:volume}}</td>\n"
    "<tr><td class=\"lbl\">Sell</td></tr>\n"
    "<td width=25%>{{ask}}</td>\n"
    "<tr><td class=\"lbl\">Open</td></tr>\n"
    "<td width=25%>{{prevclose}}</td>\n"
    "<tr><td class=\"lbl\">Day's Range</td></tr>\n"
    "<td class=\"tbve\">{{low}}-{{high}}</td>\n"
    "</table>\n"
    "<center>\n"
    "Last update: {{date_dmy_slash}} {{time_sec}}\n"
    "</center></body></html>\n";
const char kCyprusUnknown[] = "<html><body><p>No data for this code.</p></body></html>\n";

const char kThaiPage[] =
    "<html><body><table>\n"
    "<tr><td>{{symbol}}</td></tr>\n"
    "<tr><td class=\"hd\">Last</td><td class=\"hd\">Change</td></tr>\n"
    "<tr>\n"
    "<td>{{last}}</td>\n"
    "<td>&nbsp;</td>\n"
    "<td>{{dash_change}}</td>\n"
    "</tr>\n"
    "<tr><td class=\"hd\">Prior</td><td class=\"hd\">High</td><td class=\"hd\">Low</td></tr>\n"
    "<tr>\n"
    "<td>{{prevclose}}</td>\n"
    "<td>&nbsp;</td>\n"
    "<td class=\"sub\">Open</td>\n"
    "<td>{{prevclose}}</td>\n"
    "<td>{{high}}</td>\n"
    "<td>&nbsp;</td>\n"
    "<td>{{low}}</td>\n"
    "</tr>\n"
    "<tr><td class=\"hd\">Volume</td></tr>\n"
    "<tr>\n"
    "<td class=\"num\">\n"
    "{{commas:volume}}\n"
    "</td>\n"
    "</tr>\n"
    "<span title=\"Date\">{{date_dmy_slash}}</span>\n"
    "</table></body></html>\n";
const char kThaiUnknown[] = "<html><body><p>Symbol not found.</p></body></html>\n";

const char kQuickChartPage[] =
    "<HTML><BODY>\n"
    "<TABLE BGCOLOR=\"#333366\"><TR><TD><FONT COLOR=\"#ccccff\">{{date_mdy}}&nbsp;{{time_nbsp}}"
    "</FONT></TD></TR></TABLE>\n"
    "<TABLE>\n"
    "<TR><TD><FONT SIZE=2>{{symbol}}</FONT></TD></TR>\n"
    "<TR><TD><NOBR>Last:</NOBR></TD><TD ALIGN=RIGHT><B>{{last}}\n"
    "<TD><IMG SRC=\"/images/arrow_{{arrow}}_sm.gif\"><NOBR>{{abs:change}}</NOBR></TD>\n"
    "<TD><NOBR>{{prevclose}}</NOBR></TD>\n"
    "<TD><NOBR>{{high}}</NOBR></TD>\n"
    "<TD><NOBR>{{low}}</NOBR></TD>\n"
    "<TD><B>{{commas:volume}}</B></TD>\n"
    "</TR>\n"
    "<TR>\n"
    "<TD>52 Wk Range</TD>\n"
    "<TD><B><NOBR><NOBR>{{yearlow}}</NOBR></B> - <B><NOBR>{{yearhigh}}</NOBR></B></TD>\n"
    "</TR></TABLE></BODY></HTML>\n";
const char kQuickChartUnknown[] =
    "<HTML><BODY>\n"
    "<P>Symbol not found.</P>\n"
    "</BODY></HTML>\n";

const char kFrenchFundPage[] =
    "<HTML><BODY><TABLE>\n"
    "<TR><TD>{{symbol}}</TD></TR>\n"
    "<TR><TD>Valeur liquidative</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><B>{{last}} EUR</B></TD></TR>\n"
    "<TR><TD>Variation</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><B>{{pct}} %</B></TD></TR>\n"
    "<TR><TD>Date</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><B>{{date_dmy_slash}}</B></TD></TR>\n"
    "<TR><TD>Prix de souscription</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><FONT SIZE=2>{{ask}} EUR</FONT></TD></TR>\n"
    "<TR><TD>Prix de rachat</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><FONT SIZE=2>{{bid}} EUR</FONT></TD></TR>\n"
    "<TR><TD>Haut 52 semaines</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><FONT SIZE=2>{{yearhigh}} EUR</FONT></TD></TR>\n"
    "<TR><TD>Bas 52 semaines</TD></TR>\n"
    "<TR><TD>&nbsp;</TD></TR>\n"
    "<TR><TD><FONT SIZE=2>{{yearlow}} EUR</FONT></TD></TR>\n"
    "</TABLE></BODY></HTML>\n";
const char kFrenchFundUnknown[] = "<HTML><BODY><P>Code inconnu.</P></BODY></HTML>\n";

const char kAustriaFundPage[] =
    "<html><body><table>\n"
    "<tr><td>{{symbol}}</td></tr>\n"
    "<tr><td>R&uuml;cknahmepreis</td></tr>\n"
    "<td class=\"wert\">{{eu:last}} EUR</td>\n"
    "<tr><td>Kursdatum:</td></tr>\n"
    "<td class=\"wert\">{{date_dmy2}}</td>\n"
    "<tr><td>Vortag</td></tr>\n"
    "<td class=\"wert\">{{eu:prevclose}} EUR</td>\n"
    "<tr><td>Differenz</td></tr>\n"
    "<td class=\"wert\">{{eu:change}} EUR</td>\n"
    "<tr><td>Annahmeschluss</td></tr>\n"
    "<td class=\"wert\">{{time24}} Uhr</td>\n"
    "</table></body></html>\n";
const char kAustriaFundUnknown[] = "<html><body><p>Fonds nicht gefunden.</p></body></html>\n";

std::string TokyoPage() {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=Shift_JIS\"></head><body>\n"
         "<table><tr><td>{{symbol}}</td></tr>\n"
         "<tr><td>" +
         kTradePrice +
         "<br>{{stamp_today}} <b>{{commas:last}}</b><br>{{change}}<br>{{commas:prevclose}}<br>"
         "{{commas:volume}}</td></tr>\n"
         "<tr><td>" +
         kOpeningPrice +
         "<br>{{commas:prevclose}}<br>{{commas:high}}<br>{{commas:low}}</td></tr>\n"
         "</table></body></html>\n";
}
const char kTokyoUnknown[] = "<html><body><p>No match.</p></body></html>\n";

}  // namespace

PageHandler::PageHandler(std::string page, std::string unknownPage, std::string contentType)
    : page_(std::move(page)),
      unknownPage_(std::move(unknownPage)),
      contentType_(std::move(contentType)) {}

std::string PageHandler::Fill(std::string_view text, const SimQuote& quote,
                              const PriceBook& prices) {
  return FillPlaceholders(text, [&](std::string_view name) {
    if (auto value = PageValue(name, quote, prices)) return value;
    return QuoteValue(name, quote);
  });
}

SimAnswer PageHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  SimAnswer answer;
  answer.contentType = contentType_;
  for (const std::string& symbol : request.symbols) {
    auto quote = prices.Quote(symbol);
    std::string page =
        quote ? Fill(page_, *quote, prices) : Fill(unknownPage_, UnknownQuote(symbol), prices);
    AppendLines(page, &answer.lines);
  }
  // The pages end in a line feed; keep it from becoming an empty last line.
  if (!answer.lines.empty() && answer.lines.back().empty()) answer.lines.pop_back();
  return answer;
}

SimAnswer BarListHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  SimAnswer answer;
  for (const std::string& symbol : request.symbols) {
    auto q = prices.Quote(symbol);
    if (!q) {
      answer.lines.push_back(symbol + " | NA");
      continue;
    }
    auto blankIfMissing = [](const std::string& v) { return v == "N/A" ? std::string() : v; };
    answer.lines.push_back(" " + q->symbol + " | OK | " + blankIfMissing(q->last) + " | " +
                           blankIfMissing(q->prevClose) + " | " + blankIfMissing(q->bid) + " | " +
                           blankIfMissing(q->ask) + " | " + blankIfMissing(q->high) + " | " +
                           blankIfMissing(q->low) + " | " + blankIfMissing(q->volume) + " | " +
                           PageHandler::Fill("{{time_hhmm}}", *q, prices) + " ");
  }
  return answer;
}

SimAnswer XmlListHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  SimAnswer answer;
  answer.contentType = "text/xml";
  std::vector<std::string>& lines = answer.lines;
  lines.push_back("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  lines.push_back("<QUOTE_LIST>");
  std::string notFound;
  for (const std::string& symbol : request.symbols) {
    auto q = prices.Quote(symbol);
    if (!q) {
      notFound += (notFound.empty() ? "" : ",") + symbol;
      continue;
    }
    const char* element =
        "<QUOTE_ELEMENT>\n"
        "  <FQ_SYMBOL>{{symbol}}</FQ_SYMBOL>\n"
        "  <NAME>{{symbol}} Namen</NAME>\n"
        "  <DATE>{{date_mdy}}</DATE>\n"
        "  <TIME>{{time24}}</TIME>\n"
        "  <LAST>{{last}}</LAST>\n"
        "  <CURRENCY>CHF</CURRENCY>\n"
        "  <NETCHANGE_POINT>{{change}}</NETCHANGE_POINT>\n"
        "  <NETCHANGE_PERCENT>{{pct}}</NETCHANGE_PERCENT>\n"
        "  <HIGH>{{high}}</HIGH>\n"
        "  <LOW>{{low}}</LOW>\n"
        "  <CLOSE>{{prevclose}}</CLOSE>\n"
        "  <TOT_VOLUME>{{volume}}</TOT_VOLUME>\n"
        "  <BID>{{bid}}</BID>\n"
        "  <ASK>{{ask}}</ASK>\n"
        "</QUOTE_ELEMENT>";
    AppendLines(PageHandler::Fill(element, *q, prices), &lines);
  }
  if (!notFound.empty()) lines.push_back("<NOT_FOUND>" + notFound + "</NOT_FOUND>");
  lines.push_back("</QUOTE_LIST>");
  return answer;
}

void RegisterPageHandlers(HandlerTable& table) {
  auto page = [&](int source, std::string text, std::string unknown) {
    table.Register(source, std::make_shared<PageHandler>(std::move(text), std::move(unknown)));
  };
  page(2, kAmsterdamPage, kAmsterdamUnknown);
  table.Register(3, std::make_shared<BarListHandler>());
  page(5, kViennaPage, kViennaUnknown);
  page(6, kGermanFundPage, kGermanFundUnknown);
  page(8, kTorontoPage, kTorontoUnknown);  // 23 shares its path, and so its page
  page(12, kBrusselsPage, kBrusselsUnknown);
  table.Register(14, std::make_shared<XmlListHandler>());
  page(15, kNordicPage, kNordicUnknown);
  page(16, kCyprusPage, kCyprusUnknown);
  page(17, TokyoPage(), kTokyoUnknown);
  page(18, kThaiPage, kThaiUnknown);
  page(19, kQuickChartPage, kQuickChartUnknown);
  page(20, kFrenchFundPage, kFrenchFundUnknown);
  page(21, kFrenchFundPage, kFrenchFundUnknown);
  page(24, kAustriaFundPage, kAustriaFundUnknown);
}

}  // namespace quillet::sim
