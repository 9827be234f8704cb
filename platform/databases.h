// Opening a root's databases: its registry and its object store (the property databases), and
// the database volumes the desktop mounts from files of their own. A program's main hands the
// implementation it chose to its contexts (PlatformServices); the system's code opens databases
// only through the context.
#pragma once

#include <memory>
#include <string>

#include "platform/property_db.h"
#include "platform/registry.h"

namespace quillet {

struct RootDatabases {
  std::unique_ptr<Registry> registry;
  std::unique_ptr<PropertyStore> objectStore;
};

class DatabaseFactory {
 public:
  virtual ~DatabaseFactory() = default;
  // Opens (creating when missing) the registry and the object store of the root folder `root`,
  // which must exist. `variant` names the storage layer they go through (for the SQLite
  // implementation a VFS; tests hand in one that fails chosen reads and writes); empty: the
  // default one. True with both members of *out set; false with nothing opened and *error (when
  // given) saying what could not be opened and why.
  virtual bool OpenRoot(const std::string& root, const std::string& variant, RootDatabases* out,
                        std::string* error) = 0;
  // A database volume kept in the host file `hostPath`, created when missing. Null (and *error
  // set when given) when the file cannot be opened or made.
  virtual std::unique_ptr<PropertyStore> MountVolume(const std::string& hostPath,
                                                     std::string* error) = 0;
};

}  // namespace quillet
