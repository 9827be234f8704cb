#include "quotes/user_source_store.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/ini_profile.h"
#include "platform/registry.h"

namespace quillet {
namespace {

constexpr LONG kErrorInvalidData = ERROR_INVALID_DATA;
constexpr LONG kErrorNotFound = ERROR_FILE_NOT_FOUND;
constexpr LONG kErrorNoMoreItems = 259;

std::u16string Wide(std::string_view text) { return AnsiToUtf16(text); }
std::string Narrow(std::u16string_view text) { return Utf16ToAnsi(text); }

class RegistrySettings final : public SourceSettings {
 public:
  explicit RegistrySettings(Registry& registry) : reg_(registry) {}

  LONG Names(std::vector<std::string>* names) override {
    names->clear();
    HKEY key{};
    LONG rc = reg_.OpenKey(HKEY_CURRENT_USER, kSourcesKey, &key);
    if (rc == kErrorNotFound) return 0;
    if (rc != 0) return rc;
    std::u16string name;
    DWORD i = 0;
    for (; (rc = reg_.EnumKey(key, i, &name)) == 0; ++i) names->push_back(Narrow(name));
    reg_.CloseKey(key);
    return rc == kErrorNoMoreItems ? 0 : rc;
  }

  std::optional<SourceFields> Fields(std::string_view name) override {
    HKEY key{};
    const std::u16string path = std::u16string(kSourcesKey) + u"\\" + Wide(name);
    if (reg_.OpenKey(HKEY_CURRENT_USER, path, &key) != 0) return std::nullopt;
    SourceFields fields;
    std::u16string valueName;
    DWORD type = 0;
    std::string data;
    for (DWORD i = 0; reg_.EnumValue(key, i, &valueName, &type, &data) == 0; ++i) {
      if (type == REG_SZ) fields[Narrow(valueName)] = Narrow(DecodeRegString(data));
    }
    reg_.CloseKey(key);
    return fields;
  }

  LONG Routes(std::array<std::string, kMarketCount>* routes) override {
    routes->fill({});
    for (int m = 0; m < kMarketCount; ++m) {
      std::u16string value;
      LONG rc = reg_.GetString(HKEY_CURRENT_USER, kRoutesKey, Wide(std::to_string(m)), &value);
      if (rc == kErrorNotFound) continue;
      if (rc != 0) return rc;
      (*routes)[static_cast<std::size_t>(m)] = Narrow(value);
    }
    return 0;
  }

  LONG Write(const std::vector<std::pair<std::string, SourceFields>>& put,
             const std::vector<std::string>& remove,
             const std::array<std::string, kMarketCount>& routes) override {
    Registry::Transaction tx(reg_);
    if (!tx.active()) return 5;
    for (const std::string& name : remove) {
      LONG rc =
          reg_.DeleteTree(HKEY_CURRENT_USER, std::u16string(kSourcesKey) + u"\\" + Wide(name));
      if (rc != 0 && rc != kErrorNotFound) return rc;
    }
    for (const auto& [name, fields] : put) {
      const std::u16string path = std::u16string(kSourcesKey) + u"\\" + Wide(name);
      LONG rc = reg_.DeleteTree(HKEY_CURRENT_USER, path);
      if (rc != 0 && rc != kErrorNotFound) return rc;
      for (const auto& [field, value] : fields) {
        rc = reg_.SetString(HKEY_CURRENT_USER, path, Wide(field), Wide(value));
        if (rc != 0) return rc;
      }
    }
    LONG rc = reg_.DeleteTree(HKEY_CURRENT_USER, kRoutesKey);
    if (rc != 0 && rc != kErrorNotFound) return rc;
    for (int m = 0; m < kMarketCount; ++m) {
      const std::string& name = routes[static_cast<std::size_t>(m)];
      if (name.empty()) continue;
      rc = reg_.SetString(HKEY_CURRENT_USER, kRoutesKey, Wide(std::to_string(m)), Wide(name));
      if (rc != 0) return rc;
    }
    return tx.Commit() ? 0 : 5;
  }

