#include "file_search.h"

#include <windows.h>

#include "base/folders.h"

namespace mailstow {

void FileSearch::Execute() {
  stop = false;
  busy_ = true;
  files_found.clear();
  std::vector<std::wstring> entries;
  size_t start = 0;
  for (;;) {
    const size_t end = search_file.find(L';', start);
    entries.push_back(search_file.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  const std::wstring first_folder =
      entries.front().substr(0, entries.front().find_last_of(L'\\') + 1);
  for (size_t i = 0; i < entries.size() && !stop; ++i) {
    const std::wstring entry = i == 0 ? entries[i] : first_folder + entries[i];
    const size_t separator = entry.find_last_of(L'\\');
    const std::wstring folder =
        separator == std::wstring::npos ? L"" : entry.substr(0, separator + 1);
    SearchEntry(folder, entry.substr(folder.size()));
  }
  if (on_finish) on_finish();
  busy_ = false;
}

void FileSearch::SearchEntry(const std::wstring& folder, const std::wstring& mask) {
  if (on_change_folder) on_change_folder(folder);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongPath(folder + mask).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (on_file_find) {
        on_file_find(folder, name);
        files_found.push_back(folder + name);
      }
      if (process_messages) process_messages();
    } while (!stop && FindNextFileW(search, &found));
    FindClose(search);
  }
  if (!recurse_sub_folders || stop) return;
  search = FindFirstFileW(LongPath(folder + L"*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      continue;
    SearchEntry(folder + name + L"\\", mask);
  } while (!stop && FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace mailstow
