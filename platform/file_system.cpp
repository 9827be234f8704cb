#include "platform/file_system.h"

#include "platform/ascii.h"

namespace quillet {
namespace {

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  // Iterative glob with one backtrack point for the last '*'.
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  auto eq = [](char a, char b) { return ToLowerAscii(a) == ToLowerAscii(b); };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || eq(pattern[p], name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return ".";
  return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

LONG FileSystem::CreateFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (Exists(part)) continue;
      LONG rc = CreateFolder(part);
      if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS) return rc;
    }
  }
  return ERROR_SUCCESS;
}

LONG FileSystem::ReadAll(const std::string& path, std::string* bytes) {
  std::unique_ptr<File> f;
  if (LONG rc = Open(path, OpenMode::kRead, &f)) return rc;
  bytes->clear();
  char buf[65536];
  for (;;) {
    std::size_t got = 0;
    if (LONG rc = f->Read(buf, sizeof buf, &got)) return rc;
    if (got == 0) break;
    bytes->append(buf, got);
  }
  return f->Close();
}

LONG FileSystem::WriteAll(const std::string& path, std::string_view bytes) {
  std::unique_ptr<File> f;
  if (LONG rc = Open(path, OpenMode::kCreate, &f)) return rc;
  if (LONG rc = f->Write(bytes.data(), bytes.size())) return rc;
  return f->Close();
}

LONG FileSystem::ReplaceFile(const std::string& path, std::string_view bytes,
                             ReplaceStep* failedStep) {
  ReplaceStep ignored;
  ReplaceStep& step = failedStep ? *failedStep : ignored;
  step = ReplaceStep::kNone;
  const std::string tmp = path + std::string(kReplaceSuffix);
  std::unique_ptr<File> file;
  if (LONG rc = Open(tmp, OpenMode::kCreate, &file)) {
    step = ReplaceStep::kCreate;
    return rc;
  }
  // The temporary file must be whole and on the disk before its name replaces the old file's;
  // otherwise a power cut after the rename could leave a file that is neither.
  LONG rc = file->Write(bytes.data(), bytes.size());
  if (rc != ERROR_SUCCESS) {
    step = ReplaceStep::kWrite;
  } else if ((rc = file->Sync()) != ERROR_SUCCESS) {
    step = ReplaceStep::kSync;
  }
  LONG closed = file->Close();
  if (rc == ERROR_SUCCESS && closed != ERROR_SUCCESS) {
    rc = closed;
    step = ReplaceStep::kClose;
  }
  if (rc == ERROR_SUCCESS && (rc = Rename(tmp, path)) != ERROR_SUCCESS) {
    step = ReplaceStep::kRename;
  }
  if (rc != ERROR_SUCCESS) {
    Delete(tmp);
    return rc;
  }
  // The rename lives in the folder's entries, which have a sync of their own.
  if ((rc = SyncFolder(FolderOf(path))) != ERROR_SUCCESS) step = ReplaceStep::kSyncFolder;
  return rc;
}

// ---------------------------------------------------------------------------------------------

namespace {

class FaultFile final : public File {
 public:
  FaultFile(FaultInjectingFileSystem& fs, std::string path, std::unique_ptr<File> base)
      : fs_(fs), path_(std::move(path)), base_(std::move(base)) {}

  LONG Read(void* buffer, std::size_t size, std::size_t* read) override {
    return base_->Read(buffer, size, read);
  }
  LONG Write(const void* buffer, std::size_t size) override {
    std::size_t allowed = size;
    LONG rc = fs_.CheckWrite(path_, written_, size, &allowed);
    if (allowed > 0) {
      if (LONG w = base_->Write(buffer, allowed)) return w;
      written_ += allowed;
    }
    return rc;
  }
  LONG Seek(std::int64_t offset, int whence) override { return base_->Seek(offset, whence); }
  LONG Size(std::uint64_t* size) override { return base_->Size(size); }
  LONG Sync() override {
    if (LONG rc = fs_.CheckFileOp(FaultInjectingFileSystem::Op::kSync, path_)) return rc;
    return base_->Sync();
  }
  // A failed close still gives the handle back, as close(2) does.
  LONG Close() override {
    LONG injected = fs_.CheckFileOp(FaultInjectingFileSystem::Op::kClose, path_);
    LONG rc = base_->Close();
    return injected ? injected : rc;
  }

