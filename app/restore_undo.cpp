// Undoing a direct restore: the safety copy of what the restore will replace, made before
// anything changes through the client's own backup, and the undo that restores it and takes
// back the rest of the restore's trail.
#include <windows.h>

#include <numeric>

#include "app/main_form.h"
#include "app/undo_files.h"
#include "base/client_table.h"
#include "base/folders.h"
#include "base/message_arguments.h"
#include "base/plain_wizard_job.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "engine/archive_opening.h"
#include "engine/safety_copy_host.h"

namespace mailstow {
namespace {

// The safety copy is stored, not compressed: the space check asks for the sources' full size
// anyway, and storing runs at the speed of the disk (five times as fast as the fastest deflate
// on a large mailbox under Wine).
constexpr int kStoredLevel = 0;
constexpr unsigned long long kSpaceReserve = 1ULL << 20;

bool Ticked(const TickList& list, const std::wstring& text) {
  for (int i = 0; i < list.Count(); ++i) {
    if (list.IsTicked(i) && EqualsIgnoreCase(list.Text(i), text)) return true;
  }
  return false;
}

// Ticks what the restore's list ticks: identities and items that exist here by the same name,
// or everything when the client takes its list as a whole.
int TickAsRestored(PlainTickList& list, const TickList& restored) {
  int ticked = 0;
  for (int i = 0; i < list.Count(); ++i) {
    const bool tick =
        list.IsEntryEnabled(i) && (!list.list_enabled() || Ticked(restored, list.Text(i)));
    list.SetTicked(i, tick);
    ticked += tick ? 1 : 0;
  }
  return ticked;
}

unsigned long long SourceBytes(const std::vector<JobEntry>& entries) {
  return std::accumulate(
      entries.begin(), entries.end(), 0ULL, [](unsigned long long sum, const JobEntry& entry) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(entry.source().c_str(), GetFileExInfoStandard, &data)) {
          return sum;
        }
        return sum +
               ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
      });
}

std::wstring MegabytesText(unsigned long long bytes) {
  return std::to_wstring((bytes + (1ULL << 20) - 1) >> 20) + L" MB";
}

}  // namespace

MainForm::SafetyCopyOutcome MainForm::KeepStateBeforeRestore(RestoreTrail& trail) {
  const UndoFiles files = UndoFilesOf(job_->client_index);
  const std::wstring label = form1_->Text(L"Label28");
  form1_->SetText(L"Label28", Message(L"Message63"));
  form1_->SetText(L"Label29", files.archive);
  log_.Line(L"");
  log_.Line(L"Keeping the data this restore replaces: " + files.archive);

  PlainBackupJob copy_job(job_->client_index);
  copy_job.set_backup_archive_path(files.archive);
  SafetyCopyHost host(*this);
  const std::wstring copy_staging = staging_folder_ + L"\\SafetyCopy";
  ArchiveJob copy_archive(archiver_, host, log_, copy_staging);
  copy_archive.set_pack_level(kStoredLevel);
  bool without_undo = false;
  bool cancelled = false;
  copy_archive.set_pack_check([&](const std::vector<JobEntry>& entries) {
    const unsigned long long needed = SourceBytes(entries) + kSpaceReserve;
    ULARGE_INTEGER free{};
    if (GetDiskFreeSpaceExW(files.folder.c_str(), &free, nullptr, nullptr) &&
        free.QuadPart >= needed) {
      return true;
    }
    const PromptAnswer answer =
        prompts_.Show(PromptKind::kWarning, PromptButtons::kYesNo,
                      WithArguments(Message(L"Message62"), {files.folder, MegabytesText(needed)}));
    without_undo = answer == PromptAnswer::kYes;
    cancelled = !without_undo;
    return false;
  });
  Settings unchanged_settings = settings_;  // the copy is no archive the user chose
  std::wstring unchanged_favorites;
  AdapterContext context{copy_job,   copy_archive,       host,         log_,
                         *registry_, unchanged_settings, copy_staging, unchanged_favorites};

  bool written = false;
  if (CreateFolderTree(files.folder) && CreateFolderTree(copy_staging)) {
    const std::unique_ptr<MailClientAdapter> adapter = CreateAdapter(job_->client_index, context);
    if (adapter != nullptr) {
      adapter->FillLists();
      const bool any_identity =
          TickAsRestored(copy_job.backup_identities(), job_->restore_identities()) > 0;
      TickAsRestored(copy_job.backup_items(), job_->restore_items());
      if (!any_identity) {
        // Nothing the restore names exists here yet: the trail alone takes it back.
        log_.Line(L"None of the restored identities exists here; nothing to keep.");
        DeleteFileW(files.archive.c_str());
        written = true;
      } else {
        adapter->Backup();
        const JobFlags& flags = copy_archive.flags();
        written = !flags.job_failed && !flags.archive_incomplete && IsFile(files.archive);
      }
    }
  }
  RemoveFolderTree(copy_staging);
  form1_->SetText(L"Label28", label);
  form1_->SetText(L"Label29", job_->restore_archive_path());
  SetRestoreProgress(0);
  if (without_undo) {
    // The undo of an earlier restore would now lead to neither state.
    DiscardUndo(files);
    log_.Line(L"Restoring without the possibility to undo it.");
    return SafetyCopyOutcome::kWithoutUndo;
  }
  if (cancelled || job_->cancel_requested == 1) return SafetyCopyOutcome::kStopped;
  if (!written) {
    log_.Line(L"Nothing restored: the data this restore replaces could not be kept.");
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, Message(L"Message61"));
    return SafetyCopyOutcome::kStopped;
  }
  // The trail of the restore before goes with the copy it belonged to.
  DiscardUndoTrail(files);
  for (const JobEntry& entry : copy_archive.entries()) trail.AddKeptFile(entry.source());
  return SafetyCopyOutcome::kKept;
}

