#include "platform/linux/file_object_id.h"

#include <errno.h>
#include <sys/stat.h>

namespace quillet {

LONG FindFileObjectId(const std::string& hostPath, CEOID* oid) {
  struct stat st {};
  if (::stat(hostPath.c_str(), &st) != 0) {
    return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  }
  if (S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
  // Never 0: that is "no object".
  CEOID id = static_cast<CEOID>(st.st_ino & 0xFFFFFFFFu);
  *oid = id ? id : 1;
  return ERROR_SUCCESS;
}

}  // namespace quillet
