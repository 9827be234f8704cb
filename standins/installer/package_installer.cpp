#include "standins/installer/package_installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/install_entries.h"
#include "platform/linux/module.h"
#include "platform/linux/sqlite_registry.h"
#include "platform/registry.h"
#include "platform/roots.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kInstallDir[] = u"\\Program Files\\Quillet";
// The package's registry section: the handheld's registration of the sync object type.
constexpr char16_t kSyncObjectTypeKey[] = u"Windows CE Services\\Synchronization\\Objects\\Quillet";

// Places one file: a new copy (or link) under a temporary name, renamed over the old one, so a
// program or library still running from the old file keeps it and nothing is ever half there.
LONG PlaceFile(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (ec) return ERROR_PATH_NOT_FOUND;
  const fs::path fresh = target.string() + ".new";
  fs::remove(fresh, ec);
  if (fs::is_symlink(source)) {
    fs::create_symlink(fs::canonical(source, ec), fresh, ec);
  } else {
    fs::copy_file(source, fresh, ec);
    if (!ec) {
      fs::permissions(fresh, fs::status(source).permissions(), ec);
      // The copy reaches the disk before it takes the old file's place.
      if (FILE* f = std::fopen(fresh.c_str(), "rb")) {
        ::fsync(fileno(f));
        std::fclose(f);
      }
    }
  }
  if (ec) {
    fs::remove(fresh, ec);
    return ERROR_WRITE_FAULT;
  }
  fs::rename(fresh, target, ec);
  return ec ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
}

std::string Host(const std::string& root, std::string_view devicePath) {
  return MapDevicePath(root, devicePath).value_or(std::string());
}

}  // namespace

const std::vector<PackageFile>& QuilletPackageFiles() {
  static const std::vector<PackageFile> files = {
      {"Quillet.exe", "\\Program Files\\Quillet\\Quillet.exe"},
      {"QuilletToday.dll", "\\Windows\\QuilletToday.dll"},
      {"QuilletPPC.dll", "\\Windows\\QuilletPPC.dll"},
  };
  return files;
}

CPackageInstaller::CPackageInstaller(std::string root, MessageBoxes& boxes,
                                     const PlatformServices& services)
    : root_(std::move(root)), boxes_(boxes), services_(services) {}

bool CPackageInstaller::Installed() const { return fs::exists(Host(root_, kInstalledListPath)); }

LONG CPackageInstaller::Install(const std::string& packageFolder, std::string* report) {
  std::string log;
  auto say = [&](const std::string& line) { log += line + "\n"; };
  const fs::path package(packageFolder);
  for (const PackageFile& f : QuilletPackageFiles()) {
    if (!fs::exists(package / f.name)) {
      if (report) *report = "the package has no " + f.name + "\n";
      return ERROR_FILE_NOT_FOUND;
    }
  }
  const bool previously = Installed();
  if (LONG rc = PlaceFile(package / kSetupLibraryName, Host(root_, kSetupLibraryPath))) {
    if (report) *report = "cannot place the setup library\n";
    return rc;
  }
  ModuleEnvironment environment;
  environment.root = root_;
  environment.services = &services_;
  environment.messageBoxes = &boxes_;
  std::string error;
  auto setup = LoadedLibrary::Load(kSetupLibraryPath, environment, &error);
  auto init = setup ? setup->Proc<InstallInitProc>("Install_Init") : nullptr;
  auto exit = setup ? setup->Proc<InstallExitProc>("Install_Exit") : nullptr;
  if (!init || !exit) {
    if (report) *report = "the setup library cannot be used: " + error + "\n";
    return ERROR_INVALID_PARAMETER;
  }
  say(previously ? "installing over the installed package" : "installing");
  if (init(0, 1, previously ? 1 : 0, kInstallDir) != codeINSTALL_INIT_CONTINUE) {
    if (report) *report = log + "the setup library cancelled the installation\n";
    return ERROR_INVALID_PARAMETER;
  }
  WORD failedFiles = 0;
  WORD failedKeys = 0;
  std::string installed;
  for (const PackageFile& f : QuilletPackageFiles()) {
    if (PlaceFile(package / f.name, Host(root_, f.devicePath)) == ERROR_SUCCESS) {
      say("  placed " + f.devicePath);
      installed += f.devicePath + "\n";
    } else {
      say("  could not place " + f.devicePath);
      ++failedFiles;
    }
  }
  if (auto registry = SqliteRegistry::Open(SystemDatabasePath(root_))) {
    if (registry->SetString(HKEY_LOCAL_MACHINE, kSyncObjectTypeKey, u"DLL", u"QuilletPPC.dll") ||
        registry->SetString(HKEY_LOCAL_MACHINE, kSyncObjectTypeKey, u"Display Name", u"Quillet")) {
      ++failedKeys;
    }
  } else {
    ++failedKeys;
  }
  {
    const std::string list = Host(root_, kInstalledListPath);
    std::ofstream out(list + ".tmp", std::ios::trunc);
    out << installed;
    out.close();
    fs::rename(list + ".tmp", list);
  }
  exit(0, kInstallDir, 0, failedFiles, failedKeys, 0, 0);
  say(failedFiles || failedKeys ? "installed with failures" : "installed");
  if (report) *report = log;
  return failedFiles || failedKeys ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
}

LONG CPackageInstaller::Remove(std::string* report) {
  if (!Installed()) {
    if (report) *report = "no Quillet package is installed\n";
    return ERROR_FILE_NOT_FOUND;
  }
  std::string log;
  ModuleEnvironment environment;
  environment.root = root_;
  environment.services = &services_;
  environment.messageBoxes = &boxes_;
  auto setup = LoadedLibrary::Load(kSetupLibraryPath, environment);
  auto init = setup ? setup->Proc<UninstallInitProc>("Uninstall_Init") : nullptr;
  auto exit = setup ? setup->Proc<UninstallExitProc>("Uninstall_Exit") : nullptr;
  if (init && init(0, kInstallDir) != codeUNINSTALL_INIT_CONTINUE) {
    if (report) *report = "the setup library cancelled the removal\n";
    return ERROR_INVALID_PARAMETER;
  }
  std::ifstream in(Host(root_, kInstalledListPath));
  for (std::string path; std::getline(in, path);) {
    std::error_code ec;
    if (!path.empty() && fs::remove(Host(root_, path), ec)) log += "  removed " + path + "\n";
  }
  if (auto registry = SqliteRegistry::Open(SystemDatabasePath(root_))) {
    registry->DeleteTree(HKEY_LOCAL_MACHINE, kSyncObjectTypeKey);
  }
  if (exit) exit(0);
  setup.reset();
  std::error_code ec;
  fs::remove(Host(root_, kSetupLibraryPath), ec);
  fs::remove(Host(root_, kInstalledListPath), ec);
  if (report) *report = log + "removed\n";
  return ERROR_SUCCESS;
}

}  // namespace quillet
