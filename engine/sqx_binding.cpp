#include "sqx_binding.h"

namespace mailstow {
namespace {

// Positions of the entry points in sqx::kExportNames.
enum Entry {
  kInitFileList,
  kDoneFileList,
  kAddFileList,
  kInitArcFileList,
  kDoneArcFileList,
  kAddArchiveComment,
  kAddFileComments,
  kAddFiles,
  kExtractFiles,
  kTestFiles,
  kDeleteFiles,
  kListFiles,
  kRepairFiles,
};

}  // namespace

ArchiverBinding::~ArchiverBinding() { Unload(); }

bool ArchiverBinding::Load(const std::wstring& program_folder) {
  Unload();
  const std::wstring path = program_folder + L"Sqx.dll";
  HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) return false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    entries_[i] = GetProcAddress(library, sqx::kExportNames[i]);
    if (entries_[i] == nullptr) {
      FreeLibrary(library);
      entries_.fill(nullptr);
      return false;
    }
  }
  library_ = library;
  return true;
}

void ArchiverBinding::Unload() {
  if (library_ != nullptr) FreeLibrary(library_);
  library_ = nullptr;
  entries_.fill(nullptr);
}

int ArchiverBinding::InitFileList(sqx::FileList* list) const {
  if (entries_[kInitFileList] == nullptr) return -1;
  return Entry<sqx::InitFileListFn>(kInitFileList)(list);
}

int ArchiverBinding::DoneFileList(sqx::FileList* list) const {
  if (entries_[kDoneFileList] == nullptr) return -1;
  return Entry<sqx::DoneFileListFn>(kDoneFileList)(list);
}

int ArchiverBinding::AddFileList(const std::string& name, sqx::FileList* list) const {
  if (entries_[kAddFileList] == nullptr) return -1;
  return Entry<sqx::AddFileListFn>(kAddFileList)(name.c_str(), list);
}

int ArchiverBinding::InitArcFileList(sqx::ArcFileList* list) const {
  if (entries_[kInitArcFileList] == nullptr) return -1;
  return Entry<sqx::InitArcFileListFn>(kInitArcFileList)(list);
}

int ArchiverBinding::DoneArcFileList(sqx::ArcFileList* list) const {
  if (entries_[kDoneArcFileList] == nullptr) return -1;
  return Entry<sqx::DoneArcFileListFn>(kDoneArcFileList)(list);
}

int ArchiverBinding::AddFiles(const std::string& archive, sqx::FileList* list,
                              unsigned char* options, sqx::Callback callback, void* user) const {
  if (entries_[kAddFiles] == nullptr) return -1;
  return Entry<sqx::AddFilesFn>(kAddFiles)(archive.c_str(), list, options, callback, user);
}

int ArchiverBinding::ExtractFiles(const std::string& archive, sqx::FileList* list,
                                  unsigned char* options, sqx::Callback callback,
                                  void* user) const {
  if (entries_[kExtractFiles] == nullptr) return -1;
  return Entry<sqx::ExtractFilesFn>(kExtractFiles)(archive.c_str(), list, options, callback, user);
}

int ArchiverBinding::ListFiles(const std::string& archive, sqx::FileList* list,
                               sqx::ArcFileList* contents, unsigned char* scratch,
                               unsigned char* options, sqx::Callback callback, void* user) const {
  if (entries_[kListFiles] == nullptr) return -1;
  return Entry<sqx::ListFilesFn>(kListFiles)(archive.c_str(), list, contents, scratch, options,
                                             callback, user);
}

}  // namespace mailstow
