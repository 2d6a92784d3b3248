// The recursive file search, and the found-files list of the folders that held matches.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mailstow {

class FileSearch {
 public:
  // A path ending in a file mask, or several separated by ";" (later entries are relative
  // to the first entry's folder).
  std::wstring search_file;
  bool recurse_sub_folders = false;
  bool stop = false;
  std::vector<std::wstring> files_found;

  // Raised for every match with the folder (ending with "\") and the file name.
  std::function<void(const std::wstring& folder, const std::wstring& name)> on_file_find;
  std::function<void(const std::wstring& folder)> on_change_folder;
  std::function<void()> on_finish;
  // Called after each name so that the window stays responsive.
  std::function<void()> process_messages;

  void Execute();
  bool busy() const { return busy_; }

 private:
  void SearchEntry(const std::wstring& folder, const std::wstring& mask);

  bool busy_ = false;
};

}  // namespace mailstow
