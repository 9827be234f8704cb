// One root's operating-system services, handed to the system's code at start-up: the root
// folder and its path mapping, the file system, the registry, the calendar clock and the steady
// clock, sockets, the dialler, the window station, the locale, the message boxes and the
// settings the program was started with. A program's main chooses the real implementations
// (HostServices, platform/linux) and opens its contexts with them; nothing below main makes a
// service of its own. Tests open a context on a fresh temporary root and replace any service as
// they need.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/databases.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/http_transport.h"
#include "platform/locale_settings.h"
#include "platform/message_box.h"
#include "platform/monotonic_clock.h"
#include "platform/property_db.h"
#include "platform/ras_dial.h"
#include "platform/registry.h"
#include "platform/socket.h"

namespace quillet {

class WindowMessages;
class WindowStation;

// The services a main hands to the contexts it opens. They are not owned: they must outlive
// every context opened with them.
struct PlatformServices {
  FileSystem& files;
  Clock& clock;
  MonotonicClock& ticks;
  SocketFactory& sockets;
  DatabaseFactory& databases;
  EnvironmentSettings settings;
  // HTTP(S) for user-defined quote sources; null where the program has none (such sources then
  // fail with a log line).
  HttpTransport* http = nullptr;
};

class PlatformContext {
 public:
  enum class Kind { kDevice, kDesktop };

  // Creates the root folder (through the services' file system) when missing and opens its
  // registry and object store through the services' database factory. Null (and *error set) when
  // the root cannot be used. `sqliteVfs` names the SQLite VFS the root's database goes through
  // (tests hand in one that fails chosen reads and writes); empty: the default one.
  static std::unique_ptr<PlatformContext> Open(Kind kind, const std::string& root,
                                               const PlatformServices& services,
                                               std::string* error = nullptr,
                                               const std::string& sqliteVfs = {});

  Kind kind() const { return kind_; }
  const std::string& root() const { return root_; }
  // A handheld path (device) or a desktop path (desktop) mapped into the root.
  std::optional<std::string> HostPath(std::string_view windowsPath) const;

  // The file system the context was opened with, unless a test set another (null: back to the
  // one it was opened with).
  FileSystem& files() { return *files_; }
  void SetFiles(FileSystem* files) { files_ = files ? files : baseFiles_; }
  Registry& registry() { return *registry_; }
  // The property databases of the root (the handheld's object store).
  PropertyStore& objectStore() { return *objectStore_; }
  // A database volume in its own host file, created when missing (the desktop's mounted
  // volume). Null (and *error set) when it cannot be opened.
  // How this context's databases were opened; a second root (the connected device) is opened
  // the same way.
  DatabaseFactory& databases() { return *databases_; }
  std::unique_ptr<PropertyStore> MountVolume(const std::string& hostPath,
                                             std::string* error = nullptr) {
    return databases_->MountVolume(hostPath, error);
  }
  // Calendar time: "now" of every date the system stores.
  Clock& clock() { return *clock_; }
  void SetClock(Clock& clock) { clock_ = &clock; }
  // Elapsed time and waits: time-outs, polling.
  MonotonicClock& ticks() { return *ticks_; }
  void SetTicks(MonotonicClock& ticks) { ticks_ = &ticks; }
  SocketFactory& sockets() { return *sockets_; }
  // Null when the program was started without one.
  HttpTransport* http() { return http_; }
  void SetHttp(HttpTransport* http) { http_ = http; }
  void SetSockets(SocketFactory& sockets) { sockets_ = &sockets; }
  // The dial-up stand-in of this root's phone book, unless a test set another (null: back to
  // the phone book's).
  RasDialer& dialer() { return *dialer_; }
  void SetDialer(RasDialer* dialer) { dialer_ = dialer ? dialer : phoneBook_.get(); }
  // The top-level windows of the root that other processes reach, when this process has any
  // (the handheld program does; tools and most tests do not): null otherwise.
  WindowStation* windowStation() { return station_; }
  // Where broadcasts to every window go: the window station, or a recorder a test set; null
  // when nobody listens.
  WindowMessages* windowMessages() { return messages_; }
  // Sets both; a null station leaves no windows and sends broadcasts nowhere.
  void SetWindowStation(WindowStation* station);
  void SetWindowMessages(WindowMessages* messages) { messages_ = messages; }
  MessageBoxes& messageBoxes() { return messageBoxes_; }
  // Read from the registry when the context opens; ReloadLocale reads them again.
  const LocaleSettings& locale() const { return locale_; }
  void ReloadLocale() { locale_ = ReadLocaleSettings(*registry_); }
  // The services the context was opened with, for a library loaded into this process that
  // opens a context of its own on the same machine.
  const PlatformServices& openedWith() const { return openedWith_; }
  // What the program was started with (roots, a fixed time, the quote server).
  const EnvironmentSettings& settings() const { return settings_; }
  EnvironmentSettings& settings() { return settings_; }

  // The Windows path of the running program ("\Program Files\Quillet\Quillet.exe"), as the
  // original's GetModuleFileName gives it.
  const std::string& programPath() const { return programPath_; }
  void SetProgramPath(std::string path) { programPath_ = std::move(path); }

 private:
  explicit PlatformContext(const PlatformServices& services);
  PlatformServices openedWith_;
  Kind kind_ = Kind::kDevice;
  std::string root_;
  FileSystem* baseFiles_;
  FileSystem* files_;
  DatabaseFactory* databases_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<PropertyStore> objectStore_;
  Clock* clock_;
  MonotonicClock* ticks_;
  SocketFactory* sockets_;
  HttpTransport* http_ = nullptr;
  std::unique_ptr<RasDialer> phoneBook_;
  RasDialer* dialer_ = nullptr;
  WindowStation* station_ = nullptr;
  WindowMessages* messages_ = nullptr;
  MessageBoxes messageBoxes_;
  LocaleSettings locale_;
  EnvironmentSettings settings_;
  std::string programPath_;
};

}  // namespace quillet
