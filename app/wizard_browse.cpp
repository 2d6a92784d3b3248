// The three "Browse..." buttons of the wizard.
#include <windows.h>

#include <commdlg.h>

#include <optional>

#include "base/archive_names.h"
#include "base/client_table.h"
#include "app/main_form.h"
#include "ui/small_dialogs.h"

namespace mailstow {
namespace {

// "Letterkeep (*.ebk)|*.ebk" in the form the common dialogs take.
constexpr wchar_t kArchiveFilter[] = L"Letterkeep (*.ebk)\0*.ebk\0";

bool FolderExists(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The common open or save dialog for archives; the chosen path, or nullopt after Cancel.
std::optional<std::wstring> AskArchiveFile(HWND owner, bool save, std::wstring file,
                                           const std::wstring& title, const std::wstring& start) {
  file.resize(std::max<size_t>(file.size(), MAX_PATH) + 1, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kArchiveFilter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"ebk";
  dialog.Flags = OFN_HIDEREADONLY | (save ? OFN_PATHMUSTEXIST : 0);
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  return std::wstring(file.c_str());
}

}  // namespace

void MainForm::Button5Click() {
  SYSTEMTIME today;
  GetLocalTime(&today);
  const ClientInfo* client = ClientByIndex(job_->client_index);
  const std::wstring current_folder = FolderOf(job_->backup_archive_path());
  const std::wstring start = !current_folder.empty() && FolderExists(current_folder)
                                 ? current_folder
                                 : settings_.last_path;
  const auto chosen =
      AskArchiveFile(form1_->hwnd(), true,
                     SuggestedArchiveFileName(client != nullptr ? client->prefix : L"", today.wDay,
                                              today.wMonth, today.wYear),
                     form1_->Text(L"SaveDialog1"), start);
  if (chosen) job_->set_backup_archive_path(*chosen);
}

void MainForm::Button6Click() {
  if (!RefreshCaptionsOnce()) return;
  const auto chosen = AskArchiveFile(form1_->hwnd(), false, job_->restore_archive_path(),
                                     form1_->Text(L"OpenDialog1"), L"");
  if (chosen) job_->set_restore_archive_path(*chosen);
}

void MainForm::Button7Click() {
  if (!RefreshCaptionsOnce()) return;
  form1_->SetText(L"Edit5", BrowseForFolder(form1_->hwnd(), job_->other_folder()));
}

}  // namespace mailstow
