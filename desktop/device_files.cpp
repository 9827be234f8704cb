#include "desktop/device_files.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr DWORD kBlockSize = 1024;

void Log(const DeskLogLine& log, std::string_view line) {
  if (log) log(line);
}

}  // namespace

bool ReadDeviceFile(RemoteApi& rapi, std::u16string_view path, std::string* bytes) {
  bytes->clear();
  RAPIHANDLE file = rapi.CeCreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  const DWORD size = rapi.CeGetFileSize(file, &high);
  bool ok = !(size == 0xFFFFFFFFu && rapi.CeGetLastError() != 0) && high == 0;
  char block[kBlockSize];
  while (ok) {
    DWORD read = 0;
    // A failed read is a failed copy: treating it as the end of the file would hand the run a
    // shortened stock list that the write-back then puts on the device.
    if (!rapi.CeReadFile(file, block, kBlockSize, &read)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    bytes->append(block, read);
  }
  rapi.CeCloseHandle(file);
  if (ok && bytes->size() != size) ok = false;
  if (!ok) bytes->clear();
  return ok;
}

bool WriteDeviceFile(RemoteApi& rapi, std::u16string_view path, std::string_view bytes,
                     const DeskLogLine& log) {
  const std::u16string target(path);
  const std::u16string temporary = target + u".tmp";
  const std::u16string previous = target + u".old";
  RAPIHANDLE file = rapi.CeCreateFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    Log(log, "** cannot open CE file");
    return false;
  }
  bool written = true;
  for (std::size_t at = 0; at < bytes.size() && written; at += kBlockSize) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(kBlockSize, bytes.size() - at));
    DWORD done = 0;
    written = rapi.CeWriteFile(file, bytes.data() + at, chunk, &done) && done == chunk;
  }
  const bool closed = rapi.CeCloseHandle(file) != 0;
  if (!written || !closed) {
    rapi.CeDeleteFile(temporary);
    Log(log, written ? "** cannot close CE file" : "** cannot write CE file");
    return false;
  }
  // The old file steps aside only once the new one is complete. A missing ".old" is no
  // obstacle; one that cannot be removed is, since the old file could not take its place.
  if (!rapi.CeDeleteFile(previous) && rapi.CeGetLastError() != ERROR_FILE_NOT_FOUND) {
    rapi.CeDeleteFile(temporary);
    Log(log, "** cannot delete CE backup file");
    return false;
  }
  bool movedAside = true;
  if (!rapi.CeMoveFile(target, previous)) {
    if (rapi.CeGetLastError() != ERROR_FILE_NOT_FOUND) {
      rapi.CeDeleteFile(temporary);
      Log(log, "** cannot rename CE file");
      return false;
    }
    movedAside = false;  // the first stock file the device gets
  }
  if (!rapi.CeMoveFile(temporary, target)) {
    // Without this the device would have no stock file at all: the program would start empty
    // and save that.
    if (movedAside) rapi.CeMoveFile(previous, target);
    rapi.CeDeleteFile(temporary);
    Log(log, "** cannot rename CE file");
    return false;
  }
  return true;
}

bool RecoverDeviceFile(RemoteApi& rapi, std::u16string_view path) {
  const std::u16string target(path);
  RAPIHANDLE file = rapi.CeCreateFile(target, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (file != INVALID_HANDLE_VALUE) {
    rapi.CeCloseHandle(file);
    return false;
  }
  if (rapi.CeGetLastError() != ERROR_FILE_NOT_FOUND) return false;
  return rapi.CeMoveFile(target + u".old", target) != 0;
}

}  // namespace quillet
