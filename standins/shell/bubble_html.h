// The part of HTML that a notification bubble shows: paragraphs (optionally right-aligned), bold
// and larger text, links whose target is "cmd:N" and buttons named "cmd:N". Everything else is
// left out and its text kept. A link or button answers with command N to the notification's sink.
#pragma once

#include <string>
#include <vector>

namespace quillet {

struct BubbleRun {
  enum Kind { kText, kLink, kButton };
  Kind kind = kText;
  std::u16string text;
  bool bold = false;
  bool larger = false;
  int command = -1;  // for links and buttons: N of "cmd:N", -1 when it names no command
};

struct BubbleParagraph {
  bool alignRight = false;
  std::vector<BubbleRun> runs;
};

std::vector<BubbleParagraph> ParseBubbleHtml(std::u16string_view html);

}  // namespace quillet
