// Backup and restore runs from the ready pages to the completion pages.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "base/archive_names.h"
#include "base/client_table.h"
#include "base/folders.h"
#include "app/main_form.h"
#include "ui/small_dialogs.h"

namespace mailstow {

void MainForm::StartBackupRun() {
  if (!AdapterAvailable(job_->client_index)) return;
  // A running client holds its stores open: the backup waits until it is closed, as a
  // direct restore does.
  if (ClientRunning(ExecutablesOf(job_->client_index))) return;
  log_.Open(program_folder_ + L"Log.txt");
  form1_->SetText(L"Label17", job_->backup_archive_path());
  form1_->SetEnabled(L"Button2", false);
  form1_->SetEnabled(L"Button3", false);
  form1_->ShowPage(7);
  SetBackupProgress(0);
  Delay(100);
  Adapter()->Backup();
  log_.Close();
  EmptyFolderTree(staging_folder_);
  form1_->SetEnabled(L"Button3", true);
  form1_->ShowPage(8);
  form1_->SetText(L"Label35", job_->backup_archive_path());
  const JobFlags& flags = archive_->flags();
  const wchar_t* title = L"Message37";
  const wchar_t* text = L"Message40";
  if (flags.job_failed) {
    title = L"Message39";
    text = L"Message42";
  } else if (flags.archive_incomplete) {
    title = L"Message38";
    text = L"Message41";
  }
  form1_->SetText(L"Label14", Message(title));
  form1_->SetText(L"Label32", Message(text));
  const bool success = !flags.job_failed && !flags.archive_incomplete;
  if (!success) form1_->SetText(L"Label35", L"");
  form1_->SetVisible(L"Button10", success);
  form1_->SetVisible(L"Button2", false);
  // "Create new backup" stands at 350 pixels, 109 wide; a longer translation grows leftwards.
  const std::wstring caption = Message(L"Message34");
  const int width = std::max(109, form1_->TextWidth(L"Button3", caption) + 18);
  const RECT next = form1_->ComponentRect(L"Button3");
  form1_->MoveComponent(L"Button3", 459 - width, next.top, width, next.bottom - next.top);
  form1_->SetText(L"Button3", caption);
}

void MainForm::CreateNewBackup() {
  job_->cancel_requested = 0;
  const RECT next = form1_->ComponentRect(L"Button3");
  form1_->MoveComponent(L"Button3", 384, next.top, 75, next.bottom - next.top);
  form1_->SetText(L"Button3", Message(L"Message35"));
  form1_->SetVisible(L"Button2", true);
  form1_->SetEnabled(L"Button2", true);
  ShowWizardPage(3);
}

void MainForm::StartRestoreRun() {
  if (!AdapterAvailable(job_->client_index)) return;
  if (job_->restore_directly() && ClientRunning(ExecutablesOf(job_->client_index))) return;
  RunRestore(nullptr);
}

void MainForm::RunRestore(const RestoreTrail* undoing) {
  log_.Open(program_folder_ + L"Log.txt");
  log_.Line(L"");
  log_.Line(undoing != nullptr ? L"Undo of the last restore" : L"Restore");
  log_.Line(L"");
  log_.Line(L"Identity:");
  const CheckListBox identities = job_->restore_identities();
  for (int i = 0; i < identities.Count(); ++i) log_.Line(L"  " + identities.Text(i));
  log_.Line(L"Items:");
  const CheckListBox items = job_->restore_items();
  for (int i = 0; i < items.Count(); ++i) log_.Line(L"  " + items.Text(i));
  log_.Line(L"Source file: " + job_->restore_archive_path());
  log_.Line(L"Other dir: " + job_->other_folder());
  log_.Line(L"EmailClient: " + std::to_wstring(job_->client_index));
  form1_->SetText(L"Label29", job_->restore_archive_path());
  form1_->SetEnabled(L"Button2", false);
  form1_->SetEnabled(L"Button3", false);
  form1_->ShowPage(13);
  SetRestoreProgress(0);
  Delay(100);
  archive_->ClearUnpackFailures();
  const UndoFiles undo = UndoFilesOf(job_->client_index);
  RestoreTrail trail({staging_folder_}, undo.aside_folder);
  bool kept = false;
  if (job_->restore_directly() && undoing == nullptr) {
    const SafetyCopyOutcome outcome = KeepStateBeforeRestore(trail);
    if (outcome == SafetyCopyOutcome::kStopped) {
      log_.Close();
      form1_->SetEnabled(L"Button2", true);
      form1_->SetEnabled(L"Button3", true);
      ShowWizardPage(12);
      return;
    }
    kept = outcome == SafetyCopyOutcome::kKept;
  }
  // What the restore made goes first: it may stand where the safety copy puts things back (a
  // key the restore replaced whole, a file it wrote anew).
  if (undoing != nullptr) RecordNotTakenBack(undoing->TakeBack());
  if (kept) {
    archive_->set_trail(&trail);
    registry_->Trail = &trail;
  }
  if (!job_->restore_directly()) {
    Adapter()->RestoreToFolder();
  } else if (undoing == nullptr || IsFile(undo.archive)) {
    Adapter()->RestoreDirect();
  }
  archive_->set_trail(nullptr);
  registry_->Trail = nullptr;
  if (kept && !trail.Save(undo.trail)) {
    log_.Line(L"The record of this restore for an undo cannot be written: " + undo.trail);
  }
  if (undoing != nullptr) RecordNotTakenBack(undoing->PutBackReplacedValues());
  // A complete undo leaves nothing to undo again; an incomplete one can be tried once more.
  if (undoing != nullptr && archive_->unpack_failures().empty()) DiscardUndo(undo);
  log_.Close();
  EmptyFolderTree(staging_folder_);
  form1_->SetEnabled(L"Button3", true);
  Delay(300);
  form1_->ShowPage(14);
  form1_->SetVisible(L"Button3", false);
  form1_->SetVisible(L"Button2", false);
  form1_->SetText(L"Label37", kept ? Message(L"Message60") : L"");
  form1_->SetVisible(L"Button12", kept);
  if (kept) FitButton(L"Button12", Message(L"Message59"));
  if (undoing != nullptr && archive_->unpack_failures().empty()) {
    form1_->SetText(L"Label33", Message(L"Message64"));
  }
  // A restore that did not bring back everything says so, on the page and in a box that
  // names what went wrong.
  if (!archive_->unpack_failures().empty()) {
    form1_->SetText(L"Label30", Message(L"Message47"));
    form1_->SetText(L"Label33", Message(L"Message48"));
    archive_->ReportUnpackFailures();
  }
}

void MainForm::GoToFolder() {
  const std::wstring folder = FolderOf(form1_->Text(L"Label35"));
  ShellExecuteW(form1_->hwnd(), L"explore", folder.c_str(), L"*.ebk", nullptr, SW_SHOWNORMAL);
}

}  // namespace mailstow
