// The backup sets the user can restore: the dates of the stock files "YYYYMMDD_QuilletDB" in
// the "Backup" folder of the working directory, in the order the file system lists them. Only
// eight digits count as a date: whatever is chosen is later used to build file names.
#pragma once

#include <string>
#include <vector>

#include "desktop/working_directory.h"

namespace quillet {

class FileSystem;

std::vector<std::string> ListBackupDates(FileSystem& fs, const WorkingDirectory& dir);

}  // namespace quillet
