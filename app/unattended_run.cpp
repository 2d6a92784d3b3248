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
#include "auto/run_failure_notice.h"
#include "base/date_time_value.h"
#include "base/message_arguments.h"
#include "auto/scheduled_archives.h"
#include "base/text_case.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"
#include "guard/window_list.h"

namespace mailstow {
namespace {

// One run at a time: runs share the staging folder, the log and the archive paths.
constexpr wchar_t kRunMutexName[] = L"Local\\MailstowUnattendedBackup";
constexpr wchar_t kExplorerKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr ULONGLONG kClientWaitLimitMs = 30ULL * 60000;
constexpr ULONGLONG kClientLookAgainMs = 5000;
constexpr ULONGLONG kBalloonShownMs = 8000;
constexpr DWORD kWaitSliceMs = 250;
constexpr ULONGLONG kFileTimeSlack = 3ULL * 10000000ULL;  // 3 s in 100 ns steps
constexpr int kMaxArchiveCopies = 99;

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegistryDump(std::wstring_view path) {
  return path.size() > 4 && EqualsIgnoreCase(path.substr(path.size() - 4), L".reg");
}

std::wstring LogonUserName() {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kExplorerKeyPath, false, KEY_READ)) return {};
  const RegistryRead<std::wstring> name = key.ReadString(L"Logon User Name");
  return name.ok() ? name.value : std::wstring();
}

// The account name of the user running this process.
std::wstring AccountName() {
  wchar_t name[257];
  DWORD length = 257;
  return GetUserNameW(name, &length) ? std::wstring(name) : std::wstring();
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
  // Nobody may be there to answer: every question becomes a log line and a failed client.
  prompts_.set_unattended(true);
  // 1.
  tray_->Show();
  ApplyCaptions();
  messages_.Load();
  // 2.
  const std::wstring user_prefix = UserPrefixFor(LogonUserName(), AccountName());
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
  const double started = LocalNowAsDays();
  const auto clients = AutoClients();
  std::wstring unsuccessful;
  for (size_t i = 0; i < clients.size(); ++i) {
    if (!selections[i].select) continue;
    const std::wstring name(clients[i].caption);
    if (unattended_exit_) {
      log_.Line(L"Skipped " + name + L": the run was ended.");
      continue;
    }
    const bool backed_up = BackUpUnattended(clients[i], selections[i], user_prefix, date);
    EmptyFolderTree(staging_folder_);
    if (!backed_up && !unattended_exit_)
      unsuccessful += (unsuccessful.empty() ? L"" : L", ") + name;
  }
  // A run that the user ended from its window is no news to them; any other failure is told
  // now in a balloon and again at the next wizard start.
  if (!unsuccessful.empty()) ReportUnsuccessfulRun({unsuccessful, started});
  // 7.
  tray_->Hide();
  log_.Close();
  CloseHandle(run_lock);
  return 0;
}

