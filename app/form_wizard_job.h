// The job record over the main form: each text, choice and list is read from the control
// that shows it.
#pragma once

#include <string>

#include "base/wizard_job.h"
#include "ui/check_list_box.h"
#include "ui/form_window.h"

namespace mailstow {

class FormWizardJob final : public WizardJob {
 public:
  // The form's controls exist for as long as the job.
  explicit FormWizardJob(FormWindow& form)
      : form_(form),
        backup_identities_(form.Control(L"CheckListBox1")),
        backup_items_(form.Control(L"CheckListBox2")),
        restore_identities_(form.Control(L"CheckListBox3")),
        restore_items_(form.Control(L"CheckListBox4")) {}

  WizardAction action() const override {
    return form_.IsChecked(L"RadioButton2") ? WizardAction::kRestore : WizardAction::kBackup;
  }

  CheckListBox& backup_identities() const override { return backup_identities_; }
  CheckListBox& backup_items() const override { return backup_items_; }
  CheckListBox& restore_identities() const override { return restore_identities_; }
  CheckListBox& restore_items() const override { return restore_items_; }

  std::wstring backup_archive_path() const override { return form_.Text(L"Edit1"); }
  void set_backup_archive_path(const std::wstring& path) override { form_.SetText(L"Edit1", path); }
  bool protect_with_password() const override { return form_.IsChecked(L"CheckBox1"); }
  bool split_into_volumes() const override { return form_.IsChecked(L"RadioButton15"); }
  int volume_index() const override {
    return static_cast<int>(SendMessageW(form_.Control(L"ComboBox2"), CB_GETCURSEL, 0, 0));
  }

  std::wstring restore_archive_path() const override { return form_.Text(L"Edit4"); }
  void set_restore_archive_path(const std::wstring& path) override {
    form_.SetText(L"Edit4", path);
  }
  bool restore_directly() const override { return form_.IsChecked(L"RadioButton11"); }
  std::wstring other_folder() const override { return form_.Text(L"Edit5"); }

 private:
  FormWindow& form_;
  // Handles of the form's lists: copies address the same control.
  mutable CheckListBox backup_identities_;
  mutable CheckListBox backup_items_;
  mutable CheckListBox restore_identities_;
  mutable CheckListBox restore_items_;
};

}  // namespace mailstow
