// Profile (INI) files as the desktop's profile functions read and write them: sections in
// square brackets, "key=value" lines below them, ';' comment lines. Section and key names are
// compared without regard to ASCII case; a value is read without the blanks around it and
// without one pair of double quotes around it. Bytes are the 8-bit ANSI code page.
//
// Unlike the original functions, which rewrite the file in place, every write replaces the
// whole file through FileSystem::ReplaceFile: a failure at any step leaves the previous file as
// it was. The file is owner-only (it can hold a password). Several changes can be made on one
// IniProfile and saved together, so that a set of settings is stored whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/win_types.h"

namespace quillet {

class IniProfile {
 public:
  // Reads the file at `path`. A missing file (or folder) gives an empty profile and 0, with
  // *existed false; a file that is there but cannot be read gives its error and leaves the
  // profile empty.
  static LONG Load(FileSystem& fs, const std::string& path, IniProfile* profile,
                   bool* existed = nullptr);
  // Parses the bytes of a file (CR LF, LF or CR line ends).
  static IniProfile Parse(std::string_view bytes);

  // The value of the key's first line in the section's first occurrence; nullopt when the
  // section or key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Sets the key (added at the end of the section, the section at the end of the file when
  // missing). A value is kept to its first line: a line break in it would start a line of its
  // own (a key the user never set) in the file. A value with blanks at either end or wrapped in
  // quotes is written in quotes so that it reads back as it was. False (nothing changed) for a
  // section or key name that cannot stand in the file: empty, with a line break, a key with
  // '=' or a leading ';' or '[', a section with ']'.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes the key's lines, or the whole section with its keys.
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);
  // Section names in file order, and the key names of one section.
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  // The file's bytes: every line as read (comments and unknown lines kept), new ones in CR LF.
  std::string Serialize() const;
  // Replaces the file at `path` with Serialize() (owner-only), through ReplaceFile.
  LONG Save(FileSystem& fs, const std::string& path) const;

 private:
  struct Line {
    enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
    std::string raw;    // the line as it stands in the file, without its end
    std::string name;   // section or key name, trimmed
    std::string value;  // key value as read (trimmed, quotes removed)
  };
  // Index of the section's header line, or npos.
  std::size_t FindSection(std::string_view section) const;
  // Index of the key's first line in the section's first occurrence, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const;
  // The end of the section starting at `header` (the next header or the end of the lines).
  std::size_t SectionEnd(std::size_t header) const;

  // Look-ups go through two hash tables of line numbers, so that reading or setting the
  // eighty-odd keys of a settings file does not walk its lines once per key. The first table
  // holds the header of each section's first occurrence; the second, each key line of such an
  // occurrence that is the first of its name there, with its header. Both use open addressing,
  // with names hashed and compared without case, and are never more than half full.
  struct KeySlot {
    std::uint32_t line;
    std::uint32_t header;
  };
  static constexpr std::uint32_t kFreeSlot = UINT32_MAX;
  // Rebuilds both tables from the lines (after lines were taken out, or a table filled up).
  void Reindex();
  // Enters the line of a header or key that the look-ups do not find yet; a full table is
  // rebuilt from the lines instead, which takes the line in with the rest.
  void IndexSection(std::size_t line);
  void IndexKey(std::size_t line, std::size_t header);
  // Every line number from `at` on moves down one, for a line inserted at `at`.
  void ShiftIndex(std::size_t at);

  std::vector<Line> lines_;
  std::vector<std::uint32_t> sectionSlots_;
  std::vector<KeySlot> keySlots_;
  std::size_t indexedSections_ = 0;
  std::size_t indexedKeys_ = 0;
};

// The profile calls of the desktop, one whole read or one atomic write of the file each.

// The value, or `def` when the key is missing; cut to bufferSize - 1 characters as the original
// copies it into a buffer of that size (bufferSize 0 gives an empty text).
std::string GetPrivateProfileString(FileSystem& fs, const std::string& path,
                                    std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t bufferSize);
// The value's number: optional blanks, an optional sign, then decimal digits (or "0x" and hex
// digits); text that does not start with a number gives 0. `def` when the key is missing.
// Numbers out of the 32-bit range keep their low 32 bits, as the original's do.
UINT GetPrivateProfileInt(FileSystem& fs, const std::string& path, std::string_view section,
                          std::string_view key, int def);
// Sets the key (nullopt: deletes it) and saves the file; 0 or the failing step's error.
LONG WritePrivateProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                               std::string_view key, std::optional<std::string_view> value);

// The number GetPrivateProfileInt reads from a value's text.
UINT ProfileNumber(std::string_view text);

}  // namespace quillet
