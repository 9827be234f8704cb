#include "platform/testing/in_memory_file_system.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace quillet::testing {

// A file or a folder. What a disk holds is kept beside what the running system sees: `synced`
// for a file's bytes, `syncedEntries` for a folder's names.
struct InMemoryFileSystem::Node {
  bool folder = false;
  std::string data;
  std::string synced;
  std::int64_t lastWrite = 0;
  std::map<std::string, std::shared_ptr<Node>> entries;
  std::map<std::string, std::shared_ptr<Node>> syncedEntries;
};

namespace {

using Node = InMemoryFileSystem::Node;

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string_view part = path.substr(start, i - start);
      if (!part.empty() && part != ".") parts.emplace_back(part);
      start = i + 1;
    }
  }
  return parts;
}

class MemoryFile final : public File {
 public:
  MemoryFile(std::shared_ptr<Node> node, bool canRead, bool canWrite, Clock& clock)
      : node_(std::move(node)), canRead_(canRead), canWrite_(canWrite), clock_(clock) {}

  LONG Read(void* buffer, std::size_t size, std::size_t* read) override {
    *read = 0;
    if (!node_) return ERROR_INVALID_HANDLE;
    if (!canRead_) return ERROR_READ_FAULT;  // as read(2) on a write-only descriptor
    if (position_ < node_->data.size()) {
      *read = std::min<std::size_t>(size, node_->data.size() - position_);
      std::memcpy(buffer, node_->data.data() + position_, *read);
      position_ += *read;
    }
    return ERROR_SUCCESS;
  }

  LONG Write(const void* buffer, std::size_t size) override {
    if (!node_) return ERROR_INVALID_HANDLE;
    if (!canWrite_) return ERROR_ACCESS_DENIED;
    std::string& data = node_->data;
    if (data.size() < position_ + size) data.resize(position_ + size, '\0');
    if (size > 0) std::memcpy(data.data() + position_, buffer, size);
    position_ += size;
    node_->lastWrite = clock_.Now();
    return ERROR_SUCCESS;
  }

  LONG Seek(std::int64_t offset, int whence) override {
    if (!node_) return ERROR_INVALID_HANDLE;
    std::int64_t base = 0;
    switch (whence) {
      case SEEK_SET:
        break;
      case SEEK_CUR:
        base = static_cast<std::int64_t>(position_);
        break;
      case SEEK_END:
        base = static_cast<std::int64_t>(node_->data.size());
        break;
      default:
        return ERROR_INVALID_PARAMETER;
    }
    if (base + offset < 0) return ERROR_INVALID_PARAMETER;
    position_ = static_cast<std::size_t>(base + offset);
    return ERROR_SUCCESS;
  }

  LONG Size(std::uint64_t* size) override {
    if (!node_) return ERROR_INVALID_HANDLE;
    *size = node_->data.size();
    return ERROR_SUCCESS;
  }

  LONG Sync() override {
    if (!node_) return ERROR_INVALID_HANDLE;
    node_->synced = node_->data;
    return ERROR_SUCCESS;
  }

  LONG Close() override {
    if (!node_) return ERROR_INVALID_HANDLE;
    node_.reset();
    return ERROR_SUCCESS;
  }

 private:
  std::shared_ptr<Node> node_;  // null once closed
  bool canRead_;
  bool canWrite_;
  Clock& clock_;
  std::size_t position_ = 0;
};

enum class Walk { kFound, kMissing, kNotAFolder };

// Walks `parts` from `from`; *node is the last node reached.
Walk WalkTo(std::shared_ptr<Node> from, const std::vector<std::string>& parts, std::size_t count,
            std::shared_ptr<Node>* node) {
  std::shared_ptr<Node> at = std::move(from);
  for (std::size_t i = 0; i < count; ++i) {
    if (!at->folder) return Walk::kNotAFolder;
    auto it = at->entries.find(parts[i]);
    if (it == at->entries.end()) return Walk::kMissing;
    at = it->second;
  }
  *node = at;
  return Walk::kFound;
}

