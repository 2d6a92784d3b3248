// The backup and restore jobs: the job list handed to the archiver, the progress callback
// with its counters and flags, and the log blocks of every pack and unpack.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/name_sequence.h"
#include "base/text_blocks.h"
#include "engine/job_host.h"
#include "engine/reg_text_format.h"
#include "engine/run_log.h"
#include "engine/sqx_binding.h"

namespace mailstow {

class RestoreTrail;

// One entry of the job list. Entries come in runs of one folder's files, so the folder and
// the strip prefix are held once per run, not once per entry: a store of many thousands of
// files keeps its job list small.
// The texts are kept by the job: the entries of one folder share its path, the name of each
// is kept once.
struct JobEntry {
  const std::wstring* parent = nullptr;  // the source up to its last "\"; none without one
  std::wstring_view name;                // the rest of the source
  const std::wstring* folder_text = nullptr;
  const std::wstring* strip_prefix_text = nullptr;
  // Backup: full path; restore: stored name or pattern.
  std::wstring source() const {
    return parent == nullptr ? std::wstring(name) : *parent + L"\\" + std::wstring(name);
  }
  // Backup: archive folder; restore: target folder ending with "\".
  const std::wstring& folder() const { return *folder_text; }
  // Backup only: leading part of source dropped from the name.
  const std::wstring& strip_prefix() const { return *strip_prefix_text; }
};

struct JobFlags {
  bool job_failed = false;
  bool archive_incomplete = false;
  bool volume_cancelled = false;
  bool password_asked = false;
  bool password_cancelled = false;  // the last password prompt was left with Cancel
  // The archive was written without some of its sources, which could not be read (each is
  // named in the log and in a box): a backup that must not let older ones go.
  bool sources_skipped = false;
};

// An extraction run of a restore that did not bring back everything it was asked for.
struct UnpackFailure {
  int status = 0;
  std::wstring member;    // the damaged member when the archiver named one
  bool reported = false;  // a message box was shown for it already
  // A part of the restore that the client's own steps left undone (a refused value, a
  // registry dump that could not be written): the text its box shows.
  std::wstring message;
};

// What the log block of a backup shows besides the entries.
struct BackupDescription {
  std::vector<std::wstring> identities;  // every line of the identity list, ticked or not
  std::vector<std::wstring> items;
  int client_index = 0;
};

// Byte size of each volume size choice (0 Floppy ... 4 CD 700) as the archiver takes it.
int VolumeSizeCode(int volume_index);

class ArchiveJob {
 public:
  ArchiveJob(const ArchiverBinding& archiver, JobHost& host, RunLog& log,
             std::wstring staging_folder);
  ~ArchiveJob();
  ArchiveJob(const ArchiveJob&) = delete;
  ArchiveJob& operator=(const ArchiveJob&) = delete;

  // Backup.
  void PrepareBackup(bool multiple_volumes, int volume_index);
  // Appends an entry (restore entries too); the folder and strip prefix are shared with the
  // entry before when equal.
  void AddJobEntry(std::wstring_view source, const std::wstring& folder,
                   const std::wstring& strip_prefix);
  // Paths below a folder that another entry of the job stores already.
  using LeaveOut = std::function<bool(const std::wstring& path)>;
  // Adds every file and sub-folder of folder_path matching "*." + extension. With the
  // extension "*" the folder is taken whole: each sub-folder is stored as a folder entry
  // followed by everything below it, all named by their paths after the strip prefix, so that
  // empty folders come back too. A path for which leave_out answers true is not added (a
  // folder with everything below it).
  void AddFolderEntries(const std::wstring& folder_path, const std::wstring& archive_folder,
                        const std::wstring& strip_prefix, const std::wstring& extension,
                        const LeaveOut& leave_out = nullptr);
  int PackJob(const std::wstring& archive_path, const BackupDescription& description);

  // Restore.
  void PrepareExtract(bool keep_folders = false);
  void AddExtractEntry(std::wstring_view stored_name, const std::wstring& target_folder);
  int UnpackJob(const std::wstring& archive_path);
  // The extraction runs that failed since the last clear; a stopped run is no failure.
  const std::vector<UnpackFailure>& unpack_failures() const { return unpack_failures_; }
  void ClearUnpackFailures() { unpack_failures_.clear(); }
  // Records a part of the restore that was not restored, with the text of its box: the
  // restore then ends as not completed, as for a damaged member.
  void RecordRestoreProblem(std::wstring message) {
    unpack_failures_.push_back({0, L"", false, std::move(message)});
  }
  // At the end of a restore: shows the message box of the first failure not yet reported.
  // True when the restore failed.
  bool ReportUnpackFailures();
  // Extracts the requested entries without writing a log block (used to open an archive).
  int ExtractQuietly(const std::wstring& archive_path);
  void ReadArchiveNames(const std::wstring& archive_path);
  // Appends every listed name below the archive folder prefix with the target folder; with
  // inner_folders, each member's folders below the prefix are added to its target folder, so
  // that a plain extraction puts the tree back below the target.
  void SelectByPrefix(const std::wstring& prefix, const std::wstring& target_folder,
                      bool inner_folders = false);
  const NameSequence& archive_names() const { return archive_names_; }