 private:
  FaultInjectingFileSystem& fs_;
  std::string path_;
  std::unique_ptr<File> base_;
  std::uint64_t written_ = 0;
};

}  // namespace

void FaultInjectingFileSystem::FailOn(Op op, std::string pathSuffix, int skip, LONG error,
                                      bool sticky) {
  rules_.push_back(Rule{op, std::move(pathSuffix), skip, error, sticky});
}

void FaultInjectingFileSystem::FailWritesAfter(std::string pathSuffix, std::uint64_t bytesAllowed) {
  writeLimits_.emplace_back(std::move(pathSuffix), bytesAllowed);
}

void FaultInjectingFileSystem::FailNthOperation(int n, bool persistent) {
  failNth_ = n;
  failPersistent_ = persistent;
  operations_ = 0;
}

void FaultInjectingFileSystem::Clear() {
  rules_.clear();
  writeLimits_.clear();
  failNth_ = -1;
  failPersistent_ = false;
  operations_ = 0;
  failures_ = 0;
}

LONG FaultInjectingFileSystem::Check(Op op, const std::string& path) {
  int index = operations_++;
  if (failNth_ >= 0 && (index == failNth_ || (failPersistent_ && index > failNth_))) {
    ++failures_;
    return ERROR_WRITE_FAULT;
  }
  for (Rule& r : rules_) {
    if (r.op != op || !EndsWith(path, r.suffix)) continue;
    if (r.fired && !r.sticky) continue;
    if (r.skip > 0) {
      --r.skip;
      continue;
    }
    r.fired = true;
    ++failures_;
    return r.error;
  }
  return ERROR_SUCCESS;
}

LONG FaultInjectingFileSystem::CheckWrite(const std::string& path, std::uint64_t alreadyWritten,
                                          std::size_t size, std::size_t* allowed) {
  *allowed = size;
  if (LONG rc = Check(Op::kWrite, path)) {
    *allowed = 0;
    return rc;
  }
  for (auto& [suffix, limit] : writeLimits_) {
    if (!EndsWith(path, suffix)) continue;
    if (alreadyWritten + size > limit) {
      *allowed = alreadyWritten >= limit ? 0 : static_cast<std::size_t>(limit - alreadyWritten);
      ++failures_;
      return ERROR_WRITE_FAULT;
    }
  }
  return ERROR_SUCCESS;
}

LONG FaultInjectingFileSystem::Open(const std::string& path, OpenMode mode,
                                    std::unique_ptr<File>* file) {
  Op op = (mode == OpenMode::kCreate || mode == OpenMode::kOpenAlways) ? Op::kCreate : Op::kOpen;
  if (LONG rc = Check(op, path)) return rc;
  std::unique_ptr<File> base;
  if (LONG rc = target().Open(path, mode, &base)) return rc;
  *file = std::make_unique<FaultFile>(*this, path, std::move(base));
  return ERROR_SUCCESS;
}

LONG FaultInjectingFileSystem::Delete(const std::string& path) {
  if (LONG rc = Check(Op::kDelete, path)) return rc;
  return target().Delete(path);
}

LONG FaultInjectingFileSystem::Rename(const std::string& from, const std::string& to) {
  if (LONG rc = Check(Op::kRename, to)) return rc;
  return target().Rename(from, to);
}

LONG FaultInjectingFileSystem::CreateFolder(const std::string& path) {
  if (LONG rc = Check(Op::kCreateFolder, path)) return rc;
  return target().CreateFolder(path);
}

LONG FaultInjectingFileSystem::SyncFolder(const std::string& path) {
  if (LONG rc = Check(Op::kSyncFolder, path)) return rc;
  return target().SyncFolder(path);
}

}  // namespace quillet
