// The host of the backup that keeps the current data before a restore: the restore's window,
// cancel request, messages and prompts, but no password, the restore page's bar for its
// progress, and no page changes when it fails (the restore decides what happens then).
#pragma once

#include <string>
#include <string_view>

#include "engine/job_host.h"

namespace mailstow {

class SafetyCopyHost final : public JobHost {
 public:
  explicit SafetyCopyHost(JobHost& outer) : outer_(outer) {}

  void ProcessMessages() override { outer_.ProcessMessages(); }
  int cancel_requested() const override { return outer_.cancel_requested(); }
  void set_cancel_requested(int value) override { outer_.set_cancel_requested(value); }
  // The copy is a backup: its progress alone moves the restore page's bar (the job reports
  // both kinds on every event, and two positions taking turns would repaint it each time).
  void SetBackupProgress(int position) override { outer_.SetRestoreProgress(position); }
  void SetRestoreProgress(int) override {}
  std::wstring Message(std::wstring_view key) override { return outer_.Message(key); }
  UserPrompts& prompts() override { return outer_.prompts(); }
  std::wstring& archive_password() override { return no_password_; }
  void ReturnToBackupFilePage() override {}
  void ReturnToRestoreLocationPage() override {}
  void ShowVerifying(bool) override {}

 private:
  JobHost& outer_;
  std::wstring no_password_;
};

}  // namespace mailstow
