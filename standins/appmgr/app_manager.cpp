#include "standins/appmgr/app_manager.h"

#include "platform/ini_profile.h"
#include "platform/linux/remote_api.h"
#include "platform/roots.h"
#include "standins/installer/package_installer.h"

namespace quillet {
namespace {

constexpr LONG kNotReady = 21;  // the device is not ready

std::string Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

bool ReadAppDescription(FileSystem& files, const std::string& hostPath, AppDescription* out,
                        std::string* error) {
  if (!files.Exists(hostPath)) {
    *error = "no description file " + hostPath;
    return false;
  }
  out->component =
      Trimmed(GetPrivateProfileString(files, hostPath, "CEAppManager", "Component", "", 256));
  if (out->component.empty()) {
    *error = "the description names no component";
    return false;
  }
  out->description =
      Trimmed(GetPrivateProfileString(files, hostPath, out->component, "Description", "", 256));
  const std::string list =
      GetPrivateProfileString(files, hostPath, out->component, "CabFiles", "", 1024);
  out->packages.clear();
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string name = Trimmed(std::string_view(list).substr(start, comma - start));
    // A name that would leave the description's folder is no package of this product.
    if (!name.empty() && name.find('/') == std::string::npos &&
        name.find('\\') == std::string::npos && name != "..") {
      out->packages.push_back(name);
    }
    start = comma + 1;
  }
  if (out->packages.empty()) {
    *error = "the description lists no package for " + out->component;
    return false;
  }
  return true;
}

LONG InstallDescribedPackage(PlatformContext& desktop, const std::string& descriptionPath,
                             MessageBoxes& boxes, const PlatformServices& services,
                             std::string* report) {
  std::string error;
  AppDescription app;
  if (!ReadAppDescription(desktop.files(), descriptionPath, &app, &error)) {
    *report = error;
    return ERROR_FILE_NOT_FOUND;
  }
  const std::string folder = descriptionPath.substr(0, descriptionPath.rfind('/') + 1);
  std::string package;
  for (const std::string& name : app.packages) {
    if (desktop.files().Exists(folder + name)) {
      package = folder + name;
      break;
    }
  }
  if (package.empty()) {
    *report = "none of the packages of " + app.component + " is there";
    return ERROR_FILE_NOT_FOUND;
  }
  const std::optional<std::string> device = ConnectedDevice(desktop.files(), desktop.root());
  if (!device) {
    *report = "no device is connected; " + app.component + " will be installed on the next one";
    return kNotReady;
  }
  CPackageInstaller installer(*device, boxes, services);
  std::string installed;
  const LONG rc = installer.Install(package, &installed);
  *report = "installing " + app.component + " from " + package + ": " + installed;
  return rc;
}

}  // namespace quillet
