// The unattended backup run ("/auto"): every client that the auto-backup settings select,
// one dated archive each in the backup folder, then the client's older archives trimmed by
// the backup mode. The wizard window stays hidden unless the tray icon is double-clicked.
#include <windows.h>

#include <algorithm>

#include "base/folders.h"
#include "app/main_form.h"
#include "base/registry_key.h"
#include "ui/small_dialogs.h"
#include "auto/archive_rotation.h"
#include "auto/auto_selection_store.h"
#include "auto/rotation_files.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"

namespace mailstow {
namespace {

// One run at a time: runs share the staging folder, the log and the archive paths.
constexpr wchar_t kRunMutexName[] = L"Local\\MailstowUnattendedBackup";
constexpr wchar_t kExplorerKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr DWORD kClientWaitMs = 300000;
constexpr DWORD kWaitSliceMs = 250;
constexpr ULONGLONG kFileTimeSlack = 3ULL * 10000000ULL;  // 3 s in 100 ns steps

std::wstring LogonUserName() {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kExplorerKeyPath, false, KEY_READ)) return {};
  const RegistryRead<std::wstring> name = key.ReadString(L"Logon User Name");
  return name.ok() ? name.value : std::wstring();
}

std::wstring TodayText() {
  SYSTEMTIME today;
  GetLocalTime(&today);
  return AutoArchiveDateText(today.wDay, today.wMonth, today.wYear);
}

// The last-write time of a file, or 0 when it is missing.
ULONGLONG WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

ULONGLONG SystemNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace

int MainForm::RunUnattended() {
  HANDLE run_lock = CreateMutexW(nullptr, FALSE, kRunMutexName);
  if (run_lock == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    OutputDebugStringW(L"Mailstow /auto: another unattended backup is running; this one ends.\n");
    if (run_lock != nullptr) CloseHandle(run_lock);
    return kAnotherRunExitCode;
  }
  unattended_ = true;
  // 1.
  tray_->Show();
  ApplyCaptions();
  messages_.Load();
  // 2.
  const std::wstring user_prefix = UserPrefixFor(LogonUserName());
  // 3. The job takes the volume choice from the wizard's controls; the settings' own
  // "MultipleVolumes" and "Volumes" stay as the wizard left them.
  SelectRadio(settings_.auto_multiple_volumes ? L"RadioButton15" : L"RadioButton14");
  SendMessageW(form1_->Control(L"ComboBox2"), CB_SETCURSEL,
               static_cast<WPARAM>(settings_.auto_volumes), 0);
  // 4.
  const AutoSelections selections = LoadAutoSelections();
  // 5.
  log_.Open(program_folder_ + L"AutoLog.txt");
  // 6.
  const std::wstring date = TodayText();
  const auto clients = AutoClients();
  for (size_t i = 0; i < clients.size(); ++i) {
    if (!selections[i].select) continue;
    if (unattended_exit_) {
      log_.Line(L"Skipped " + std::wstring(clients[i].caption) + L": the run was ended.");
      continue;
    }
    BackUpUnattended(clients[i], selections[i], user_prefix, date);
  }
  // 7.
  tray_->Hide();
  log_.Close();
  CloseHandle(run_lock);
  return 0;
}

