#include "platform/linux/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/ascii.h"

namespace quillet {
namespace {

LONG FromErrno(int e) {
  switch (e) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EIO:
      return ERROR_WRITE_FAULT;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// ENOENT on open means either the file or its folder is missing; tell them apart.
LONG MissingError(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat st {};
  if (stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return ERROR_PATH_NOT_FOUND;
  }
  return ERROR_FILE_NOT_FOUND;
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Close(); }

  LONG Read(void* buffer, std::size_t size, std::size_t* read) override {
    *read = 0;
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    auto* p = static_cast<char*>(buffer);
    while (*read < size) {
      ssize_t n = ::read(fd_, p + *read, size - *read);
      if (n < 0) {
        if (errno == EINTR) continue;
        return ERROR_READ_FAULT;
      }
      if (n == 0) break;
      *read += static_cast<std::size_t>(n);
    }
    return ERROR_SUCCESS;
  }

  LONG Write(const void* buffer, std::size_t size) override {
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_, p + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno);
      }
      done += static_cast<std::size_t>(n);
    }
    return ERROR_SUCCESS;
  }

  LONG Seek(std::int64_t offset, int whence) override {
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    return ::lseek(fd_, offset, whence) < 0 ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  }

  LONG Size(std::uint64_t* size) override {
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return FromErrno(errno);
    *size = static_cast<std::uint64_t>(st.st_size);
    return ERROR_SUCCESS;
  }

  LONG Sync() override {
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    return ::fsync(fd_) == 0 ? ERROR_SUCCESS : FromErrno(errno);
  }

  LONG Close() override {
    if (fd_ < 0) return ERROR_INVALID_HANDLE;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
  }

 private:
  int fd_;
};

}  // namespace

LONG PosixFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kOpenAlways:
      flags |= O_RDWR | O_CREAT;
      break;
  }
  int fd = ::open(path.c_str(), flags, 0600);
  if (fd < 0) return errno == ENOENT ? MissingError(path) : FromErrno(errno);
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return ERROR_ACCESS_DENIED;
  }
  *file = std::make_unique<PosixFile>(fd);
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::Delete(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return errno == ENOENT ? MissingError(path) : FromErrno(errno);
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return errno == ENOENT ? MissingError(from) : FromErrno(errno);
  }
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0) {
    if (errno == EEXIST) return ERROR_ALREADY_EXISTS;
    if (errno == ENOENT) return ERROR_PATH_NOT_FOUND;
    return FromErrno(errno);
  }
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::RemoveFolder(const std::string& path) {
  if (::rmdir(path.c_str()) != 0) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : FromErrno(errno);
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::FindFiles(const std::string& folder, std::string_view pattern,
                                std::vector<FoundFile>* found) {
  found->clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return ERROR_PATH_NOT_FOUND;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesPattern(name, pattern)) continue;
    struct stat st {};
    std::string full = folder + "/" + name;
    if (::stat(full.c_str(), &st) != 0) continue;
    found->push_back(FoundFile{name, S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_size),
                               static_cast<std::int64_t>(st.st_mtime)});
  }
  ::closedir(dir);
  std::sort(found->begin(), found->end(),
            [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  return ERROR_SUCCESS;
}

LONG PosixFileSystem::LastWriteTime(const std::string& path, std::int64_t* seconds) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? MissingError(path) : FromErrno(errno);
  *seconds = static_cast<std::int64_t>(st.st_mtime);
  return ERROR_SUCCESS;
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

LONG PosixFileSystem::SyncFolder(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : FromErrno(errno);
  int rc = ::fsync(fd);
  int e = errno;
  ::close(fd);
  // A file system that cannot sync a folder (EINVAL) keeps its entries some other way.
  if (rc != 0 && e != EINVAL) return FromErrno(e);
  return ERROR_SUCCESS;
}

}  // namespace quillet
