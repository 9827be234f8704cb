// The simulator's quote pages, XML list and bar-separated list: every source that is not a CSV
// service answers here in a layout of its own, written for this simulator around the marker
// texts each parser looks for. Values come from the price book (a fixture or generated), so a
// test can work out what every parsed field must hold.
#pragma once

#include <string>
#include <string_view>

#include "tools/simulator/sim_handlers.h"

namespace quillet::sim {

// A page per requested symbol, from a text with placeholders: everything TemplateHandler knows,
// and the forms the page sources write their values in:
//   {{eu:NAME}}      a value with ',' as decimal mark and '.' between thousands (1.234,56)
//   {{commas:NAME}}  a value with ',' between thousands (1,234,567.50)
//   {{abs:change}}   the change without its sign;  {{arrow}} "up", "dn" or "unch"
//   {{pct}}          the change in percent of the previous close, 2 decimals, signed
//   {{dash_change}}  the change, or "-" when there is none
//   {{date_dmy2}} 02.05.2003  {{date_dmy_slash}} 02/05/2003  {{date_dmony4}} 02-May-2003
//   {{date_dmonthy}} 02 May 2003  {{time_sec}} 16:01:00  {{time_hhmm}} 1601
//   {{time_nbsp}} 4:01&nbsp;PM  {{stamp_today}} the time while the market is open on the
//   simulator's today, else the date as {{date_mdy}}
// A fixture's date or time text replaces every date or time form.
class PageHandler final : public SourceHandler {
 public:
  PageHandler(std::string page, std::string unknownPage, std::string contentType = "text/html");
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;
  static std::string Fill(std::string_view text, const SimQuote& quote, const PriceBook& prices);

 private:
  std::string page_, unknownPage_, contentType_;
};

// The Swiss broker's list (source 3): one "SYMBOL | OK | last | previous | bid | ask | high |
// low | volume | hhmm" line per symbol, "SYMBOL | NA" for one it does not know.
class BarListHandler final : public SourceHandler {
 public:
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;
};

// The Swiss XML service (source 14): a <QUOTE_LIST> with one <QUOTE_ELEMENT> per known symbol,
// one tag per line, and a <NOT_FOUND> list of the unknown ones.
class XmlListHandler final : public SourceHandler {
 public:
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;
};

// Registers the page, list and XML answers under their sources (2, 3, 5, 6, 8 with 23, 12, 14,
// 15, 16, 17, 18, 19, 20, 21, 24).
void RegisterPageHandlers(HandlerTable& table);

}  // namespace quillet::sim
