// Where the user's quote sources and the markets routed to them are kept: on the handheld under
// the product key in its registry ("...\QuoteSources\<name>", one string value per field, and
// "...\QuoteRoutes", one value per routed market number), on the desktop in its INI file
// (a section "QuoteSource <name>" per source, and "QuoteRoutes"). Both read the same fields the
// same way through ParseUserSource. A definition is checked before anything is written, and
// written whole or not at all.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/quote_tables.h"
#include "platform/win_types.h"
#include "quotes/user_source.h"

namespace quillet {

class FileSystem;
class Registry;

inline constexpr char16_t kSourcesKey[] = u"SOFTWARE\\Marrowby\\Quillet\\QuoteSources";
inline constexpr char16_t kRoutesKey[] = u"SOFTWARE\\Marrowby\\Quillet\\QuoteRoutes";
inline constexpr char kIniSourcePrefix[] = "QuoteSource ";
inline constexpr char kIniRoutesSection[] = "QuoteRoutes";

// The stored sources and routes, as a run uses them.
struct SourceBook {
  std::vector<UserSource> sources;    // the usable definitions, by name
  std::vector<std::string> problems;  // "<name>: <field>: <why>" for stored ones that are not
  std::array<std::string, kMarketCount> routes;  // a source name per market, "" for the table's

  const UserSource* Find(std::string_view name) const;
  // The source a market is routed to, or null (its table source; also when the route names a
  // source that is not usable, which is then in problems).
  const UserSource* RouteOf(int market) const;
  bool Routed(int market) const { return RouteOf(market) != nullptr; }
};

// One side's storage of raw fields; the operations below check and combine them.
class SourceSettings {
 public:
  virtual ~SourceSettings() = default;
  // 0, or a Win32 error when the stored settings cannot be read (nothing may then be written
  // over them).
  virtual LONG Names(std::vector<std::string>* names) = 0;
  virtual std::optional<SourceFields> Fields(std::string_view name) = 0;
  // Replaces the stored fields of `name` and sets `routes` together (all or nothing). 0 or a
  // Win32 error.
  virtual LONG Write(const std::vector<std::pair<std::string, SourceFields>>& put,
                     const std::vector<std::string>& remove,
                     const std::array<std::string, kMarketCount>& routes) = 0;
  virtual LONG Routes(std::array<std::string, kMarketCount>* routes) = 0;
};

// The handheld's registry.
std::unique_ptr<SourceSettings> RegistrySourceSettings(Registry& registry);
// The desktop's INI file at `hostPath` (a missing file is an empty one).
std::unique_ptr<SourceSettings> IniSourceSettings(FileSystem& files, std::string hostPath);

SourceBook LoadSourceBook(SourceSettings& settings);

// Checks and stores a definition (a new one, or one replacing the one of that name). 0, or a
// Win32 error with *error saying why; nothing is stored when the definition is refused.
LONG SaveUserSource(SourceSettings& settings, std::string_view name, const SourceFields& fields,
                    std::string* error);
// Removes a definition and the routes to it. 2 when there is none.
LONG RemoveUserSource(SourceSettings& settings, std::string_view name, std::string* error);
// Routes a market to a stored source, or back to its table source when `name` is empty.
LONG RouteMarket(SourceSettings& settings, int market, std::string_view name, std::string* error);

}  // namespace quillet
