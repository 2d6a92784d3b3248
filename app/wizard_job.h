// The job record that the wizard pages fill and the adapters and jobs read. Texts and
// lists live in the form's own controls (so the pages and the job never disagree); the
// record gives them names and adds the state that has no control.
#pragma once

#include <string>

#include "app/check_list_box.h"
#include "app/form_window.h"

namespace mailstow {

enum class WizardAction { kBackup, kRestore };

class WizardJob {
 public:
  explicit WizardJob(FormWindow& form) : form_(form) {}

  WizardAction action() const {
    return form_.IsChecked(L"RadioButton2") ? WizardAction::kRestore : WizardAction::kBackup;
  }
  int client_index = 0;
  bool client_not_installed = false;

  CheckListBox backup_identities() const { return CheckListBox(form_.Control(L"CheckListBox1")); }
  CheckListBox backup_items() const { return CheckListBox(form_.Control(L"CheckListBox2")); }
  CheckListBox restore_identities() const { return CheckListBox(form_.Control(L"CheckListBox3")); }
  CheckListBox restore_items() const { return CheckListBox(form_.Control(L"CheckListBox4")); }

  std::wstring backup_archive_path() const { return form_.Text(L"Edit1"); }
  void set_backup_archive_path(const std::wstring& path) { form_.SetText(L"Edit1", path); }
  bool protect_with_password() const { return form_.IsChecked(L"CheckBox1"); }
  std::wstring archive_password;
  bool split_into_volumes() const { return form_.IsChecked(L"RadioButton15"); }
  int volume_index() const {
    return static_cast<int>(SendMessageW(form_.Control(L"ComboBox2"), CB_GETCURSEL, 0, 0));
  }

  std::wstring restore_archive_path() const { return form_.Text(L"Edit4"); }
  void set_restore_archive_path(const std::wstring& path) { form_.SetText(L"Edit4", path); }
  bool restore_directly() const { return form_.IsChecked(L"RadioButton11"); }
  std::wstring other_folder() const { return form_.Text(L"Edit5"); }

  int cancel_requested = 0;
  bool started_with_archive = false;
  bool wrong_client = false;


 private:
  FormWindow& form_;
};

}  // namespace mailstow