void MainForm::BackUpUnattended(const AutoClient& client, const AutoClientSelection& selection,
                                const std::wstring& user_prefix, const std::wstring& date) {
  const std::wstring name(client.caption);
  job_->client_index = client.client_index;
  MailClientAdapter* adapter = Adapter();
  if (adapter == nullptr) {
    log_.Line(L"Skipped " + name + L": backing up this client is not available.");
    return;
  }
  // 6.1 The lists: every identity, the items by the stored flags.
  CheckListBox identities = job_->backup_identities();
  CheckListBox items = job_->backup_items();
  identities.Clear();
  items.Clear();
  adapter->FillLists();
  for (int i = 0; i < identities.Count(); ++i) identities.SetTicked(i, true);
  bool any_item = false;
  for (int i = 0; i < items.Count(); ++i) {
    const bool ticked = AutoItemTicked(client, selection, i) && items.IsEntryEnabled(i);
    items.SetTicked(i, ticked);
    any_item = any_item || ticked;
  }
  // An archive without data would count as a backup and push real ones out by rotation.
  if (identities.Count() == 0) {
    log_.Line(L"Skipped " + name + L": no identity found.");
    return;
  }
  if (!any_item) {
    log_.Line(L"Skipped " + name + L": no item to back up.");
    return;
  }
  // 6.2
  const std::wstring archive =
      AutoArchivePath(settings_.backup_dir, user_prefix, client.name_prefix, date);
  job_->set_backup_archive_path(archive);
  form1_->SetText(L"Label17", archive);
  // 6.3
  form1_->SetChecked(L"CheckBox1", settings_.backup_use_password);
  const std::wstring password =
      settings_.backup_use_password ? settings_.backup_password : std::wstring();
  form1_->SetText(L"Edit2", password);
  form1_->SetText(L"Edit3", password);
  job_->archive_password = password;
  // 6.4 Every client's stores are held open while it runs, not only Outlook's.
  if (!WaitForClientToClose(ExecutablesOf(client.client_index))) {
    log_.Line(L"Skipped " + name + L": the run was ended.");
    return;
  }
  // 6.5
  job_->cancel_requested = 0;
  // Less the coarsest file-time step (2 s on FAT), so that a quick backup counts as new.
  const ULONGLONG started = SystemNow() - kFileTimeSlack;
  adapter->Backup();
  // 6.6 Only a good, complete archive written by this backup lets older ones go.
  const JobFlags& flags = archive_->flags();
  if (unattended_exit_) {
    log_.Line(L"Backup of " + name + L" cancelled: no old backup deleted.");
    return;
  }
  if (flags.job_failed || flags.archive_incomplete || WriteTime(archive) < started ||
      !IsFile(archive)) {
    log_.Line(L"Backup of " + name + L" failed: no old backup deleted.");
    return;
  }
  // A backup that found none of the client's files (a client still selected but no longer on
  // this machine) holds only what Mailstow wrote itself. It is not kept, so that it never
  // counts as a backup and rotation never lets it push out real ones.
  const std::vector<JobEntry>& entries = archive_->entries();
  const bool found_data = std::any_of(entries.begin(), entries.end(), [this](const JobEntry& e) {
    return !InFolder(e.source, staging_folder_);
  });
  if (!found_data) {
    DeleteBackup(archive, [this](const std::wstring& line) { log_.Line(line); });
    log_.Line(L"Skipped " + name + L": none of its files found on this machine.");
    return;
  }
  RotationRequest rotation;
  rotation.backup_dir = settings_.backup_dir;
  rotation.prefix = user_prefix + std::wstring(client.name_prefix);
  rotation.new_archive = archive;
  rotation.mode = settings_.backup_mode;
  rotation.keep = settings_.backup_keep;
  RotateArchives(rotation, [this](const std::wstring& line) { log_.Line(line); });
}

bool MainForm::WaitForClientToClose(const std::vector<std::wstring>& executables) {
  if (executables.empty()) return !unattended_exit_;
  close_programs_->ShowWaitButton(true);
  form5_->SetVisible(L"Button1", false);
  while (!unattended_exit_ && ClientRunning(executables)) {
    if (close_programs_->result_mark() != 10) continue;
    const bool icon_shown = tray_->visible();
    if (icon_shown) tray_->Hide();
    const ULONGLONG end = GetTickCount64() + kClientWaitMs;
    while (!unattended_exit_ && GetTickCount64() < end) Delay(kWaitSliceMs);
    if (!tray_->visible()) tray_->Show();
  }
  form5_->SetVisible(L"Button1", true);
  close_programs_->ShowWaitButton(false);
  return !unattended_exit_;
}

void MainForm::EndUnattendedRun() {
  unattended_exit_ = true;
  job_->cancel_requested = 1;
  ShowWindow(form1_->hwnd(), SW_HIDE);
}

}  // namespace mailstow
