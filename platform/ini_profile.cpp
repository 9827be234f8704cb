#include "platform/ini_profile.h"

#include "platform/ascii.h"

namespace quillet {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

// A value as the profile functions hand it back: trimmed, then one pair of quotes removed.
std::string ReadValue(std::string_view raw) {
  std::string_view v = Trim(raw);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// FNV-1a over the lower-cased bytes, continuing from `h`.
std::uint64_t HashNoCase(std::string_view name, std::uint64_t h = 14695981039346656037ull) {
  for (char c : name) h = (h ^ static_cast<unsigned char>(ToLowerAscii(c))) * 1099511628211ull;
  return h;
}

std::uint64_t HashKey(std::string_view section, std::string_view key) {
  // The line break between the two names cannot stand in either.
  return HashNoCase(key, HashNoCase("\n", HashNoCase(section)));
}

// A table size for `entries`: a power of two at least twice as large.
std::size_t SlotsFor(std::size_t entries) {
  std::size_t slots = 16;
  while (slots < 2 * entries + 2) slots *= 2;
  return slots;
}

}  // namespace

IniProfile IniProfile::Parse(std::string_view bytes) {
  IniProfile profile;
  std::size_t breaks = 0;
  for (char c : bytes) breaks += c == '\n' || c == '\r';
  profile.lines_.reserve(breaks + 1);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    Line line;
    line.raw = std::string(bytes.substr(pos, end - pos));
    const std::string_view text = Trim(line.raw);
    if (!text.empty() && text.front() == '[') {
      const auto close = text.find(']');
      if (close != std::string_view::npos) {
        line.kind = Line::Kind::kSection;
        line.name = std::string(Trim(text.substr(1, close - 1)));
      }
    } else if (!text.empty() && text.front() != ';') {
      const auto eq = text.find('=');
      if (eq != std::string_view::npos && eq > 0) {
        line.kind = Line::Kind::kKey;
        line.name = std::string(Trim(text.substr(0, eq)));
        line.value = ReadValue(text.substr(eq + 1));
      }
    }
    profile.lines_.push_back(std::move(line));
    // One line end: CR LF, LF or CR.
    if (end < bytes.size()) {
      end += bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
    }
    pos = end;
  }
  profile.Reindex();
  return profile;
}

LONG IniProfile::Load(FileSystem& fs, const std::string& path, IniProfile* profile, bool* existed) {
  *profile = IniProfile();
  if (existed) *existed = false;
  std::string bytes;
  const LONG rc = fs.ReadAll(path, &bytes);
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  if (existed) *existed = true;
  *profile = Parse(bytes);
  return ERROR_SUCCESS;
}

void IniProfile::Reindex() {
  std::size_t sections = 0, keys = 0;
  for (const Line& line : lines_) {
    sections += line.kind == Line::Kind::kSection;
    keys += line.kind == Line::Kind::kKey;
  }
  sectionSlots_.assign(SlotsFor(sections), kFreeSlot);
  keySlots_.assign(SlotsFor(keys), KeySlot{kFreeSlot, kFreeSlot});
  indexedSections_ = indexedKeys_ = 0;
  std::size_t header = std::string::npos;
  bool first = false;  // whether the section `header` opens is the first of its name
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Line::Kind::kSection) {
      header = i;
      first = FindSection(line.name) == std::string::npos;
      if (first) IndexSection(i);
    } else if (line.kind == Line::Kind::kKey && first &&
               FindKey(lines_[header].name, line.name) == std::string::npos) {
      // Keys of a section's later occurrences are never looked up: the first one answers.
      IndexKey(i, header);
    }
  }
}

void IniProfile::IndexSection(std::size_t line) {
  if (2 * (indexedSections_ + 1) > sectionSlots_.size()) return Reindex();
  const std::size_t mask = sectionSlots_.size() - 1;
  std::size_t slot = HashNoCase(lines_[line].name) & mask;
  while (sectionSlots_[slot] != kFreeSlot) slot = (slot + 1) & mask;
  sectionSlots_[slot] = static_cast<std::uint32_t>(line);
  ++indexedSections_;
}

void IniProfile::IndexKey(std::size_t line, std::size_t header) {
  if (2 * (indexedKeys_ + 1) > keySlots_.size()) return Reindex();
  const std::size_t mask = keySlots_.size() - 1;
  std::size_t slot = HashKey(lines_[header].name, lines_[line].name) & mask;
  while (keySlots_[slot].line != kFreeSlot) slot = (slot + 1) & mask;
  keySlots_[slot] = {static_cast<std::uint32_t>(line), static_cast<std::uint32_t>(header)};
  ++indexedKeys_;
}

void IniProfile::ShiftIndex(std::size_t at) {
  for (std::uint32_t& line : sectionSlots_) {
    if (line != kFreeSlot && line >= at) ++line;
  }
  for (KeySlot& slot : keySlots_) {
    if (slot.line == kFreeSlot) continue;
    if (slot.line >= at) ++slot.line;
    if (slot.header >= at) ++slot.header;
  }
}

std::size_t IniProfile::FindSection(std::string_view section) const {
  if (sectionSlots_.empty()) return std::string::npos;
  const std::size_t mask = sectionSlots_.size() - 1;
  for (std::size_t slot = HashNoCase(section) & mask; sectionSlots_[slot] != kFreeSlot;
       slot = (slot + 1) & mask) {
    if (EqualNoCase(lines_[sectionSlots_[slot]].name, section)) return sectionSlots_[slot];
  }
  return std::string::npos;
}

