#include "desktop/provider/registration.h"

#include <cstdio>

#include "desktop/provider/desk_module.h"
#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/linux/remote_api.h"

namespace quillet {
namespace {

std::u16string Wide(std::string_view text) { return Utf8ToUtf16(text); }

std::u16string ClassKeyName() { return Wide(GuidToString(CLSID_QuilletStore)); }

// Closes the key when the scope ends, whatever path leaves it.
class KeyHolder {
 public:
  explicit KeyHolder(Registry& registry) : registry_(registry) {}
  ~KeyHolder() {
    if (open_) registry_.CloseKey(key_);
  }
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;
  LONG Create(HKEY parent, std::u16string_view name) {
    const LONG rc = registry_.CreateKey(parent, name, &key_);
    open_ = rc == ERROR_SUCCESS;
    return rc;
  }
  LONG Open(HKEY parent, std::u16string_view name) {
    const LONG rc = registry_.OpenKey(parent, name, &key_);
    open_ = rc == ERROR_SUCCESS;
    return rc;
  }
  HKEY key() const { return key_; }

 private:
  Registry& registry_;
  HKEY key_{};
  bool open_ = false;
};

LONG SetText(Registry& registry, HKEY key, std::u16string_view name, std::string_view text) {
  const std::string bytes = EncodeRegString(Wide(text));  // with its terminating NUL
  return registry.SetValue(key, name, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// The later steps of a removal: an entry that is not there any more is removed already.
bool Gone(LONG rc) { return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND; }

}  // namespace

HRESULT RegisterQuilletServer(Registry& registry, std::string_view libraryPath) {
  LONG rc = ERROR_SUCCESS;
  {
    KeyHolder classes(registry), server(registry);
    if ((rc = classes.Create(HKEY_CLASSES_ROOT, u"CLSID\\" + ClassKeyName())) ||
        (rc = server.Create(classes.key(), u"InprocServer32")) ||
        (rc = SetText(registry, server.key(), u"", libraryPath))) {
      return HResultFromWin32(rc);
    }
    KeyHolder progId(registry);
    if ((rc = progId.Create(classes.key(), u"ProgId")) ||
        (rc = SetText(registry, progId.key(), u"", kQuilletProgId))) {
      return HResultFromWin32(rc);
    }
  }
  {
    KeyHolder progId(registry), clsid(registry);
    if ((rc = progId.Create(HKEY_CLASSES_ROOT, Wide(kQuilletProgId))) ||
        (rc = clsid.Create(progId.key(), u"CLSID")) ||
        (rc = SetText(registry, clsid.key(), u"", GuidToString(CLSID_QuilletStore))) ||
        (rc = SetText(registry, progId.key(), u"", kQuilletObjType)) ||
        (rc = SetText(registry, progId.key(), u"Display Name", kQuilletObjType))) {
      return HResultFromWin32(rc);
    }
  }
  KeyHolder objects(registry), entry(registry);
  if ((rc = objects.Open(HKEY_LOCAL_MACHINE, kSyncObjectsKey)) ||
      (rc = entry.Create(objects.key(), Wide(kQuilletObjType)))) {
    return HResultFromWin32(rc);
  }
  char icon[300];
  std::snprintf(icon, sizeof icon, "%s, -%d", std::string(libraryPath).c_str(), kQuilletIconId);
  // Written as 0: the provider is switched on when it is registered.
  const DWORD disabled = 0;
  if ((rc = SetText(registry, entry.key(), u"", "Quillet Object")) ||
      (rc = SetText(registry, entry.key(), u"Display Name", "Quillet")) ||
      (rc = SetText(registry, entry.key(), u"Plural Name", "Quillet Items")) ||
      (rc = SetText(registry, entry.key(), u"Store", kQuilletProgId)) ||
      (rc = registry.SetValue(entry.key(), u"Disabled", REG_DWORD, &disabled, sizeof disabled)) ||
      (rc = SetText(registry, entry.key(), u"DefaultIcon", icon))) {
    return HResultFromWin32(rc);
  }
  return S_OK;
}

HRESULT UnregisterQuilletServer(Registry& registry) {
  LONG rc = ERROR_SUCCESS;
  {
    KeyHolder classes(registry), server(registry);
    if ((rc = classes.Open(HKEY_CLASSES_ROOT, u"CLSID")) ||
        (rc = server.Open(classes.key(), ClassKeyName()))) {
      return HResultFromWin32(rc);
    }
    // Every sub-key of the class, always the first one left, until none is. A delete that
    // fails ends the removal there: trying the same key again would never end, and going on
    // would leave the synchronisation entry naming a class that is gone.
    for (;;) {
      std::u16string name;
      rc = registry.EnumKey(server.key(), 0, &name);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) return HResultFromWin32(rc);
      if ((rc = registry.DeleteKey(server.key(), name)) != ERROR_SUCCESS) {
        return HResultFromWin32(rc);
      }
    }
    rc = registry.DeleteKey(classes.key(), ClassKeyName());
    if (!Gone(rc)) return HResultFromWin32(rc);
  }
  {
    KeyHolder progId(registry);
    rc = progId.Open(HKEY_CLASSES_ROOT, Wide(kQuilletProgId));
    if (rc == ERROR_SUCCESS) {
      rc = registry.DeleteKey(progId.key(), u"CLSID");
      if (!Gone(rc)) return HResultFromWin32(rc);
    } else if (rc != ERROR_FILE_NOT_FOUND) {
      return HResultFromWin32(rc);
    }
    rc = registry.DeleteKey(HKEY_CLASSES_ROOT, Wide(kQuilletProgId));
    if (!Gone(rc)) return HResultFromWin32(rc);
  }
  KeyHolder objects(registry);
  rc = objects.Open(HKEY_LOCAL_MACHINE, kSyncObjectsKey);
  if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
  if (rc != ERROR_SUCCESS) return HResultFromWin32(rc);
  rc = registry.DeleteKey(objects.key(), Wide(kQuilletObjType));
  return Gone(rc) ? S_OK : HResultFromWin32(rc);
}

}  // namespace quillet