bool MainForm::BackUpUnattended(const AutoClient& client, const AutoClientSelection& selection,
                                const std::wstring& user_prefix, const std::wstring& date) {
  const std::wstring name(client.caption);
  job_->client_index = client.client_index;
  MailClientAdapter* adapter = Adapter();
  if (adapter == nullptr) {
    log_.Line(L"Skipped " + name + L": backing up this client is not available.");
    return false;
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
    return false;
  }
  if (!any_item) {
    log_.Line(L"Skipped " + name + L": no item to back up.");
    return false;
  }
  // 6.2 A file of that name that no scheduled run wrote (a wizard backup, another program's
  // file) is never overwritten: the archive takes the next free copy number instead.
  ScheduledArchives own = ScheduledArchives::Load();
  std::wstring archive;
  for (int copy = 1; copy <= kMaxArchiveCopies; ++copy) {
    archive = AutoArchivePath(settings_.backup_dir, user_prefix, client.name_prefix, date, copy);
    if (!PathExists(archive) || own.Contains(archive)) break;
  }
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
  if (!WaitForClientToClose(name, ExecutablesOf(client.client_index))) {
    log_.Line(L"Skipped " + name + (unattended_exit_ ? L": the run was ended." : L": it is open."));
    return false;
  }
  // 6.5
  job_->cancel_requested = 0;
  prompts_.TakeDeclined();
  // Less the coarsest file-time step (2 s on FAT), so that a quick backup counts as new.
  const ULONGLONG started = SystemNow() - kFileTimeSlack;
  adapter->Backup();
  // 6.6 Only a good, complete archive written by this backup lets older ones go.
  const JobFlags& flags = archive_->flags();
  if (unattended_exit_) {
    log_.Line(L"Backup of " + name + L" cancelled: no old backup deleted.");
    return false;
  }
  const bool declined = prompts_.TakeDeclined();
  if (declined || flags.job_failed || flags.archive_incomplete || flags.sources_skipped ||
      WriteTime(archive) < started || !IsFile(archive)) {
    log_.Line(L"Backup of " + name + L" failed: no old backup deleted.");
    return false;
  }
  // A backup that found none of the client's files or registry data (a client still selected
  // but no longer on this machine) holds only the manifest and side files Mailstow wrote. It is
  // not kept, so that it never counts as a backup and rotation never lets it push out real
  // ones. Registry dumps are data.
  const std::vector<JobEntry>& entries = archive_->entries();
  const bool found_data = std::any_of(entries.begin(), entries.end(), [this](const JobEntry& e) {
    const std::wstring source = e.source();
    return !InFolder(source, staging_folder_) || IsRegistryDump(source);
  });
  if (!found_data) {
    DeleteBackup(archive, [this](const std::wstring& line) { log_.Line(line); });
    log_.Line(L"Skipped " + name + L": none of its files found on this machine.");
    return false;
  }
  if (!own.Add(archive)) {
    log_.Line(L"Cannot record " + archive + L" as a scheduled backup: no old backup deleted.");
    return false;
  }
  RotationRequest rotation;
  rotation.backup_dir = settings_.backup_dir;
  rotation.prefix = user_prefix + std::wstring(client.name_prefix);
  rotation.new_archive = archive;
  rotation.mode = settings_.backup_mode;
  rotation.keep = settings_.backup_keep;
  rotation.written_by_schedule = [&own](const std::wstring& path) { return own.Contains(path); };
  RotateArchives(rotation, [this](const std::wstring& line) { log_.Line(line); });
  own.ForgetMissing();
  return true;
}

void MainForm::ReportUnsuccessfulRun(const RunFailureNotice& notice) {
  if (!StoreRunFailureNotice(notice)) log_.Line(L"Cannot store the notice of this run's failure.");
  log_.Flush();
  tray_->ShowBalloon(Message(L"Message54"), RunFailureText(notice));
  // The balloon lives as long as the icon: keep both a while.
  const ULONGLONG end = GetTickCount64() + kBalloonShownMs;
  while (!unattended_exit_ && GetTickCount64() < end) Delay(kWaitSliceMs);
}

std::wstring MainForm::RunFailureText(const RunFailureNotice& notice) {
  return WithArguments(Message(L"Message53"),
                       {notice.clients, ShortDateTimeText(notice.when), program_folder_});
}

bool MainForm::WaitForClientToClose(const std::wstring& name,
                                    const std::vector<std::wstring>& executables) {
  // Nobody may be there to answer the close-programs dialog: the run looks again every few
  // seconds and gives the client up when it is still open after the longest wait.
  const ULONGLONG end = GetTickCount64() + kClientWaitLimitMs;
  bool waiting = false;
  for (;;) {
    windows_.Refresh();
    const bool open = std::any_of(
        executables.begin(), executables.end(),
        [this](const std::wstring& executable) { return AnyWindowOfClient(windows_, executable); });
    if (!open) return !unattended_exit_;
    if (!waiting) {
      log_.Line(L"Waiting for " + name + L" to be closed.");
      log_.Flush();  // readable while the run waits
      waiting = true;
    }
    if (GetTickCount64() >= end) {
      log_.Line(name + L" is still open after " + std::to_wstring(kClientWaitLimitMs / 60000) +
                L" minutes.");
      return false;
    }
    const ULONGLONG next_look = GetTickCount64() + kClientLookAgainMs;
    while (!unattended_exit_ && GetTickCount64() < next_look) Delay(kWaitSliceMs);
    if (unattended_exit_) return false;
  }
}

void MainForm::EndUnattendedRun() {
  unattended_exit_ = true;
  job_->cancel_requested = 1;
  ShowWindow(form1_->hwnd(), SW_HIDE);
}

}  // namespace mailstow
