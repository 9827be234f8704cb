// The desktop's application manager ("CEAPPMGR.EXE"): it reads a product's description file
// (such as "QuilletInstall.ini") and installs the product's device package on the connected
// handheld through the handheld's package installer.
#pragma once

#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/message_box.h"

namespace quillet {

// What a description file says: the product's name and its packages, in the order given.
struct AppDescription {
  std::string component;
  std::string description;
  std::vector<std::string> packages;
};

// Reads the description at a host path: section [CEAppManager] names the component, whose
// section lists its packages in "CabFiles" (separated by commas). False with *error set when
// the file, the component or its packages are missing.
bool ReadAppDescription(FileSystem& files, const std::string& hostPath, AppDescription* out,
                        std::string* error);

// Installs the first package of the description that exists beside it (a package is a folder of
// the package's files) on the device connected to the desktop root. 0, or an error with
// *report saying why: 2 when the description or every package is missing, 21 when no device is
// connected, else the package installer's error.
LONG InstallDescribedPackage(PlatformContext& desktop, const std::string& descriptionPath,
                             MessageBoxes& boxes, const PlatformServices& services,
                             std::string* report);

}  // namespace quillet
