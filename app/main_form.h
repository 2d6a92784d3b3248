// The main form: creation, showing and closing of the wizard window, and the
// process-wide values that start-up establishes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/form_window.h"
#include "app/message_box_prompts.h"
#include "app/settings.h"
#include "engine/sqx_binding.h"

namespace mailstow {

class MainForm {
 public:
  explicit MainForm(HINSTANCE instance);
  ~MainForm();

  // Start-up steps 6-16; false when the archiver library could not be bound (the error box
  // has been shown and nothing was read or written).
  bool FormCreate();
  // Creates the password prompt, about box, auto-backup and close-programs forms.
  void CreateDialogs();
  // The first command-line argument has named an archive to restore.
  void PrepareForArchive(const std::wstring& archive_path);
  void Show();
  // Runs the message loop until the window is closed; returns the exit code.
  int RunMessageLoop();

  // Mode stubs of the unattended run and the uninstall cleanup.
  void RunUnattended();
  void RunUninstall();

  FormWindow& window() { return *form1_; }
  Settings& settings() { return settings_; }
  const std::wstring& program_folder() const { return program_folder_; }
  const std::wstring& staging_folder() const { return staging_folder_; }
  UserPrompts& prompts() { return prompts_; }

 private:
  void FormShow();
  void FormCloseQuery();
  void FormClose();
  bool BackupRunning() const;
  void PlaceWindow();
  void ReportWrongTypes(const std::vector<std::wstring>& names);
  void ChooseLanguageAtStart();
  void ApplyCaptions();
  void RelayoutForCaptions();
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

  HINSTANCE instance_;
  std::unique_ptr<FormWindow> form1_;
  std::unique_ptr<FormWindow> form2_, form3_, form4_, form5_;
  MessageBoxPrompts prompts_;
  ArchiverBinding archiver_;
  Settings settings_;

  std::wstring program_folder_;
  std::wstring personal_folder_;
  std::wstring staging_folder_;
  std::wstring language_;
  std::wstring archive_password_;
  bool started_with_archive_ = false;
  bool captions_applied_ = false;
  int client_index_ = 0;
  int cancel_requested_ = 0;
  bool archive_incomplete_ = false;
  int tray_mark_ = 0;
};

}  // namespace mailstow