  // While set, a restore records in the trail what it creates or replaces (the archiver's
  // writes and the client steps' own through NoteRestoreWrite).
  void set_trail(RestoreTrail* trail) { trail_ = trail; }
  RestoreTrail* trail() const { return trail_; }
  // Before a client step writes a file of the client's own: false when the file must not be
  // written, because what it holds could not be kept for an undo.
  bool NoteRestoreWrite(const std::wstring& path);
  // Before a client step creates a folder tree of the client's own.
  void NoteRestoreFolder(const std::wstring& folder);
  // Before a client step deletes a registry key of the client's with everything below it.
  void NoteRegistryDelete(TRootKeys root, const std::wstring& key_path);

  // The deflate effort of the next backups (3 unless set).
  void set_pack_level(int level) { pack_level_ = level; }
  // Asked with the entries before a pack writes anything: false leaves the archive unwritten
  // (the pack ends as incomplete).
  using PackCheck = std::function<bool(const std::vector<JobEntry>& entries)>;
  void set_pack_check(PackCheck check) { pack_check_ = std::move(check); }

  // Frees the archiver's file list of the current job (after PackJob or UnpackJob).
  void ReleaseFileList();

  const std::vector<JobEntry>& entries() const { return entries_; }
  JobFlags& flags() { return flags_; }
  double progress_scale() const { return progress_scale_; }
  void set_progress_scale(double scale) { progress_scale_ = scale; }
  long long current_entry() const { return current_entry_; }
  long long extracted_entries() const { return extracted_entries_; }
  void ResetExtractedEntries() { extracted_entries_ = 0; }
  const std::wstring& staging_folder() const { return staging_folder_; }

  // The archiver's callback for every call of this job.
  int ArchiveEvent(unsigned char* info);
  // True while a call of this job (pack, extraction, listing) is inside the archiver.
  bool in_archiver_call() const { return in_archiver_call_; }

 private:
  static int32_t SQX_CALL EventThunk(void* user, unsigned char* info);
  void StartFileList();
  int Extract(const std::wstring& archive_path, bool with_log);
  void LogResult(int status);
  // Drops the entries whose source does not exist and names each in the log.
  void SkipMissingSources();
  // After a pack that left sources out: logs each, shows one box naming them all.
  void ReportSkippedSources();
  bool ReportWriteFailure(int status);
  // A failed pack that names a source or a member: logged, and shown unless unattended.
  // False for other statuses.
  bool ReportNamedFailure(int status, const std::wstring& archive_path);
  // The language's message by key with "%1" replaced by the value.
  std::wstring MessageWith(const wchar_t* key, const std::wstring& value);
  int NextVolume(unsigned char* info);
  const JobEntry* EntryForEvent() const;

  const ArchiverBinding& archiver_;
  JobHost& host_;
  RunLog& log_;
  std::wstring staging_folder_;
  std::wstring created_folder_;          // the target folder last created for an extracted member
  unsigned long long last_pump_ms_ = 0;  // when the callback last let the window work

  // Empties the entries and the texts they keep.
  void ClearEntries();

  std::vector<JobEntry> entries_;
  // Keeps a text of the entries (a parent, folder or strip prefix), or takes one of the last
  // kept when it is the same.
  const std::wstring* EntryText(std::wstring_view text);

  TextBlocks entry_names_;                // the entries' names
  std::deque<std::wstring> entry_texts_;  // their parents, folders and strip prefixes
  NameSequence archive_names_;
  std::vector<UnpackFailure> unpack_failures_;
  std::wstring damaged_member_;  // named by the archiver during the current call
  std::wstring source_in_use_;   // a source another program held open, named during a pack
  std::vector<std::wstring> skipped_sources_;  // sources the current pack left out
  long long verified_entries_ = 0;             // members read back by the current pack so far
  bool verifying_ = false;                     // the current pack is reading its archive back
  bool in_archiver_call_ = false;
  JobFlags flags_;
  double progress_scale_ = 100;
  long long current_entry_ = 0;
  long long extracted_entries_ = 0;
  std::vector<unsigned char> compress_options_;
  std::vector<unsigned char> extract_options_;
  sqx::FileList file_list_{};
  bool file_list_open_ = false;
  RestoreTrail* trail_ = nullptr;
  int pack_level_ = 3;
  PackCheck pack_check_;
};

}  // namespace mailstow
