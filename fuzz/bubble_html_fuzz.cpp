// The HTML of a notification bubble, which any program of the handheld hands to the shell.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codepage.h"
#include "standins/shell/bubble_html.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  quillet::ParseBubbleHtml(quillet::Utf8ToUtf16(text));
  return 0;
}
