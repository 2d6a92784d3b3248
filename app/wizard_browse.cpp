// The three "Browse..." buttons of the wizard.
#include <windows.h>

#include <commdlg.h>

#include "app/archive_names.h"
#include "app/client_table.h"
#include "app/main_form.h"
#include "app/small_dialogs.h"

namespace mailstow {
namespace {

// "Letterkeep (*.ebk)|*.ebk" in the form the common dialogs take.
constexpr wchar_t kArchiveFilter[] = L"Letterkeep (*.ebk)\0*.ebk\0";

bool FolderExists(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void MainForm::Button5Click() {
  SYSTEMTIME today;
  GetLocalTime(&today);
  const ClientInfo* client = ClientByIndex(job_->client_index);
  std::wstring file = SuggestedArchiveFileName(client != nullptr ? client->prefix : L"",
                                               today.wDay, today.wMonth, today.wYear);
  file.resize(std::max<size_t>(file.size(), MAX_PATH) + 1, L'\0');
  const std::wstring current_folder = FolderOf(job_->backup_archive_path());
  const std::wstring start = !current_folder.empty() && FolderExists(current_folder)
                                 ? current_folder
                                 : settings_.last_path;
  const std::wstring title = form1_->Text(L"SaveDialog1");
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = form1_->hwnd();
  dialog.lpstrFilter = kArchiveFilter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = start.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"ebk";
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (GetSaveFileNameW(&dialog)) job_->set_backup_archive_path(file.c_str());
}

void MainForm::Button6Click() {
  if (!RefreshCaptionsOnce()) return;
  std::wstring file = job_->restore_archive_path();
  file.resize(std::max<size_t>(file.size(), MAX_PATH) + 1, L'\0');
  const std::wstring title = form1_->Text(L"OpenDialog1");
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = form1_->hwnd();
  dialog.lpstrFilter = kArchiveFilter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"ebk";
  dialog.Flags = OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&dialog)) job_->set_restore_archive_path(file.c_str());
}

void MainForm::Button7Click() {
  if (!RefreshCaptionsOnce()) return;
  form1_->SetText(L"Edit5", BrowseForFolder(form1_->hwnd(), job_->other_folder()));
}

}  // namespace mailstow
