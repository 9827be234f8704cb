#include "platform/linux/sqlite_databases.h"

#include "platform/linux/sqlite_property_store.h"
#include "platform/linux/sqlite_registry.h"

namespace quillet {

bool SqliteDatabaseFactory::OpenRoot(const std::string& root, const std::string& variant,
                                     RootDatabases* out, std::string* error) {
  std::string dbError;
  auto db = SqliteDb::Open(SystemDatabasePath(root), "", &dbError,
                           variant.empty() ? defaultVfs_ : variant);
  if (!db) {
    if (error) *error = "cannot open " + SystemDatabasePath(root) + ": " + dbError;
    return false;
  }
  std::shared_ptr<SqliteDb> shared(std::move(db));
  out->registry = std::make_unique<SqliteRegistry>(shared);
  out->objectStore = std::make_unique<SqlitePropertyStore>(shared);
  return true;
}

std::unique_ptr<PropertyStore> SqliteDatabaseFactory::MountVolume(const std::string& hostPath,
                                                                  std::string* error) {
  return SqlitePropertyStore::MountVolume(hostPath, error, defaultVfs_);
}

SqliteDb* SqliteDatabaseOf(Registry& registry) {
  auto* sqlite = dynamic_cast<SqliteRegistry*>(&registry);
  return sqlite ? &sqlite->database() : nullptr;
}

}  // namespace quillet
