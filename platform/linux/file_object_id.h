// Object identifiers of files. On the handheld every file of the object store has one (the file
// search reports it); here it is the host file's inode number, which stays the same while the
// file is rewritten in place and changes when it is replaced.
#pragma once

#include <string>

#include "platform/property_db.h"
#include "platform/win_types.h"

namespace quillet {

// Looks the file up; 0 and *oid set, or 2 when there is no such file (3 when its folder is
// missing).
LONG FindFileObjectId(const std::string& hostPath, CEOID* oid);

}  // namespace quillet
