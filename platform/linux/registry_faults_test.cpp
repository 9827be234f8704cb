// The registry's writes under the fault sweep: its database goes through a SQLite VFS that fails
// the n-th read, write or sync, and after every step another connection must find each write
// whole or not at all.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/linux/sqlite_registry.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/sqlite_fault_vfs.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::SavePath;
using testing::SqliteFaultVfs;
using testing::SweepSave;
using testing::TempDir;
using testing::ThenCheckpoint;

constexpr std::u16string_view kTree = u"Software\\Sweep";

// Every key and value under a key, depth first, as text.
void DumpKey(Registry& reg, HKEY key, const std::string& path, std::string* out) {
  std::u16string name;
  DWORD type = 0;
  std::string data;
  for (DWORD i = 0; reg.EnumValue(key, i, &name, &type, &data) == ERROR_SUCCESS; ++i) {
    *out += path + " [" + Utf16ToUtf8(name) + "] type " + std::to_string(type) + ", " +
            std::to_string(data.size()) + " bytes, sum " +
            std::to_string(std::hash<std::string>{}(data)) + "\n";
  }
  for (DWORD i = 0; reg.EnumKey(key, i, &name) == ERROR_SUCCESS; ++i) {
    HKEY child;
    if (reg.OpenKey(key, name, &child) != ERROR_SUCCESS) continue;
    *out += path + "\\" + Utf16ToUtf8(name) + "\n";
    DumpKey(reg, child, path + "\\" + Utf16ToUtf8(name), out);
    reg.CloseKey(child);
  }
}

class RegistryFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto db = SqliteDb::Open(dir.File("system.db"), "", &error, vfs.name());
    ASSERT_TRUE(db) << error;
    reg = std::make_unique<SqliteRegistry>(std::shared_ptr<SqliteDb>(std::move(db)));
  }

  // Sweeps one registry write; `putOld` builds the old tree under kTree afresh. The second
  // round follows the write with a checkpoint.
  void Sweep(std::function<void(Registry&)> putOld, std::function<LONG(Registry&)> write) {
    SavePath<std::string> path{.putOld =
                                   [&] {
                                     reg->DeleteTree(HKEY_CURRENT_USER, kTree);
                                     putOld(*reg);
                                   },
                               .save = [&] { return write(*reg) == ERROR_SUCCESS; },
                               .reload = [&] { return Dump(); }};
    EXPECT_GT(SweepSave(vfs, path), 0);
    SCOPED_TRACE("followed by a checkpoint");
    path.save = ThenCheckpoint(path.save, reg->database().handle());
    EXPECT_GT(SweepSave(vfs, path), 0);
  }

  // The tree as a second connection, through the default VFS, reads it.
  std::string Dump() {
    auto fresh = SqliteRegistry::Open(dir.File("system.db"));
    if (!fresh) return "<cannot open>";
    HKEY key;
    if (fresh->OpenKey(HKEY_CURRENT_USER, kTree, &key) != ERROR_SUCCESS) return "<no key>";
    std::string out;
    DumpKey(*fresh, key, "", &out);
    return out;
  }

  static std::string Bytes(char fill, std::size_t size) { return std::string(size, fill); }
  static LONG SetBinary(Registry& reg, std::u16string_view path, std::u16string_view name,
                        const std::string& bytes) {
    HKEY key;
    if (LONG rc = reg.CreateKey(HKEY_CURRENT_USER, path, &key)) return rc;
    LONG rc = reg.SetValue(key, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    reg.CloseKey(key);
    return rc;
  }

  TempDir dir;
  SqliteFaultVfs vfs;
  std::unique_ptr<SqliteRegistry> reg;  // closed before the VFS goes
};

// A value spanning many pages, overwritten by another.
TEST_F(RegistryFaults, ALargeValueIsReplacedWhole) {
  Sweep([](Registry& r) { SetBinary(r, kTree, u"Big", Bytes('o', 20000)); },
        [](Registry& r) { return SetBinary(r, kTree, u"Big", Bytes('n', 30000)); });
}

// A key four levels deep with the three missing above it: all of them or none.
TEST_F(RegistryFaults, ADeepKeyIsCreatedWithItsParentsOrNotAtAll) {
  Sweep([](Registry& r) { r.SetDword(HKEY_CURRENT_USER, kTree, u"Kept", 1); },
        [](Registry& r) {
          HKEY key;
          LONG rc = r.CreateKey(HKEY_CURRENT_USER, u"Software\\Sweep\\A\\B\\C\\D", &key);
          if (rc == ERROR_SUCCESS) r.CloseKey(key);
          return rc;
        });
}

// A tree of keys and values goes at once.
TEST_F(RegistryFaults, ATreeIsDeletedWhole) {
  Sweep(
      [](Registry& r) {
        r.SetDword(HKEY_CURRENT_USER, kTree, u"Kept", 1);
        for (const char16_t* sub : {u"Software\\Sweep\\Gone", u"Software\\Sweep\\Gone\\Deeper",
                                    u"Software\\Sweep\\Gone\\Deeper\\Deepest"}) {
          r.SetString(HKEY_CURRENT_USER, sub, u"Text", u"some text");
          SetBinary(r, sub, u"Blob", Bytes('b', 5000));
        }
      },
      [](Registry& r) { return r.DeleteTree(HKEY_CURRENT_USER, u"Software\\Sweep\\Gone"); });
}

// A value deleted from a key that keeps others.
TEST_F(RegistryFaults, AValueIsDeletedOrKept) {
  Sweep(
      [](Registry& r) {
        r.SetDword(HKEY_CURRENT_USER, kTree, u"Kept", 1);
        r.SetString(HKEY_CURRENT_USER, kTree, u"Gone", u"text");
      },
      [](Registry& r) {
        HKEY key;
        if (LONG rc = r.OpenKey(HKEY_CURRENT_USER, kTree, &key)) return rc;
        LONG rc = r.DeleteValue(key, u"Gone");
        r.CloseKey(key);
        return rc;
      });
}

}  // namespace
}  // namespace quillet
