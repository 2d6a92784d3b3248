// The main form: the wizard window with its pages, the process-wide values that start-up
// establishes, and the services (archive jobs, prompts, messages) that its pages and the
// adapters use.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/caption_target.h"
#include "ui/form_window.h"
#include "app/language_files.h"
#include "app/lng_ini_supp.h"
#include "ui/message_box_prompts.h"
#include "app/process_prompts.h"
#include "app/msg_ini_supp.h"
#include "base/settings.h"
#include "ui/tray_icon.h"
#include "ui/small_dialogs.h"
#include "app/form_wizard_job.h"
#include "app/undo_files.h"
#include "auto/auto_backup_dialog.h"
#include "auto/auto_clients.h"
#include "auto/run_failure_notice.h"
#include "clients/mail_client_adapter.h"
#include "engine/archive_job.h"
#include "engine/io_registry.h"
#include "engine/job_host.h"
#include "engine/restore_trail.h"
#include "engine/run_log.h"
#include "engine/sqx_binding.h"
#include "guard/close_programs_dialog.h"
#include "guard/window_list.h"

namespace mailstow {

class MainForm : public JobHost, public CaptionTarget {
 public:
  static constexpr UINT_PTR kWindowListTimer = 1;
  // Exit code of an unattended run that found another one running and did nothing.
  static constexpr int kAnotherRunExitCode = 2;

  explicit MainForm(HINSTANCE instance);
  ~MainForm() override;

  // What the process was started for (its first command-line argument).
  enum class StartMode { kWizard, kUnattended, kUninstall };
  // Start-up steps 6-16; false when the archiver library could not be bound (the error box
  // has been shown and nothing was read or written). An unattended run stages its files in a
  // folder of its own, so that a wizard opened meanwhile neither empties nor overwrites them.
  // The uninstall cleanup only reads: it creates no settings and no staging folder, and shows
  // no box about stored settings.
  bool FormCreate(StartMode mode);
  // Creates the password prompt, about box, auto-backup and close-programs forms.
  void CreateDialogs();
  // The first command-line argument has named an archive to restore.
  void PrepareForArchive(const std::wstring& archive_path);
  void Show();
  // Runs the message loop until the window is closed; returns the exit code.
  int RunMessageLoop();

  // The unattended backup run ("/auto"); returns the exit code.
  int RunUnattended();
  void RunUninstall();

  // JobHost.
  void ProcessMessages() override;
  int cancel_requested() const override { return job_->cancel_requested; }
  void set_cancel_requested(int value) override { job_->cancel_requested = value; }
  void SetBackupProgress(int position) override;
  void SetRestoreProgress(int position) override;
  std::wstring Message(std::wstring_view key) override;
  UserPrompts& prompts() override { return prompts_; }
  std::wstring& archive_password() override { return job_->archive_password; }
  void ReturnToBackupFilePage() override;
  void ReturnToRestoreLocationPage() override;
  void ShowVerifying(bool verifying) override;

  // CaptionTarget.
  bool SetComponentText(const std::wstring& form, const std::wstring& component,
                        const std::wstring& text) override;

 private:
  // Lifecycle (main_form.cpp).
  void FormShow();
  void FormCloseQuery();
  void FormClose();
  bool BackupRunning() const;
  void PlaceWindow();
  void ChooseLanguageAtStart();
  LanguageFileState ApplyCaptions();
  void RelayoutForCaptions();
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void OnCommand(const std::wstring& component, int notification);
  FormWindow* FormNamed(const std::wstring& name);

  // Wizard pages (wizard_pages.cpp).
  void Button2Click();  // Back
  void Button3Click();  // Next
  void Button4Click();  // Exit
  bool RefreshCaptionsOnce();
  void ShowWizardPage(int page);
  bool NextOnClientPage();
  bool NextOnBackupListsPage();
  bool NextOnArchiveFilePage();
  bool NextOnRestoreFilePage();
  // Fills and ticks the restore lists from the opened archive's manifest; false (with the box
  // shown) when it belongs to another client.
  bool FillRestoreLists();
  bool NextOnRestoreListsPage();
  bool NextOnRestoreTargetPage();
  std::wstring DefaultArchivePath() const;
  void SelectRadio(const std::wstring& radio);
  void PasswordBoxClicked();
  void UpdateVolumeChoice();
  void UpdateTargetChoice();
  void LanguageChanged();
  // Detection of installed clients and the page-3 captions (client_page.cpp).
  void DetectInstalledClients();
  void ClientChosen(int client_index);
  MailClientAdapter* Adapter();
  bool AdapterAvailable(int client_index);

