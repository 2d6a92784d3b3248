// The wizard's navigation: Next, Back and Exit with the checks of every page.
#include <windows.h>

#include <commctrl.h>

#include "base/archive_names.h"
#include "base/client_table.h"
#include "base/folders.h"
#include "app/main_form.h"
#include "clients/adapter_values.h"
#include "engine/archive_opening.h"

namespace mailstow {
namespace {

bool AnyTicked(const CheckListBox& list) {
  for (int i = 0; i < list.Count(); ++i) {
    if (list.IsTicked(i)) return true;
  }
  return false;
}

void TickAll(CheckListBox list, bool enabled_only) {
  for (int i = 0; i < list.Count(); ++i) {
    if (!enabled_only || list.IsEntryEnabled(i)) list.SetTicked(i, true);
  }
}

std::wstring ShortDateToday() {
  wchar_t date[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
  return date;
}

}  // namespace

bool MainForm::RefreshCaptionsOnce() {
  if (captions_applied_) return true;
  captions_applied_ = true;
  return ApplyCaptions() != LanguageFileState::kNoFileName;
}

std::wstring MainForm::DefaultArchivePath() const {
  const ClientInfo* client = ClientByIndex(job_->client_index);
  return DefaultArchiveName(settings_.last_path, client != nullptr ? client->prefix : L"",
                            ShortDateToday());
}

void MainForm::ShowWizardPage(int page) {
  form1_->ShowPage(page);
  switch (page) {
    case 1:
      form1_->SetEnabled(L"Button2", false);
      form1_->SetEnabled(L"Button3", true);
      form1_->SetText(L"Button3", Message(L"Message3"));
      break;
    case 2:
      form1_->SetEnabled(L"Button2", true);
      break;
    case 9:
      if (job_->started_with_archive) form1_->SetEnabled(L"Button2", false);
      ShowUndoOffer();
      break;
    default:
      break;
  }
}

void MainForm::Button3Click() {
  if (!RefreshCaptionsOnce()) return;
  const int page = form1_->active_page();
  bool advance = true;
  switch (page) {
    case 3:
      advance = NextOnClientPage();
      break;
    case 4:
      advance = NextOnBackupListsPage();
      break;
    case 5:
      advance = NextOnArchiveFilePage();
      break;
    case 6:
      StartBackupRun();
      advance = false;
      break;
    case 7:
    case 13:
    case 14:
      advance = false;
      break;
    case 8:
      CreateNewBackup();
      advance = false;
      break;
    case 9:
      advance = NextOnRestoreFilePage();
      break;
    case 10:
      advance = NextOnRestoreListsPage();
      break;
    case 11:
      advance = NextOnRestoreTargetPage();
      break;
    case 12:
      StartRestoreRun();
      advance = false;
      break;
    default:
      break;
  }
  if (advance && page < kWizardPageCount) ShowWizardPage(page == 2 ? 3 : page + 1);
}

bool MainForm::NextOnClientPage() {
  if (job_->client_index == 0) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message13"));
    return false;
  }
  if (job_->client_not_installed && prompts_.Show(PromptKind::kWarning, PromptButtons::kYesNo,
                                                  Message(L"Message14")) != PromptAnswer::kYes) {
    return false;
  }
  if (!AdapterAvailable(job_->client_index)) return false;
  if (job_->action() == WizardAction::kBackup) {
    for (CheckListBox list : {job_->backup_identities(), job_->backup_items()}) {
      EnableWindow(list.hwnd(), TRUE);
      list.Clear();
    }
    Adapter()->FillLists();
    TickAll(job_->backup_identities(), false);
    TickAll(job_->backup_items(), false);
    return true;
  }
  const ClientInfo* client = ClientByIndex(job_->client_index);
  std::wstring last;
  if (job_->client_index == 10) {
    last = favorites_last_archive_;
  } else if (client != nullptr) {
    last = settings_.last_archives[static_cast<size_t>(client->last_slot.back() - L'1')];
  }
  job_->set_restore_archive_path(!last.empty() ? last : DefaultArchivePath());
  ShowWizardPage(9);
  return false;
}

bool MainForm::NextOnBackupListsPage() {
  if (!AnyTicked(job_->backup_identities())) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message7"));
    return false;
  }
  if (!AnyTicked(job_->backup_items())) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message8"));
    return false;
  }
  if (job_->protect_with_password()) {
    form1_->SetEnabled(L"Edit2", true);
    form1_->SetEnabled(L"Edit3", true);
  }
  job_->set_backup_archive_path(DefaultArchivePath());
  return true;
}

bool MainForm::NextOnArchiveFilePage() {
  const std::wstring path = job_->backup_archive_path();
  bool file_part = false;
  if (IsFile(path)) {
    file_part = prompts_.Show(PromptKind::kWarning, PromptButtons::kYesNo, Message(L"Message12")) ==
                PromptAnswer::kYes;
  } else if (path.empty() || IsFolder(path)) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message10"));
  } else {
    const std::wstring folder = FolderOf(path);
    file_part = folder.empty() || IsFolder(folder) || CreateFolderTree(folder);
    if (!file_part) prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message10"));
  }
  if (file_part) {
    settings_.last_path = FolderOf(path);
    settings_.multiple_volumes = job_->split_into_volumes();
    settings_.volumes = job_->volume_index();
  }
  const std::wstring password = form1_->Text(L"Edit2");
  const std::wstring retyped = form1_->Text(L"Edit3");
  if (password.empty() && retyped.empty()) form1_->SetChecked(L"CheckBox1", false);
  if (password == retyped) {
    job_->archive_password = password;
    return file_part;
  }
  prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message2"));
  form1_->SetText(L"Edit2", L"");
  form1_->SetText(L"Edit3", L"");
  SetFocus(form1_->Control(L"Edit2"));
  return false;
}

