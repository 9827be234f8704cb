#include "desktop/backup_list.h"

#include "platform/file_system.h"

namespace quillet {

std::vector<std::string> ListBackupDates(FileSystem& fs, const WorkingDirectory& dir) {
  std::vector<std::string> dates;
  auto folder = WorkingFile(dir, "Backup");
  std::vector<FoundFile> found;
  if (!folder || fs.FindFiles(*folder, "*_QuilletDB", &found) != ERROR_SUCCESS) return dates;
  for (const FoundFile& f : found) {
    if (f.isFolder) continue;
    const std::string date = f.name.substr(0, f.name.find('_'));
    bool digits = date.size() == 8;
    for (char c : date) digits = digits && c >= '0' && c <= '9';
    if (digits) dates.push_back(date);
  }
  return dates;
}

}  // namespace quillet
