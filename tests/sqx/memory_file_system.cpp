#include "tests/sqx/memory_file_system.h"

#include <cstring>
#include <set>

namespace sqx::testing {
namespace {

class MemoryInput : public InputFile {
 public:
  explicit MemoryInput(std::string data) : data_(std::move(data)) {}
  uint64_t Size() const override { return data_.size(); }
  Status ReadAt(uint64_t offset, void* data, size_t size, size_t* got) override {
    *got = 0;
    if (offset >= data_.size()) return kStatusOk;
    *got = std::min<uint64_t>(size, data_.size() - offset);
    std::memcpy(data, data_.data() + offset, *got);
    return kStatusOk;
  }

 private:
  std::string data_;
};

class MemoryOutput : public OutputFile {
 public:
  MemoryOutput(MemoryFileSystem& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
  Status Write(const void* data, size_t size) override {
    if (owner_.written + size > owner_.capacity) return kStatusDiskFull;
    owner_.written += size;
    const size_t kept = owner_.kept_of_write ? owner_.kept_of_write(path_, size) : size;
    owner_.files[path_].append(static_cast<const char*>(data), kept);
    return kStatusOk;
  }
  Status WriteAt(uint64_t offset, const void* data, size_t size) override {
    std::string& file = owner_.files[path_];
    if (offset + size > file.size()) return kStatusIoError;
    std::memcpy(file.data() + offset, data, size);
    return kStatusOk;
  }
  Status SetModifiedTime(int64_t) override { return kStatusOk; }
  Status Close() override { return kStatusOk; }

 private:
  MemoryFileSystem& owner_;
  std::string path_;
};

}  // namespace

FileInfo MemoryFileSystem::Stat(const std::string& path) {
  FileInfo info;
  const auto found = files.find(path);
  if (found != files.end()) {
    info.exists = true;
    info.size = found->second.size();
    info.modified_unix = 1700000000;
    return info;
  }
  const std::string prefix = path + "\\";
  const auto next = files.lower_bound(prefix);
  if (next != files.end() && next->first.compare(0, prefix.size(), prefix) == 0) {
    info.exists = true;
    info.is_folder = true;
  }
  return info;
}

Status MemoryFileSystem::OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) {
  if (in_use.count(path) != 0) return kStatusInUse;
  const auto found = files.find(path);
  if (found == files.end()) return kStatusIoError;
  if (before_read) before_read(path, &found->second);
  *file = std::make_unique<MemoryInput>(found->second);
  return kStatusOk;
}

Status MemoryFileSystem::Create(const std::string& path, std::unique_ptr<OutputFile>* file) {
  files[path].clear();
  *file = std::make_unique<MemoryOutput>(*this, path);
  return kStatusOk;
}

Status MemoryFileSystem::CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                                   bool* existed) {
  *existed = Stat(path).exists;
  return *existed ? kStatusOk : Create(path, file);
}

Status MemoryFileSystem::Replace(const std::string& from, const std::string& to) {
  const auto found = files.find(from);
  if (found == files.end()) return kStatusIoError;
  std::string data = std::move(found->second);
  files.erase(found);
  files[to] = std::move(data);
  return kStatusOk;
}

Status MemoryFileSystem::Remove(const std::string& path) {
  return files.erase(path) == 1 ? kStatusOk : kStatusIoError;
}

Status MemoryFileSystem::CreateFolders(const std::string&) { return kStatusOk; }

}  // namespace sqx::testing