void SyncTree(Node& node) {
  if (!node.folder) {
    node.synced = node.data;
    return;
  }
  node.syncedEntries = node.entries;
  for (auto& [name, child] : node.entries) SyncTree(*child);
}

void LoseUnsynced(Node& node) {
  if (!node.folder) {
    node.data = node.synced;
    return;
  }
  node.entries = node.syncedEntries;
  for (auto& [name, child] : node.entries) LoseUnsynced(*child);
}

}  // namespace

InMemoryFileSystem::InMemoryFileSystem(Clock& clock) : clock_(clock), root_(new Node) {
  root_->folder = true;
  root_->lastWrite = clock_.Now();
}

InMemoryFileSystem::~InMemoryFileSystem() = default;

LONG InMemoryFileSystem::Parent(const std::string& path, std::shared_ptr<Node>* folder,
                                std::string* name) const {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // the root itself
  std::shared_ptr<Node> at;
  if (WalkTo(root_, parts, parts.size() - 1, &at) != Walk::kFound || !at->folder) {
    return ERROR_PATH_NOT_FOUND;
  }
  *folder = at;
  *name = parts.back();
  return ERROR_SUCCESS;
}

std::shared_ptr<Node> InMemoryFileSystem::Find(const std::string& path) const {
  std::vector<std::string> parts = SplitPath(path);
  std::shared_ptr<Node> at;
  return WalkTo(root_, parts, parts.size(), &at) == Walk::kFound ? at : nullptr;
}

LONG InMemoryFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) {
  std::shared_ptr<Node> folder;
  std::string name;
  if (LONG rc = Parent(path, &folder, &name)) return rc;
  auto it = folder->entries.find(name);
  std::shared_ptr<Node> node = it == folder->entries.end() ? nullptr : it->second;
  if (node && node->folder) return ERROR_ACCESS_DENIED;
  const bool creates = mode == OpenMode::kCreate || mode == OpenMode::kOpenAlways;
  if (!node) {
    if (!creates) return ERROR_FILE_NOT_FOUND;
    node = std::make_shared<Node>();
    node->lastWrite = clock_.Now();
    folder->entries[name] = node;
    folder->lastWrite = node->lastWrite;
  } else if (mode == OpenMode::kCreate) {
    node->data.clear();
    node->lastWrite = clock_.Now();
  }
  *file = std::make_unique<MemoryFile>(node, mode != OpenMode::kCreate, mode != OpenMode::kRead,
                                       clock_);
  return ERROR_SUCCESS;
}

LONG InMemoryFileSystem::Delete(const std::string& path) {
  std::shared_ptr<Node> folder;
  std::string name;
  if (LONG rc = Parent(path, &folder, &name)) return rc;
  auto it = folder->entries.find(name);
  if (it == folder->entries.end()) return ERROR_FILE_NOT_FOUND;
  if (it->second->folder) return ERROR_ACCESS_DENIED;
  folder->entries.erase(it);  // open handles keep the bytes, as on Linux
  folder->lastWrite = clock_.Now();
  return ERROR_SUCCESS;
}

