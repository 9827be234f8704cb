// The pieces every quote-page parser is built from. A page parser is a chain of steps: find the
// line with a marker, go a fixed number of lines further, cut the value out, clean it, store
// it. A step that cannot find its line or its markers ends the chain; whatever was stored
// before stays in the result. These helpers keep each step one line in the parsers.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "quotes/quote_client.h"
#include "quotes/quote_result.h"

namespace quillet::page {

// Reads the header lines and adds the page's one result, whose symbol is taken from the
// request (see SymbolFromRequest). Null, with the result code QR_ERROR, when the headers could
// not be read or the result list is full.
QuoteResult* BeginPage(CQuoteClient& client, char symbolEnd = ' ');

// The symbol a one-per-request source was asked for: the request text after the source's path
// prefix, up to `symbolEnd` (a blank, which starts " HTTP/1.0", or '&' where a query suffix
// follows). This is the decorated symbol the update run matches answers against.
std::string SymbolFromRequest(const CQuoteClient& client, char symbolEnd);

// The lines of an answer's body as the parsers read them. The client ends a line at one
// delimiter and hands out a longer line in pieces the size of its buffer; sites end their lines
// with LF, CR LF or a bare CR, and many write lines far longer than that buffer. This joins the
// pieces again and ends a line at any of the three, so that a marker is found wherever the
// reads cut the page, and "the n-th line after the marker" is the same line whatever line ends
// the server used.
class PageLines {
 public:
  // `delimiter` is the one the client reads with: '\n' for pages, CR for the XML list.
  explicit PageLines(CQuoteClient& client, char delimiter = '\n');

  // The next line; false at the end of the data (or after a cancel or time-out).
  bool Next();
  // Reads `count` more lines; false when the data ends first.
  bool Further(int count);
  // Reads lines until one contains `marker` and then `count` lines further. False when the data
  // ends first.
  bool MarkerLine(const char* marker, int count = 0);
  // The line read last.
  std::string_view Text() const { return line_; }

 private:
  // Appends the client's next line to the text not yet handed out.
  void ReadMore();

  // A line without any line end goes out in parts of this size rather than fill memory.
  static constexpr std::size_t kLongestLine = 1 << 16;

  CQuoteClient& client_;
  char delimiter_;
  std::string pending_;  // read from the client, from `taken_` on not yet handed out
  std::size_t taken_ = 0;
  bool ended_ = false;
  std::string line_;
};

// A result field and the label of the page line it is read from.
struct LabelledField {
  const char* label;
  char* field;
  std::size_t size;
};
// For each field in turn: finds the next line holding its label, goes `offset` lines further,
// lets `cut` take the value out of that line and stores it in the field (cut to fit). False,
// ending the chain, when a label is missing or `cut` fails.
bool ReadLabelledFields(PageLines& lines, std::span<const LabelledField> fields, int offset,
                        const std::function<bool(std::string_view line, const LabelledField& field,
                                                 std::string* value)>& cut);

// The text after `start` (from the line's beginning when null) up to `end` (to the line's end
// when null), with blanks and tabs trimmed at both ends. False when a given marker is missing.
bool Between(std::string_view line, const char* start, const char* end, std::string* out);
// The same, searching `start` and `end` from `from` on; *next gets the position after `end`.
bool BetweenFrom(std::string_view line, std::size_t from, const char* start, const char* end,
                 std::string* out, std::size_t* next = nullptr);

// The first run of number characters outside HTML tags ("" when there is none).
std::string NumberIn(std::string_view text);
// "1.234,56" -> "1234.56".
std::string Euro(std::string text);
std::string WithoutChar(std::string text, char c);
// Blanks and tabs trimmed at both ends.
std::string Trimmed(std::string_view text);
// The text of a line outside its tags, trimmed: the value of a line that holds nothing else,
// without the closing tags a site writes after it.
std::string LineValue(std::string_view line);
// The text split at blanks and tabs, runs counting as one.
std::string Word(std::string_view text, std::size_t index);

// Cuts the text to the field's width, always terminated.
template <std::size_t N>
void Store(char (&field)[N], std::string_view text) {
  CopyToField(field, text);
}

// last - previous with 2 decimals (rounded half up from the exact difference), "+" in front when
// positive, no sign when 0.00; "N/A" when either is empty.
std::string ChangeOf(std::string_view last, std::string_view previous);
// A number read from page text, whether it uses ',' or '.' as its decimal mark (a text with a
// ',' is read the European way).
double ReadNumber(std::string_view text);
// The value with 2 decimals, '-' for a negative value and no sign otherwise.
std::string TwoDecimals(double value);

// Pages of the sources that mark an unpriced stock with last "0": when the chain of steps broke
// before its end, the result's last becomes "0".
void LastZeroUnlessComplete(QuoteResult& result, bool complete);

}  // namespace quillet::page
