// The handheld side of the package installer: it places the files of the Quillet package on a
// device root and runs the package's setup library around that, as the handheld's installer
// does with a package the desktop has sent. Removal runs the same library's removal entries
// around deleting what the installation placed. A reinstall runs only the new package's
// installation entries: the old package's removal would delete the user's data.
#pragma once

#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/message_box.h"
#include "platform/win_types.h"

namespace quillet {

struct PackageFile {
  std::string name;        // the file's name in the package folder
  std::string devicePath;  // where it goes on the handheld
};

// The files of the Quillet package and where they go.
const std::vector<PackageFile>& QuilletPackageFiles();
// The setup library's name in the package, and where the installer keeps it for the removal.
inline constexpr char kSetupLibraryName[] = "QuilletSetup.dll";
inline constexpr char kSetupLibraryPath[] = "\\Windows\\AppMgr\\QuilletSetup.dll";
// The list of what an installation placed, one handheld path a line.
inline constexpr char kInstalledListPath[] = "\\Windows\\AppMgr\\Quillet.files";

class CPackageInstaller {
 public:
  // `boxes` receives the setup library's messages.
  // `services` are the process's, handed to the setup library; they outlive the installer.
  CPackageInstaller(std::string root, MessageBoxes& boxes, const PlatformServices& services);

  // Installs the package in `packageFolder` (a file that is a link is placed as a link to the
  // same file). 0, or the error of the step that stopped it; *report says what happened.
  LONG Install(const std::string& packageFolder, std::string* report = nullptr);
  // Removes the installed package. 2 when none is installed.
  LONG Remove(std::string* report = nullptr);
  bool Installed() const;

 private:
  std::string root_;
  MessageBoxes& boxes_;
  const PlatformServices& services_;
};

}  // namespace quillet
