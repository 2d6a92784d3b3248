// What an archive job needs of the program around it: the window that stays responsive,
// the cancel request, the progress bars, the language's messages, the prompts, the
// archive password and the wizard pages that a failed job returns to.
#pragma once

#include <string>
#include <string_view>

#include "base/user_prompts.h"

namespace mailstow {

class JobHost {
 public:
  virtual ~JobHost() = default;
  // Lets the user interface handle its pending messages.
  virtual void ProcessMessages() = 0;
  virtual int cancel_requested() const = 0;
  virtual void set_cancel_requested(int value) = 0;
  virtual void SetBackupProgress(int position) = 0;
  virtual void SetRestoreProgress(int position) = 0;
  // A message of the current language by key ("Message31" ...).
  virtual std::wstring Message(std::wstring_view key) = 0;
  virtual UserPrompts& prompts() = 0;
  // The password the archiver uses; the password prompt fills it.
  virtual std::wstring& archive_password() = 0;
  // After a failed write: show the backup-file page, or the restore-location page, with
  // Back enabled.
  virtual void ReturnToBackupFilePage() = 0;
  virtual void ReturnToRestoreLocationPage() = 0;
  // The backup progress says that the archive just written is being read back (true), or
  // shows what it showed before again (false).
  virtual void ShowVerifying(bool verifying) = 0;
};

}  // namespace mailstow
