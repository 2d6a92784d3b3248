// Loads Sqx.dll from the program folder and resolves the entry points by their plain names.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/sqx/sqx_functions.h"

namespace sqx::testing {
namespace {

std::wstring DllPath() {
  const char* dist = std::getenv("MAILSTOW_DIST");
  std::string path = dist != nullptr ? std::string("Z:") + dist + "/Sqx.dll" : "Sqx.dll";
  std::wstring wide(path.begin(), path.end());
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (*fn == nullptr) ADD_FAILURE() << "Sqx.dll does not export " << name;
}

SqxFunctions Load() {
  SqxFunctions f = {};
  const HMODULE module = LoadLibraryW(DllPath().c_str());
  if (module == nullptr) {
    ADD_FAILURE() << "Sqx.dll did not load";
    std::abort();
  }
  Resolve(module, kExportNames[0], &f.init_file_list);
  Resolve(module, kExportNames[1], &f.done_file_list);
  Resolve(module, kExportNames[2], &f.add_file_list);
  Resolve(module, kExportNames[3], &f.init_arc_file_list);
  Resolve(module, kExportNames[4], &f.done_arc_file_list);
  Resolve(module, kExportNames[5], &f.add_archive_comment);
  Resolve(module, kExportNames[6], &f.add_file_comments);
  Resolve(module, kExportNames[7], &f.add_files);
  Resolve(module, kExportNames[8], &f.extract_files);
  Resolve(module, kExportNames[9], &f.test_files);
  Resolve(module, kExportNames[10], &f.delete_files);
  Resolve(module, kExportNames[11], &f.list_files);
  Resolve(module, kExportNames[12], &f.repair_files);
  return f;
}

}  // namespace

const SqxFunctions& Sqx() {
  static const SqxFunctions functions = Load();
  return functions;
}

}  // namespace sqx::testing
