// Shared pieces of the archive job tests under Wine: a recording job host, folders and
// files of the test, and a fixture that binds an archiver library and runs one job.
#pragma once

#include "tests/e2e/driver.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive_job.h"
#include "engine/job_host.h"
#include "engine/run_log.h"
#include "engine/sqx_binding.h"

namespace mailstow::testing {

struct ShownPrompt {
  PromptKind kind;
  PromptButtons buttons;
  std::wstring text;
};

// Answers prompts from queues, records everything the job shows or reports, and takes
// messages from the built-in English language.
class RecordingJobHost : public JobHost, public UserPrompts {
 public:
  void ProcessMessages() override {}
  int cancel_requested() const override { return cancel_requested_; }
  void set_cancel_requested(int value) override { cancel_requested_ = value; }
  void SetBackupProgress(int position) override;
  void SetRestoreProgress(int position) override { restore_progress.push_back(position); }
  std::wstring Message(std::wstring_view key) override;
  UserPrompts& prompts() override { return *this; }
  std::wstring& archive_password() override { return password; }
  void ReturnToBackupFilePage() override { ++backup_page_returns; }
  void ReturnToRestoreLocationPage() override { ++restore_page_returns; }
  void ShowVerifying(bool verifying) override { verifying_shown.push_back(verifying); }

  PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) override;
  // Pops the next queued answer; nullopt (Cancel) when none is queued.
  std::optional<std::wstring> AskPassword() override;

  std::wstring password;
  std::deque<std::optional<std::wstring>> password_answers;
  int password_prompts = 0;
  std::vector<ShownPrompt> shown;
  // Answers to the boxes in turn; OK when none is queued.
  std::deque<PromptAnswer> answers;
  std::vector<int> backup_progress;
  std::vector<int> restore_progress;
  int backup_page_returns = 0;
  int restore_page_returns = 0;
  std::vector<bool> verifying_shown;  // every ShowVerifying call
  // Runs at every backup progress report (after it was recorded).
  std::function<void()> on_backup_progress;

 private:
  int cancel_requested_ = 0;
};

// The program folder of this build (MAILSTOW_DIST) as a Windows path ending with "\".
std::wstring DistFolder();
// A Linux path from the environment variable as a Windows path ending with "\".
std::wstring WindowsFolderFromEnv(const char* variable);

// An empty folder for one test below the user's temporary folder; no trailing "\".
std::wstring FreshFolder(const std::wstring& name);
using e2e::RemoveTree;
void MakeFolder(const std::wstring& folder);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Paths of all files and folders below folder, relative to it, sorted.
std::vector<std::wstring> TreeOf(const std::wstring& folder);
// The lines of a log (UTF-8 after its mark) whose lines end with CR LF; a line feed without CR
// fails the test.
std::vector<std::wstring> CrLfLines(const std::wstring& path);

// Binds the library in library_folder and runs jobs with the recording host, the staging
// folder root + "\Temp" and the log root + "\Log.txt".
class JobTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // The folder the library is loaded from; the real build's program folder by default.
  virtual std::wstring LibraryFolder() { return DistFolder(); }

  // Packs entries (source, folder, strip prefix) into archive and expects success.
  // One job entry as the adapters add it: source, archive folder, strip prefix.
  struct PackEntry {
    std::wstring source;
    std::wstring folder;
    std::wstring strip_prefix;
  };
  void Pack(const std::wstring& archive, const std::vector<PackEntry>& entries);
  std::vector<std::wstring> Listed(const std::wstring& archive);

  std::wstring root_;
  std::wstring staging_;
  ArchiverBinding archiver_;
  RecordingJobHost host_;
  RunLog log_;
  std::unique_ptr<ArchiveJob> job_;
};

}  // namespace mailstow::testing
