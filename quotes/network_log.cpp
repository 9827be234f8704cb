#include "quotes/network_log.h"

#include <cstdarg>
#include <cstdio>

namespace quillet {

std::string FormatLogLine(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return {};
  return line;
}

void NetworkLog::Append(std::string_view line) {
  text_.append(line);
  text_.append("\r\n");
  if (listener_) listener_(line);
}

}  // namespace quillet
