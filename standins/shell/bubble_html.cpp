#include "standins/shell/bubble_html.h"

#include <cctype>
#include <map>

#include "platform/ascii.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

struct Tag {
  std::string name;  // lower case, without '/'
  bool closing = false;
  std::map<std::string, std::string> attributes;  // names in lower case
};

// Reads a tag from the text between '<' and '>'.
Tag ParseTag(std::string_view body) {
  Tag tag;
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < body.size() && std::isspace(static_cast<unsigned char>(body[i]))) ++i;
  };
  skipSpace();
  if (i < body.size() && body[i] == '/') {
    tag.closing = true;
    ++i;
  }
  std::size_t start = i;
  while (i < body.size() && !std::isspace(static_cast<unsigned char>(body[i])) && body[i] != '/') {
    ++i;
  }
  tag.name = ToLowerAscii(body.substr(start, i - start));
  for (;;) {
    skipSpace();
    if (i >= body.size() || body[i] == '/') break;
    start = i;
    while (i < body.size() && body[i] != '=' &&
           !std::isspace(static_cast<unsigned char>(body[i]))) {
      ++i;
    }
    std::string name = ToLowerAscii(body.substr(start, i - start));
    std::string value;
    skipSpace();
    if (i < body.size() && body[i] == '=') {
      ++i;
      skipSpace();
      if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
        const char quote = body[i++];
        start = i;
        while (i < body.size() && body[i] != quote) ++i;
        value = std::string(body.substr(start, i - start));
        if (i < body.size()) ++i;
      } else {
        start = i;
        while (i < body.size() && !std::isspace(static_cast<unsigned char>(body[i]))) ++i;
        value = std::string(body.substr(start, i - start));
      }
    }
    if (name.empty()) {
      ++i;  // a stray character: step over it
      continue;
    }
    tag.attributes[name] = value;
  }
  return tag;
}

int CommandOf(const std::string& target) {
  if (target.size() < 5 || !EqualNoCase(target.substr(0, 4), "cmd:")) return -1;
  int n = 0;
  for (std::size_t i = 4; i < target.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(target[i])) || n > 100000) return -1;
    n = n * 10 + (target[i] - '0');
  }
  return n;
}

std::string DecodeEntities(std::string_view text) {
  static const std::map<std::string, char> entities = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      std::size_t semi = text.find(';', i);
      if (semi != std::string_view::npos && semi - i <= 6) {
        auto it = entities.find(ToLowerAscii(text.substr(i + 1, semi - i - 1)));
        if (it != entities.end()) {
          out += it->second;
          i = semi;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

std::vector<BubbleParagraph> ParseBubbleHtml(std::u16string_view html) {
  const std::string text = Utf16ToUtf8(html);
  std::vector<BubbleParagraph> paragraphs(1);
  int bold = 0;
  int larger = 0;
  std::vector<bool> fontLarger;  // one entry per open <font>
  int linkCommand = -2;          // -2: not inside a link
  auto newParagraph = [&](bool alignRight) {
    if (!paragraphs.back().runs.empty()) paragraphs.emplace_back();
    paragraphs.back().alignRight = alignRight;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<') {
      std::size_t close = text.find('>', i);
      if (close == std::string::npos) break;  // a tag cut short ends the text
      Tag tag = ParseTag(std::string_view(text).substr(i + 1, close - i - 1));
      i = close + 1;
      if (tag.name == "p" || tag.name == "br" || tag.name == "div") {
        auto align = tag.attributes.find("align");
        newParagraph(!tag.closing && align != tag.attributes.end() &&
                     EqualNoCase(align->second, "right"));
      } else if (tag.name == "b" || tag.name == "strong") {
        bold = tag.closing ? std::max(0, bold - 1) : bold + 1;
      } else if (tag.name == "font") {
        if (tag.closing) {
          if (!fontLarger.empty()) {
            if (fontLarger.back()) --larger;
            fontLarger.pop_back();
          }
        } else {
          auto size = tag.attributes.find("size");
          const bool up =
              size != tag.attributes.end() && !size->second.empty() && size->second[0] == '+';
          fontLarger.push_back(up);
          if (up) ++larger;
        }
      } else if (tag.name == "a") {
        linkCommand = tag.closing ? -2 : CommandOf(tag.attributes["href"]);
      } else if (tag.name == "input" && !tag.closing) {
        auto type = tag.attributes.find("type");
        if (type != tag.attributes.end() && EqualNoCase(type->second, "button")) {
          BubbleRun run;
          run.kind = BubbleRun::kButton;
          run.text = Utf8ToUtf16(DecodeEntities(tag.attributes["value"]));
          run.command = CommandOf(tag.attributes["name"]);
          paragraphs.back().runs.push_back(std::move(run));
        }
      }
      continue;
    }
    std::size_t next = text.find('<', i);
    if (next == std::string::npos) next = text.size();
    std::string piece = DecodeEntities(std::string_view(text).substr(i, next - i));
    i = next;
    // Line ends and runs of blanks show as one blank, as in any HTML.
    std::string folded;
    for (char c : piece) {
      const bool space = std::isspace(static_cast<unsigned char>(c));
      if (space && !folded.empty() && folded.back() == ' ') continue;
      folded += space ? ' ' : c;
    }
    if (folded.empty() || folded == " ") {
      if (folded == " " && !paragraphs.back().runs.empty()) {
        paragraphs.back().runs.back().text += u" ";
      }
      continue;
    }
    BubbleRun run;
    run.kind = linkCommand != -2 ? BubbleRun::kLink : BubbleRun::kText;
    run.command = linkCommand != -2 ? linkCommand : -1;
    run.text = Utf8ToUtf16(folded);
    run.bold = bold > 0;
    run.larger = larger > 0;
    paragraphs.back().runs.push_back(std::move(run));
  }
  if (paragraphs.back().runs.empty() && paragraphs.size() > 1) paragraphs.pop_back();
  return paragraphs;
}

}  // namespace quillet