void MainForm::ShowUndoOffer() {
  double when = 0;
  const bool available = job_->action() == WizardAction::kRestore &&
                         UndoAvailable(UndoFilesOf(job_->client_index), &when);
  form1_->SetVisible(L"Button11", available);
  if (!available) return;
  const ClientInfo* client = ClientByIndex(job_->client_index);
  const std::wstring name =
      client != nullptr ? form1_->Text(std::wstring(client->radio_button)) : L"";
  const std::wstring caption =
      WithArguments(Message(L"Message58"), {name, ShortDateTimeText(when)});
  FitButton(L"Button11", caption);
}

void MainForm::FitButton(const wchar_t* button, const std::wstring& caption) {
  form1_->SetText(button, caption);
  const RECT place = form1_->ComponentRect(button);
  form1_->MoveComponent(button, place.left, place.top, form1_->TextWidth(button, caption) + 24,
                        place.bottom - place.top);
}

void MainForm::UndoLastRestore() {
  const UndoFiles files = UndoFilesOf(job_->client_index);
  if (!UndoAvailable(files)) return;
  if (prompts_.Show(PromptKind::kConfirmation, PromptButtons::kYesNo, Message(L"Message4")) !=
      PromptAnswer::kYes) {
    return;
  }
  if (!AdapterAvailable(job_->client_index)) return;
  if (ClientRunning(ExecutablesOf(job_->client_index))) return;
  RestoreTrail trail({}, files.aside_folder);
  if (!trail.Load(files.trail)) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk,
                  WithArguments(Message(L"Message65"), {files.trail}));
    return;
  }
  job_->cancel_requested = 0;
  job_->archive_password.clear();
  if (IsFile(files.archive)) {
    job_->set_restore_archive_path(files.archive);
    if (OpenArchiveForRestore(*archive_, *this, files.archive) != OpenOutcome::kOpened) return;
    if (!FillRestoreLists()) return;
  } else {
    job_->restore_identities().Clear();
    job_->restore_items().Clear();
  }
  SelectRadio(L"RadioButton11");
  RunRestore(&trail);
}

void MainForm::RecordNotTakenBack(const std::vector<std::wstring>& left) {
  for (const std::wstring& line : left) log_.Line(L"Not taken back: " + line);
  if (!left.empty()) {
    std::wstring list;
    for (const std::wstring& line : left) list += (list.empty() ? L"" : L", ") + line;
    archive_->RecordRestoreProblem(WithArguments(Message(L"Message65"), {list}));
  }
}

}  // namespace mailstow
