// One root's operating-system services, handed to the system's code at start-up: the root
// folder and its path mapping, the file system, the registry, the clock, the locale and the
// message boxes. Tests make a context on a fresh temporary root and replace the file system,
// the clock or the answerer as they need.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_settings.h"
#include "platform/message_box.h"
#include "platform/property_db.h"
#include "platform/registry.h"

namespace quillet {

class PlatformContext {
 public:
  enum class Kind { kDevice, kDesktop };

  // Creates the root folder when missing and opens its registry. Null (and *error set) when
  // the root cannot be used. `sqliteVfs` names the SQLite VFS the root's database goes through
  // (tests hand in one that fails chosen reads and writes); empty: the default one.
  static std::unique_ptr<PlatformContext> Open(Kind kind, const std::string& root,
                                               std::string* error = nullptr,
                                               const std::string& sqliteVfs = {});

  Kind kind() const { return kind_; }
  const std::string& root() const { return root_; }
  // A handheld path (device) or a desktop path (desktop) mapped into the root.
  std::optional<std::string> HostPath(std::string_view windowsPath) const;

  FileSystem& files() { return *files_; }
  void SetFiles(FileSystem* files) { files_ = files ? files : &PosixFiles(); }
  Registry& registry() { return *registry_; }
  // The property databases of the root (the handheld's object store).
  PropertyStore& objectStore() { return *objectStore_; }
  std::shared_ptr<SqliteDb> database() { return db_; }
  Clock& clock() { return *clock_; }
  void SetClock(Clock* clock) { clock_ = clock ? clock : &DefaultClock(); }
  MessageBoxes& messageBoxes() { return messageBoxes_; }
  // Read from the registry when the context opens; ReloadLocale reads them again.
  const LocaleSettings& locale() const { return locale_; }
  void ReloadLocale() { locale_ = ReadLocaleSettings(*registry_); }

  // The Windows path of the running program ("\Program Files\Quillet\Quillet.exe"), as the
  // original's GetModuleFileName gives it.
  const std::string& programPath() const { return programPath_; }
  void SetProgramPath(std::string path) { programPath_ = std::move(path); }

 private:
  PlatformContext() = default;
  Kind kind_ = Kind::kDevice;
  std::string root_;
  FileSystem* files_ = &PosixFiles();
  std::shared_ptr<SqliteDb> db_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<PropertyStore> objectStore_;
  Clock* clock_ = &DefaultClock();
  MessageBoxes messageBoxes_;
  LocaleSettings locale_;
  std::string programPath_;
};

}  // namespace quillet
