// The archiver library, loaded at run time from the program folder: its handle and the
// 13 entry points, resolved by name. Every wrapper returns -1 when its entry point is
// missing, else the library's result.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "sqx/sqx_api.h"

namespace mailstow {

class ArchiverBinding {
 public:
  ArchiverBinding() = default;
  ~ArchiverBinding();
  ArchiverBinding(const ArchiverBinding&) = delete;
  ArchiverBinding& operator=(const ArchiverBinding&) = delete;

  // Loads folder + "Sqx.dll" and resolves all 13 names; on any failure nothing stays
  // loaded and false is returned.
  bool Load(const std::wstring& program_folder);
  void Unload();
  bool loaded() const { return library_ != nullptr; }

  int InitFileList(sqx::FileList* list) const;
  int DoneFileList(sqx::FileList* list) const;
  int AddFileList(const std::string& name, sqx::FileList* list) const;
  int InitArcFileList(sqx::ArcFileList* list) const;
  int DoneArcFileList(sqx::ArcFileList* list) const;
  int AddFiles(const std::string& archive, sqx::FileList* list, unsigned char* options,
               sqx::Callback callback, void* user) const;
  int ExtractFiles(const std::string& archive, sqx::FileList* list, unsigned char* options,
                   sqx::Callback callback, void* user) const;
  int ListFiles(const std::string& archive, sqx::FileList* list, sqx::ArcFileList* contents,
                unsigned char* scratch, unsigned char* options, sqx::Callback callback,
                void* user) const;

 private:
  template <typename Fn>
  Fn Entry(int index) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(entries_[index]));
  }

  HMODULE library_ = nullptr;
  std::array<FARPROC, 13> entries_{};
};

}  // namespace mailstow