 private:
  Registry& reg_;
};

class IniSettings final : public SourceSettings {
 public:
  IniSettings(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

  LONG Names(std::vector<std::string>* names) override {
    names->clear();
    IniProfile profile;
    if (LONG rc = IniProfile::Load(files_, path_, &profile)) return rc;
    for (const std::string& section : profile.Sections()) {
      if (StartsWithNoCase(section, kIniSourcePrefix)) {
        names->push_back(section.substr(sizeof kIniSourcePrefix - 1));
      }
    }
    return 0;
  }

  std::optional<SourceFields> Fields(std::string_view name) override {
    IniProfile profile;
    if (IniProfile::Load(files_, path_, &profile) != 0) return std::nullopt;
    const std::string section = kIniSourcePrefix + std::string(name);
    bool found = false;
    for (const std::string& s : profile.Sections()) found = found || EqualNoCase(s, section);
    if (!found) return std::nullopt;
    SourceFields fields;
    for (const std::string& key : profile.Keys(section)) {
      fields[ToLowerAscii(key)] = profile.Get(section, key).value_or("");
    }
    return fields;
  }

  LONG Routes(std::array<std::string, kMarketCount>* routes) override {
    routes->fill({});
    IniProfile profile;
    if (LONG rc = IniProfile::Load(files_, path_, &profile)) return rc;
    for (int m = 0; m < kMarketCount; ++m) {
      (*routes)[static_cast<std::size_t>(m)] =
          profile.Get(kIniRoutesSection, std::to_string(m)).value_or("");
    }
    return 0;
  }

  LONG Write(const std::vector<std::pair<std::string, SourceFields>>& put,
             const std::vector<std::string>& remove,
             const std::array<std::string, kMarketCount>& routes) override {
    // One file, saved through the replace-file operation: the whole change or none of it.
    IniProfile profile;
    LONG rc = IniProfile::Load(files_, path_, &profile);
    if (rc != 0) return rc;
    for (const std::string& name : remove) profile.DeleteSection(kIniSourcePrefix + name);
    for (const auto& [name, fields] : put) {
      const std::string section = kIniSourcePrefix + name;
      profile.DeleteSection(section);
      for (const auto& [field, value] : fields) {
        if (!profile.Set(section, field, value)) return kErrorInvalidData;
      }
    }
    profile.DeleteSection(kIniRoutesSection);
    for (int m = 0; m < kMarketCount; ++m) {
      const std::string& name = routes[static_cast<std::size_t>(m)];
      if (!name.empty() && !profile.Set(kIniRoutesSection, std::to_string(m), name)) {
        return kErrorInvalidData;
      }
    }
    return profile.Save(files_, path_);
  }

 private:
  FileSystem& files_;
  std::string path_;
};

// The stored names and routes, read before anything is written: a change is made to what is
// stored, never to what a failed read left empty.
struct Stored {
  std::vector<std::string> names;
  std::array<std::string, kMarketCount> routes;
  std::optional<std::string> NameOf(std::string_view name) const {
    for (const std::string& s : names) {
      if (EqualNoCase(s, name)) return s;
    }
    return std::nullopt;
  }
};

LONG ReadStored(SourceSettings& settings, Stored* stored, std::string* error) {
  LONG rc = settings.Names(&stored->names);
  if (rc == 0) rc = settings.Routes(&stored->routes);
  if (rc != 0) *error = "the stored sources cannot be read (error " + std::to_string(rc) + ")";
  return rc;
}

}  // namespace

const UserSource* SourceBook::Find(std::string_view name) const {
  for (const UserSource& s : sources) {
    if (EqualNoCase(s.name, name)) return &s;
  }
  return nullptr;
}

const UserSource* SourceBook::RouteOf(int market) const {
  if (market < 0 || market >= kMarketCount) return nullptr;
  const std::string& name = routes[static_cast<std::size_t>(market)];
  return name.empty() ? nullptr : Find(name);
}

std::unique_ptr<SourceSettings> RegistrySourceSettings(Registry& registry) {
  return std::make_unique<RegistrySettings>(registry);
}

std::unique_ptr<SourceSettings> IniSourceSettings(FileSystem& files, std::string hostPath) {
  return std::make_unique<IniSettings>(files, std::move(hostPath));
}

SourceBook LoadSourceBook(SourceSettings& settings) {
  SourceBook book;
  std::vector<std::string> names;
  if (LONG rc = settings.Names(&names)) {
    book.problems.push_back("the stored sources cannot be read (error " + std::to_string(rc) + ")");
  }
  for (const std::string& name : names) {
    std::optional<SourceFields> fields = settings.Fields(name);
    if (!fields) continue;
    std::string error;
    if (auto source = ParseUserSource(name, *fields, &error)) {
      book.sources.push_back(std::move(*source));
    } else {
      book.problems.push_back(name + ": " + error);
    }
  }
  std::sort(book.sources.begin(), book.sources.end(),
            [](const UserSource& a, const UserSource& b) { return a.name < b.name; });
  if (LONG rc = settings.Routes(&book.routes)) {
    book.problems.push_back("the routes cannot be read (error " + std::to_string(rc) + ")");
  }
  for (int m = 0; m < kMarketCount; ++m) {
    const std::string& name = book.routes[static_cast<std::size_t>(m)];
    if (!name.empty() && book.Find(name) == nullptr) {
      book.problems.push_back(std::string(GetMarketName(m)) + " is routed to " + name +
                              ", which is not a usable source; its table source is used");
    }
  }
  return book;
}

LONG SaveUserSource(SourceSettings& settings, std::string_view name, const SourceFields& fields,
                    std::string* error) {
  std::optional<UserSource> source = ParseUserSource(name, fields, error);
  if (!source) return kErrorInvalidData;
  Stored now;
  if (LONG rc = ReadStored(settings, &now, error)) return rc;
  // A source keeps the spelling it was first stored with, so routes to it still find it.
  const std::string stored = now.NameOf(name).value_or(std::string(name));
  LONG rc = settings.Write({{stored, UserSourceFields(*source)}}, {}, now.routes);
  if (rc != 0) *error = "the source could not be stored (error " + std::to_string(rc) + ")";
  return rc;
}

LONG RemoveUserSource(SourceSettings& settings, std::string_view name, std::string* error) {
  Stored now;
  if (LONG rc = ReadStored(settings, &now, error)) return rc;
  std::optional<std::string> stored = now.NameOf(name);
  if (!stored) {
    *error = "there is no source named " + std::string(name);
    return kErrorNotFound;
  }
  std::array<std::string, kMarketCount> routes = now.routes;
  for (std::string& route : routes) {
    if (EqualNoCase(route, *stored)) route.clear();
  }
  LONG rc = settings.Write({}, {*stored}, routes);
  if (rc != 0) *error = "the source could not be removed (error " + std::to_string(rc) + ")";
  return rc;
}

LONG RouteMarket(SourceSettings& settings, int market, std::string_view name, std::string* error) {
  if (market < 0 || market >= kMarketCount) {
    *error = "there is no market " + std::to_string(market);
    return kErrorInvalidData;
  }
  Stored now;
  if (LONG rc = ReadStored(settings, &now, error)) return rc;
  std::array<std::string, kMarketCount> routes = now.routes;
  std::string target;
  if (!name.empty()) {
    std::optional<std::string> stored = now.NameOf(name);
    if (!stored) {
      *error = "there is no source named " + std::string(name);
      return kErrorNotFound;
    }
    target = *stored;
  }
  routes[static_cast<std::size_t>(market)] = target;
  LONG rc = settings.Write({}, {}, routes);
  if (rc != 0) *error = "the route could not be stored (error " + std::to_string(rc) + ")";
  return rc;
}

}  // namespace quillet