  // Runs (wizard_runs.cpp).
  void StartBackupRun();
  void StartRestoreRun();
  // The restore run from page 13 to page 14; while undoing, the trail of the restore is taken
  // back before its safety copy is restored.
  void RunRestore(const RestoreTrail* undoing);
  void CreateNewBackup();
  void GoToFolder();
  void ShowAbout();
  void ShowHelp();
  void TrayDoubleClick();
  // True when one of the executables has windows; the close-programs dialog was shown.
  bool ClientRunning(const std::vector<std::wstring>& executables);
  // The executable names of a client (none for the Favorites).
  static std::vector<std::wstring> ExecutablesOf(int client_index);

  // Undoing a direct restore (restore_undo.cpp).
  enum class SafetyCopyOutcome { kKept, kWithoutUndo, kStopped };
  // Before a direct restore: backs up what it will replace into the client's safety copy and
  // prepares the trail for the rest. kWithoutUndo when the user chose to restore without it
  // (too little space); kStopped when nothing may be restored (the box has been shown).
  SafetyCopyOutcome KeepStateBeforeRestore(RestoreTrail& trail);
  // Page 9 offers to undo the chosen client's last restore while its safety copy exists.
  void ShowUndoOffer();
  // Gives a button of an undo offer its caption, as wide as the caption needs.
  void FitButton(const wchar_t* button, const std::wstring& caption);
  // Restores the safety copy of the chosen client and takes the rest of its restore back.
  void UndoLastRestore();
  // Logs and records as a problem of the undo what its trail could not take back.
  void RecordNotTakenBack(const std::vector<std::wstring>& left);

  // The unattended run (unattended_run.cpp).
  // Backs up one client; false when no archive of it was made and kept.
  bool BackUpUnattended(const AutoClient& client, const AutoClientSelection& selection,
                        const std::wstring& user_prefix, const std::wstring& date);
  // Leaves the note for the next wizard start and shows it in a balloon.
  void ReportUnsuccessfulRun(const RunFailureNotice& notice);
  std::wstring RunFailureText(const RunFailureNotice& notice);
  // At a wizard start: the note of an unsuccessful scheduled run, once.
  void ShowRunFailureNotice();
  // Waits while the client (named for the log) runs, without a dialog; false when the run was
  // ended or the client was still open after the longest wait.
  bool WaitForClientToClose(const std::wstring& name, const std::vector<std::wstring>& executables);
  // The window shown from the tray was closed: cancel the pack, skip the rest, end.
  void EndUnattendedRun();
  void ShowAutoBackupDialog();

  // Browse handlers (wizard_browse.cpp).
  void Button5Click();
  void Button6Click();
  void Button7Click();

  HINSTANCE instance_;
  std::unique_ptr<FormWindow> form1_;
  std::unique_ptr<FormWindow> form2_, form3_, form4_, form5_;
  std::unique_ptr<FormWizardJob> job_;
  RunLog log_;
  MessageBoxPrompts boxes_;
  ProcessPrompts prompts_{boxes_, log_};
  LngINISupp captions_;
  MsgINISupp messages_;
  ArchiverBinding archiver_;
  std::unique_ptr<TIORegistry> registry_;
  std::unique_ptr<ArchiveJob> archive_;
  std::unique_ptr<AdapterContext> adapter_context_;
  std::unique_ptr<MailClientAdapter> adapter_;
  int adapter_client_ = 0;
  int backup_position_ = -1;  // last positions set on the progress bars
  int restore_position_ = -1;
  std::wstring backup_title_;  // the backup page's title while it says "Verifying"
  std::unique_ptr<PasswordPrompt> password_prompt_;
  WindowList windows_;
  std::unique_ptr<CloseProgramsDialog> close_programs_;
  std::unique_ptr<AutoBackupDialog> auto_backup_dialog_;
  Settings settings_;

  std::wstring program_folder_;
  std::wstring personal_folder_;
  std::wstring staging_folder_;
  std::wstring language_;
  std::wstring favorites_last_archive_;
  std::vector<LanguageEntry> language_list_;
  std::array<bool, 11> installed_{};
  bool captions_applied_ = false;
  bool unattended_ = false;       // this process is an unattended run
  bool unattended_exit_ = false;  // the user ended the unattended run
  std::unique_ptr<TrayIcon> tray_;
  HFONT underlined_font_ = nullptr;
};

}  // namespace mailstow
