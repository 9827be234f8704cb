// The SQLite implementation of a root's databases: the registry and the object store share one
// connection to "<root>/system.db"; a mounted volume is a SQLite file of its own.
#pragma once

#include "platform/databases.h"
#include "platform/linux/sqlite_db.h"

namespace quillet {

class SqliteDatabaseFactory final : public DatabaseFactory {
 public:
  // `defaultVfs` is the VFS a root or volume goes through when the caller names none (the kill
  // point's, in a kill test); empty: SQLite's default.
  explicit SqliteDatabaseFactory(std::string defaultVfs = {})
      : defaultVfs_(std::move(defaultVfs)) {}
  bool OpenRoot(const std::string& root, const std::string& variant, RootDatabases* out,
                std::string* error) override;
  std::unique_ptr<PropertyStore> MountVolume(const std::string& hostPath,
                                             std::string* error) override;

 private:
  std::string defaultVfs_;
};

// The SQLite connection behind a registry this factory opened, for tests that checkpoint or
// inspect the file; null for a registry of another kind.
SqliteDb* SqliteDatabaseOf(Registry& registry);

}  // namespace quillet
