// Feeds arbitrary bytes as the desktop's INI file to the reader of the user's source
// definitions: each "QuoteSource" section is parsed as a definition. A definition that is
// accepted must write back to fields that read as the same definition, and must build its URLs
// without trouble.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "platform/ini_profile.h"
#include "quotes/user_source.h"
#include "quotes/user_source_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const quillet::IniProfile profile = quillet::IniProfile::Parse(bytes);
  // A section written twice reads as its first occurrence: the repeat would test nothing new.
  std::set<std::string> seen;
  for (const std::string& section : profile.Sections()) {
    if (!seen.insert(section).second) continue;
    std::string name = section;
    if (name.rfind(quillet::kIniSourcePrefix, 0) == 0) {
      name = name.substr(sizeof quillet::kIniSourcePrefix - 1);
    }
    quillet::SourceFields fields;
    for (const std::string& key : profile.Keys(section)) {
      fields[key] = profile.Get(section, key).value_or("");
    }
    std::string error;
    auto source = quillet::ParseUserSource(name, fields, &error);
    if (!source) {
      if (error.empty()) __builtin_trap();  // a refusal always says why
      continue;
    }
    auto again = quillet::ParseUserSource(name, quillet::UserSourceFields(*source), &error);
    if (!again) __builtin_trap();
    if (quillet::UserSourceFields(*again) != quillet::UserSourceFields(*source)) __builtin_trap();
    const std::string url = quillet::QuoteUrlFor(*source, {"IBM", "A B&c"});
    if (url.find(' ') != std::string::npos || url.find("{symbols}") != std::string::npos) {
      __builtin_trap();
    }
    if (!source->historyUrl.empty()) {
      // Every place is filled: none is left for the server to see.
      const std::string history = quillet::HistoryUrlFor(*source, "VOD.L", 0, 1051891200);
      for (const char* place : {"{symbol}", "{from}", "{to}"}) {
        if (history.find(place) != std::string::npos) __builtin_trap();
      }
    }
  }
  return 0;
}