LONG InMemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  std::shared_ptr<Node> fromFolder;
  std::string fromName;
  if (LONG rc = Parent(from, &fromFolder, &fromName)) return rc;
  auto src = fromFolder->entries.find(fromName);
  if (src == fromFolder->entries.end()) return ERROR_FILE_NOT_FOUND;
  std::shared_ptr<Node> node = src->second;

  std::vector<std::string> toParts = SplitPath(to);
  if (toParts.empty()) return ERROR_ACCESS_DENIED;
  std::shared_ptr<Node> toFolder;
  switch (WalkTo(root_, toParts, toParts.size() - 1, &toFolder)) {
    case Walk::kFound:
      if (!toFolder->folder) return ERROR_PATH_NOT_FOUND;
      break;
    case Walk::kMissing:
      // rename(2) says ENOENT, which the POSIX file system reports about the source: 2.
      return ERROR_FILE_NOT_FOUND;
    case Walk::kNotAFolder:
      return ERROR_PATH_NOT_FOUND;
  }
  const std::string& toName = toParts.back();
  auto dst = toFolder->entries.find(toName);
  if (dst != toFolder->entries.end()) {
    if (dst->second == node) return ERROR_SUCCESS;
    if (!node->folder && dst->second->folder) return ERROR_ACCESS_DENIED;
    if (node->folder && !dst->second->folder) return ERROR_PATH_NOT_FOUND;
    if (node->folder && !dst->second->entries.empty()) return ERROR_ACCESS_DENIED;
  }
  if (node->folder) {
    // A folder cannot move into itself or below itself.
    std::shared_ptr<Node> at = root_;
    for (std::size_t i = 0; i + 1 < toParts.size(); ++i) {
      at = at->entries.at(toParts[i]);
      if (at == node) return ERROR_ACCESS_DENIED;
    }
  }
  fromFolder->entries.erase(src);
  toFolder->entries[toName] = node;
  fromFolder->lastWrite = toFolder->lastWrite = clock_.Now();
  return ERROR_SUCCESS;
}

LONG InMemoryFileSystem::CreateFolder(const std::string& path) {
  std::shared_ptr<Node> folder;
  std::string name;
  if (LONG rc = Parent(path, &folder, &name)) {
    return SplitPath(path).empty() ? ERROR_ALREADY_EXISTS : rc;
  }
  if (folder->entries.count(name)) return ERROR_ALREADY_EXISTS;
  auto node = std::make_shared<Node>();
  node->folder = true;
  node->lastWrite = clock_.Now();
  folder->entries[name] = node;
  folder->lastWrite = node->lastWrite;
  return ERROR_SUCCESS;
}

LONG InMemoryFileSystem::RemoveFolder(const std::string& path) {
  std::shared_ptr<Node> folder;
  std::string name;
  if (LONG rc = Parent(path, &folder, &name)) return rc;
  auto it = folder->entries.find(name);
  if (it == folder->entries.end() || !it->second->folder) return ERROR_PATH_NOT_FOUND;
  if (!it->second->entries.empty()) return ERROR_ACCESS_DENIED;
  folder->entries.erase(it);
  folder->lastWrite = clock_.Now();
  return ERROR_SUCCESS;
}

LONG InMemoryFileSystem::FindFiles(const std::string& folder, std::string_view pattern,
                                   std::vector<FoundFile>* found) {
  found->clear();
  std::shared_ptr<Node> node = Find(folder);
  if (!node || !node->folder) return ERROR_PATH_NOT_FOUND;
  for (const auto& [name, child] : node->entries) {
    if (!MatchesPattern(name, pattern)) continue;
    found->push_back(
        FoundFile{name, child->folder, child->folder ? 0 : child->data.size(), child->lastWrite});
  }
  return ERROR_SUCCESS;  // the map keeps them sorted by name
}

LONG InMemoryFileSystem::LastWriteTime(const std::string& path, std::int64_t* seconds) {
  std::shared_ptr<Node> node = Find(path);
  if (!node) {
    std::shared_ptr<Node> folder;
    std::string name;
    if (LONG rc = Parent(path, &folder, &name)) return rc;
    return ERROR_FILE_NOT_FOUND;
  }
  *seconds = node->lastWrite;
  return ERROR_SUCCESS;
}

bool InMemoryFileSystem::Exists(const std::string& path) { return Find(path) != nullptr; }

LONG InMemoryFileSystem::SyncFolder(const std::string& path) {
  std::shared_ptr<Node> node = Find(path);
  if (!node || !node->folder) return ERROR_PATH_NOT_FOUND;
  node->syncedEntries = node->entries;
  return ERROR_SUCCESS;
}

void InMemoryFileSystem::SyncEverything() { SyncTree(*root_); }

void InMemoryFileSystem::SimulatePowerLoss() { LoseUnsynced(*root_); }

}  // namespace quillet::testing
