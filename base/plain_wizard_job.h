// A job record held in memory, for the backups the program makes on its own behalf (the safety
// copy taken before a restore): no wizard control shows its lists or texts.
#pragma once

#include <string>
#include <vector>

#include "base/tick_list.h"
#include "base/wizard_job.h"

namespace mailstow {

class PlainTickList final : public TickList {
 public:
  void Clear() override { entries_.clear(); }
  int Add(const std::wstring& text) override {
    entries_.push_back({text, false, true});
    return static_cast<int>(entries_.size()) - 1;
  }
  int Count() const override { return static_cast<int>(entries_.size()); }
  std::wstring Text(int index) const override { return At(index).text; }
  bool IsTicked(int index) const override { return At(index).ticked; }
  void SetTicked(int index, bool ticked) override { At(index).ticked = ticked; }
  bool IsEntryEnabled(int index) const override { return At(index).enabled; }
  void SetEntryEnabled(int index, bool enabled) override { At(index).enabled = enabled; }
  void SetListEnabled(bool enabled) override { list_enabled_ = enabled; }
  bool list_enabled() const { return list_enabled_; }

 private:
  struct Entry {
    std::wstring text;
    bool ticked;
    bool enabled;
  };
  Entry& At(int index) { return entries_.at(static_cast<size_t>(index)); }
  const Entry& At(int index) const { return entries_.at(static_cast<size_t>(index)); }
  std::vector<Entry> entries_;
  bool list_enabled_ = true;
};

// A backup into one file, without password or volumes.
class PlainBackupJob final : public WizardJob {
 public:
  explicit PlainBackupJob(int client) { client_index = client; }

  WizardAction action() const override { return WizardAction::kBackup; }
  PlainTickList& backup_identities() const override { return backup_identities_; }
  PlainTickList& backup_items() const override { return backup_items_; }
  PlainTickList& restore_identities() const override { return restore_identities_; }
  PlainTickList& restore_items() const override { return restore_items_; }

  std::wstring backup_archive_path() const override { return backup_archive_path_; }
  void set_backup_archive_path(const std::wstring& path) override { backup_archive_path_ = path; }
  bool protect_with_password() const override { return false; }
  bool split_into_volumes() const override { return false; }
  int volume_index() const override { return 0; }

  std::wstring restore_archive_path() const override { return {}; }
  void set_restore_archive_path(const std::wstring&) override {}
  bool restore_directly() const override { return false; }
  std::wstring other_folder() const override { return {}; }

 private:
  mutable PlainTickList backup_identities_;
  mutable PlainTickList backup_items_;
  mutable PlainTickList restore_identities_;
  mutable PlainTickList restore_items_;
  std::wstring backup_archive_path_;
};

}  // namespace mailstow