bool MainForm::NextOnRestoreFilePage() {
  const std::wstring path = job_->restore_archive_path();
  if (!IsFile(path)) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message9"));
    return false;
  }
  if (OpenArchiveForRestore(*archive_, *this, path) != OpenOutcome::kOpened) return false;
  if (job_->started_with_archive) {
    ClientChosen(
        ReadArchiveClient(*archive_, log_, program_folder_ + L"Log.txt", path, job_->client_index));
  }
  if (!AdapterAvailable(job_->client_index) || !FillRestoreLists()) return false;
  if (job_->started_with_archive) form1_->SetEnabled(L"Button2", true);
  settings_.last_path = FolderOf(path);
  return true;
}

bool MainForm::FillRestoreLists() {
  for (CheckListBox list : {job_->restore_identities(), job_->restore_items()}) {
    EnableWindow(list.hwnd(), TRUE);
    list.Clear();
  }
  job_->wrong_client = false;
  log_.Open(program_folder_ + L"Log.txt");
  Adapter()->ReadManifest();
  log_.Close();
  if (job_->wrong_client) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message11"));
    return false;
  }
  TickAll(job_->restore_identities(), false);
  TickAll(job_->restore_items(), true);
  return true;
}

bool MainForm::NextOnRestoreListsPage() {
  if (!AnyTicked(job_->restore_identities())) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message7"));
    return false;
  }
  if (!AnyTicked(job_->restore_items())) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message8"));
    return false;
  }
  SelectRadio(L"RadioButton11");
  return true;
}

bool MainForm::NextOnRestoreTargetPage() {
  std::wstring folder = job_->other_folder();
  if (!folder.empty() && folder.back() != L'\\') {
    folder += L'\\';
    form1_->SetText(L"Edit5", folder);
  }
  if (job_->restore_directly()) {
    return prompts_.Show(PromptKind::kConfirmation, PromptButtons::kYesNo, Message(L"Message4")) ==
           PromptAnswer::kYes;
  }
  // A relative text would resolve against whatever the working folder happens to be.
  if (folder.empty() || !IsAbsoluteLocalPath(WithoutTrailingBackslash(folder))) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message6"));
    return false;
  }
  if (!IsFolder(folder)) {
    return prompts_.Show(PromptKind::kConfirmation, PromptButtons::kYesNo, Message(L"Message5")) ==
           PromptAnswer::kYes;
  }
  return true;
}

void MainForm::Button2Click() {
  const int page = form1_->active_page();
  if (page <= 1) return;
  ShowWizardPage(page == 9 ? 3 : page - 1);
}

void MainForm::Button4Click() {
  job_->cancel_requested = 1;
  if (IsWindowEnabled(form1_->Control(L"Button3"))) PostMessageW(form1_->hwnd(), WM_CLOSE, 0, 0);
}

void MainForm::SelectRadio(const std::wstring& radio) {
  static const std::vector<std::vector<std::wstring>> kGroups = {
      {L"RadioButton1", L"RadioButton2"},
      {L"RadioButton3", L"RadioButton4", L"RadioButton5", L"RadioButton6", L"RadioButton7",
       L"RadioButton8", L"RadioButton9", L"RadioButton10", L"RadioButton13", L"RadioButton16"},
      {L"RadioButton14", L"RadioButton15"},
      {L"RadioButton11", L"RadioButton12"}};
  for (const auto& group : kGroups) {
    if (std::find(group.begin(), group.end(), radio) == group.end()) continue;
    for (const std::wstring& member : group) form1_->SetChecked(member, member == radio);
  }
  UpdateVolumeChoice();
  UpdateTargetChoice();
}

void MainForm::PasswordBoxClicked() {
  const bool ticked = form1_->IsChecked(L"CheckBox1");
  for (const wchar_t* field : {L"Edit2", L"Edit3"}) {
    form1_->SetText(field, L"");
    form1_->SetEnabled(field, ticked);
  }
}

void MainForm::UpdateVolumeChoice() {
  form1_->SetEnabled(L"ComboBox2", form1_->IsChecked(L"RadioButton15"));
}

void MainForm::UpdateTargetChoice() {
  const bool other = form1_->IsChecked(L"RadioButton12");
  form1_->SetEnabled(L"Edit5", other);
  form1_->SetEnabled(L"Button7", other);
}

void MainForm::ReturnToBackupFilePage() {
  ShowWizardPage(5);
  form1_->SetEnabled(L"Button2", true);
}

void MainForm::ReturnToRestoreLocationPage() {
  ShowWizardPage(11);
  form1_->SetEnabled(L"Button2", true);
}

}  // namespace mailstow