std::size_t IniProfile::FindKey(std::string_view section, std::string_view key) const {
  if (keySlots_.empty()) return std::string::npos;
  const std::size_t mask = keySlots_.size() - 1;
  for (std::size_t slot = HashKey(section, key) & mask; keySlots_[slot].line != kFreeSlot;
       slot = (slot + 1) & mask) {
    const KeySlot& entry = keySlots_[slot];
    if (EqualNoCase(lines_[entry.line].name, key) &&
        EqualNoCase(lines_[entry.header].name, section)) {
      return entry.line;
    }
  }
  return std::string::npos;
}

std::size_t IniProfile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Line::Kind::kSection) ++i;
  return i;
}

std::optional<std::string> IniProfile::Get(std::string_view section, std::string_view key) const {
  const std::size_t at = FindKey(section, key);
  if (at == std::string::npos) return std::nullopt;
  return lines_[at].value;
}

bool IniProfile::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      key.front() == ';' || key.front() == '[') {
    return false;
  }
  value = value.substr(0, value.find_first_of("\r\n"));
  Line line;
  line.kind = Line::Kind::kKey;
  line.name = std::string(key);
  line.value = std::string(value);
  const bool quote =
      !value.empty() && (Trim(value).size() != value.size() ||
                         (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
  line.raw = line.name + "=" + (quote ? "\"" + line.value + "\"" : line.value);

  const std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    Line head;
    head.kind = Line::Kind::kSection;
    head.name = std::string(section);
    head.raw = "[" + head.name + "]";
    const std::size_t at = lines_.size();
    lines_.push_back(std::move(head));
    lines_.push_back(std::move(line));
    IndexSection(at);
    // A full table was rebuilt from the lines, which already hold the key.
    if (FindKey(section, key) == std::string::npos) IndexKey(at + 1, at);
    return true;
  }
  if (const std::size_t at = FindKey(section, key); at != std::string::npos) {
    lines_[at] = std::move(line);  // the same name but for case: the tables stay right
    return true;
  }
  // After the section's last line that is not blank, so that a blank line kept between two
  // sections stays between them.
  std::size_t insertAt = SectionEnd(header);
  while (insertAt > header + 1 && Trim(lines_[insertAt - 1].raw).empty()) --insertAt;
  ShiftIndex(insertAt);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
  IndexKey(insertAt, header);
  return true;
}

void IniProfile::DeleteKey(std::string_view section, std::string_view key) {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return;
  std::size_t end = SectionEnd(header);
  bool erased = false;
  for (std::size_t i = header + 1; i < end;) {
    if (lines_[i].kind == Line::Kind::kKey && EqualNoCase(lines_[i].name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      --end;
      erased = true;
    } else {
      ++i;
    }
  }
  if (erased) Reindex();
}

void IniProfile::DeleteSection(std::string_view section) {
  for (std::size_t header = FindSection(section); header != std::string::npos;
       header = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    Reindex();
  }
}

std::vector<std::string> IniProfile::Sections() const {
  std::vector<std::string> names;
  for (const Line& l : lines_) {
    if (l.kind == Line::Kind::kSection) names.push_back(l.name);
  }
  return names;
}

std::vector<std::string> IniProfile::Keys(std::string_view section) const {
  std::vector<std::string> names;
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return names;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == Line::Kind::kKey) names.push_back(lines_[i].name);
  }
  return names;
}

std::string IniProfile::Serialize() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.raw;
    out += "\r\n";
  }
  return out;
}

LONG IniProfile::Save(FileSystem& fs, const std::string& path) const {
  // A temporary file left by a save that was cut short may carry wider permissions than the
  // owner-only ones a new file gets; truncating it would keep them.
  fs.Delete(path + std::string(FileSystem::kReplaceSuffix));
  return fs.ReplaceFile(path, Serialize());
}

std::string GetPrivateProfileString(FileSystem& fs, const std::string& path,
                                    std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t bufferSize) {
  IniProfile profile;
  std::string value(def);
  if (IniProfile::Load(fs, path, &profile) == ERROR_SUCCESS) {
    if (auto found = profile.Get(section, key)) value = *found;
  }
  if (bufferSize == 0) return {};
  if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
  return value;
}

UINT ProfileNumber(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::uint32_t n = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    for (char c : text.substr(2)) {
      int d = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : -1;
      if (d < 0) break;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
  } else {
    for (char c : text) {
      if (c < '0' || c > '9') break;
      n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
  }
  return negative ? 0u - n : n;
}

UINT GetPrivateProfileInt(FileSystem& fs, const std::string& path, std::string_view section,
                          std::string_view key, int def) {
  IniProfile profile;
  if (IniProfile::Load(fs, path, &profile) == ERROR_SUCCESS) {
    if (auto found = profile.Get(section, key)) return ProfileNumber(*found);
  }
  return static_cast<UINT>(def);
}

LONG WritePrivateProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                               std::string_view key, std::optional<std::string_view> value) {
  IniProfile profile;
  // A file that cannot be read is not replaced: writing one key over it would lose the rest.
  if (LONG rc = IniProfile::Load(fs, path, &profile)) return rc;
  if (value) {
    if (!profile.Set(section, key, *value)) return ERROR_INVALID_PARAMETER;
  } else {
    profile.DeleteKey(section, key);
  }
  return profile.Save(fs, path);
}

}  // namespace quillet
