// The job record that the wizard pages fill and the adapters and jobs read. The wizard keeps
// texts and lists in the form's own controls (so the pages and the job never disagree); this
// record names them and adds the state that has no control. The form-backed implementation
// lives with the wizard.
#pragma once

#include <string>

#include "base/tick_list.h"

namespace mailstow {

enum class WizardAction { kBackup, kRestore };

class WizardJob {
 public:
  virtual ~WizardJob() = default;

  virtual WizardAction action() const = 0;
  int client_index = 0;
  bool client_not_installed = false;

  virtual TickList& backup_identities() const = 0;
  virtual TickList& backup_items() const = 0;
  virtual TickList& restore_identities() const = 0;
  virtual TickList& restore_items() const = 0;

  virtual std::wstring backup_archive_path() const = 0;
  virtual void set_backup_archive_path(const std::wstring& path) = 0;
  virtual bool protect_with_password() const = 0;
  std::wstring archive_password;
  virtual bool split_into_volumes() const = 0;
  virtual int volume_index() const = 0;

  virtual std::wstring restore_archive_path() const = 0;
  virtual void set_restore_archive_path(const std::wstring& path) = 0;
  virtual bool restore_directly() const = 0;
  virtual std::wstring other_folder() const = 0;

  int cancel_requested = 0;
  bool started_with_archive = false;
  bool wrong_client = false;
};

}  // namespace mailstow
