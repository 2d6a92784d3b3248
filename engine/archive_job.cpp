// The backup side of the archive job, and the parts both sides share.
#include "archive_job.h"

#include <windows.h>

#include <cstring>

#include "base/ansi_text.h"
#include "base/folders.h"
#include "base/message_arguments.h"
#include "engine/job_rules.h"
#include "engine/option_record.h"
#include "engine/restore_trail.h"

namespace mailstow {
int VolumeSizeCode(int volume_index) {
  switch (volume_index) {
    case 0:
      return sqx::kVolumeFloppyBytes;
    case 2:
      return sqx::kVolumeZip250;
    case 3:
      return sqx::kVolumeCd650;
    case 4:
      return sqx::kVolumeCd700;
    default:
      return sqx::kVolumeZip100;
  }
}

ArchiveJob::ArchiveJob(const ArchiverBinding& archiver, JobHost& host, RunLog& log,
                       std::wstring staging_folder)
    : archiver_(archiver), host_(host), log_(log), staging_folder_(std::move(staging_folder)) {}

ArchiveJob::~ArchiveJob() { ReleaseFileList(); }

void ArchiveJob::StartFileList() {
  ReleaseFileList();
  file_list_ = {};
  archiver_.InitFileList(&file_list_);
  file_list_open_ = true;
}

void ArchiveJob::ReleaseFileList() {
  if (file_list_open_) archiver_.DoneFileList(&file_list_);
  file_list_open_ = false;
}

void ArchiveJob::ClearEntries() {
  entries_.clear();
  entries_.shrink_to_fit();
  entry_names_.Clear();
  entry_texts_.clear();
}

const std::wstring* ArchiveJob::EntryText(std::wstring_view text) {
  // An entry's texts are mostly those of the entry before it; folders and strip prefixes
  // alternate with parents, so the last few are looked at.
  const size_t kept = entry_texts_.size();
  for (size_t i = kept; i > 0 && i + 4 > kept; --i) {
    if (entry_texts_[i - 1] == text) return &entry_texts_[i - 1];
  }
  return &entry_texts_.emplace_back(text);
}

void ArchiveJob::PrepareBackup(bool multiple_volumes, int volume_index) {
  ClearEntries();
  current_entry_ = 0;
  compress_options_.assign(sqx::compress::kSize, 0);
  PutRecordInt(compress_options_, sqx::compress::kRecordSize, sqx::compress::kSize);
  PutRecordInt(compress_options_, sqx::compress::kLevel, pack_level_);
  PutRecordInt(compress_options_, 16, 1);
  PutRecordInt(compress_options_, 32, 1);
  PutRecordText(compress_options_, sqx::compress::kPassword, sqx::compress::kPasswordChars,
                host_.archive_password());
  PutRecordText(compress_options_, sqx::compress::kStagingFolder,
                sqx::compress::kStagingFolderChars, staging_folder_);
  PutRecordInt(compress_options_, sqx::compress::kMultipleVolumes, multiple_volumes ? 1 : 0);
  PutRecordInt(compress_options_, 1404, 1);
  PutRecordInt(compress_options_, sqx::compress::kVolumeSize, VolumeSizeCode(volume_index));
  // An archive that does not read back is no backup: it must not replace an older one.
  PutRecordInt(compress_options_, sqx::compress::kVerify, 1);
  // Paths and names of any script and length: UTF-8 throughout, names outside the record.
  PutRecordInt(compress_options_, sqx::compress::kUtf8Texts, 1);
  StartFileList();
}

void ArchiveJob::AddJobEntry(std::wstring_view source, const std::wstring& folder,
                             const std::wstring& strip_prefix) {
  JobEntry entry;
  const size_t cut = source.rfind(L'\\');
  if (cut != std::wstring_view::npos) entry.parent = EntryText(source.substr(0, cut));
  entry.name = entry_names_.Keep(cut == std::wstring_view::npos ? source : source.substr(cut + 1));
  entry.folder_text = EntryText(folder);
  entry.strip_prefix_text = EntryText(strip_prefix);
  entries_.push_back(entry);
}

void ArchiveJob::AddFolderEntries(const std::wstring& folder_path,
                                  const std::wstring& archive_folder,
                                  const std::wstring& strip_prefix, const std::wstring& extension,
                                  const LeaveOut& leave_out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongPath(folder_path + L"\\*." + extension).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const bool whole = extension == L"*";
  std::vector<std::wstring> sub_folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder_path + L"\\" + name;
    if (leave_out && leave_out(path)) continue;
    AddJobEntry(path, archive_folder, strip_prefix);
    // A linked folder is stored as a folder but not followed: it may lead back up the tree.
    if (whole && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      sub_folders.push_back(path);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // The folder's own entries first, so that its files stay one run of the job list.
  for (const std::wstring& sub_folder : sub_folders) {
    AddFolderEntries(sub_folder, archive_folder, strip_prefix, extension, leave_out);
  }
}

int ArchiveJob::PackJob(const std::wstring& archive_path, const BackupDescription& description) {
  flags_.archive_incomplete = false;
  flags_.sources_skipped = false;
  log_.Line(L"");
  log_.Line(L"Backup");
  log_.Line(L"");
  log_.Line(L"Identity:");
  for (const std::wstring& line : description.identities) log_.Line(L"  " + line);
  log_.Line(L"Items:");
  for (const std::wstring& line : description.items) log_.Line(L"  " + line);
  log_.Line(L"Destination file: " + archive_path);
  log_.Line(L"EmailClient: " + std::to_wstring(description.client_index));
  SkipMissingSources();
  if (pack_check_ && !pack_check_(entries_)) {
    log_.Line(L"Not written: " + archive_path);
    flags_.job_failed = false;
    flags_.archive_incomplete = true;
    return sqx::kStatusAborted;
  }
  progress_scale_ = ProgressScaleFor(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    log_.Line(L"");
    log_.Line(L"File number: " + std::to_wstring(i + 1));
    log_.Line(L"File: " + entries_[i].source());
    log_.Line(L"Folder: " + entries_[i].folder());
    log_.Line(L"Del Folder: " + entries_[i].strip_prefix());
    archiver_.AddFileList(EncodeUtf8(entries_[i].source()), &file_list_);
  }
  damaged_member_.clear();
  source_in_use_.clear();
  skipped_sources_.clear();
  verified_entries_ = 0;
  verifying_ = false;
  in_archiver_call_ = true;
  const int status = archiver_.AddFiles(EncodeUtf8(archive_path), &file_list_,
                                        compress_options_.data(), EventThunk, this);
  in_archiver_call_ = false;
  if (verifying_) host_.ShowVerifying(false);
  verifying_ = false;
  flags_.job_failed = false;
  LogResult(status);
  if (status == sqx::kStatusOk && verified_entries_ > 0) {
    log_.Line(L"Verified: " + std::to_wstring(verified_entries_) + L" of " +
              std::to_wstring(entries_.size()) + L" entries read back");
  }
  if (status == sqx::kStatusOk) ReportSkippedSources();
  if (status == sqx::kStatusAborted) {
    flags_.archive_incomplete = true;
  } else if (status != sqx::kStatusOk) {
    // No archive was written (the library leaves an older one as it was).
    if (!ReportNamedFailure(status, archive_path) && !ReportWriteFailure(status)) {
      host_.prompts().Show(PromptKind::kError, PromptButtons::kOk,
                           MessageWith(L"Message44", std::to_wstring(status)));
    }
    host_.ReturnToBackupFilePage();
    flags_.job_failed = true;
  }
  return status;
}

void ArchiveJob::SkipMissingSources() {
  // Clients name some files whether or not they exist; a missing one is left out rather
  // than failing the whole archive. A path that exists but cannot be looked up (too long or
  // a name the file system refuses) stays: the archiver names it, and it is reported.
  std::erase_if(entries_, [this](const JobEntry& entry) {
    if (GetFileAttributesW(LongPath(entry.source()).c_str()) != INVALID_FILE_ATTRIBUTES) {
      return false;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
    log_.Line(L"Not found: " + entry.source());
    return true;
  });
}

bool ArchiveJob::NoteRestoreWrite(const std::wstring& path) {
  return trail_ == nullptr || trail_->BeforeFileWrite(path);
}

void ArchiveJob::NoteRestoreFolder(const std::wstring& folder) {
  if (trail_ != nullptr) trail_->BeforeFolderCreate(folder);
}

void ArchiveJob::NoteRegistryDelete(TRootKeys root, const std::wstring& key_path) {
  if (trail_ != nullptr) trail_->BeforeKeyTreeDelete(root, key_path);
}

void ArchiveJob::ReportSkippedSources() {
  if (skipped_sources_.empty()) return;
  flags_.sources_skipped = true;
  std::wstring names;
  for (const std::wstring& source : skipped_sources_) {
    log_.Line(L"Not backed up: " + source);
    names += L"\n" + source;
  }
  log_.Flush();
  host_.prompts().Show(PromptKind::kError, PromptButtons::kOk, MessageWith(L"Message66", names));
}

std::wstring ArchiveJob::MessageWith(const wchar_t* key, const std::wstring& value) {
  return WithArguments(host_.Message(key), {value});
}

void ArchiveJob::LogResult(int status) {
  log_.Line(L"");
  log_.Line(L"Total lines: " + std::to_wstring(entries_.size()));
  log_.Line(L"Error code: " + std::to_wstring(status));
  log_.Line(L"Error line: " + std::to_wstring(current_entry_));
  log_.Flush();
}

bool ArchiveJob::ReportNamedFailure(int status, const std::wstring& archive_path) {
  std::wstring text;
  if (status == sqx::kStatusInUse && !source_in_use_.empty()) {
    log_.Line(L"In use by another program: " + source_in_use_);
    text = MessageWith(L"Message51", source_in_use_);
  } else if (status == sqx::kStatusVerifyFailed) {
    const std::wstring& member = damaged_member_.empty() ? archive_path : damaged_member_;
    log_.Line(L"Verification failed: " + member);
    text = MessageWith(L"Message50", member);
  } else {
    return false;
  }
  log_.Flush();
  // The unattended run's prompts turn the box into a log line.
  host_.prompts().Show(PromptKind::kError, PromptButtons::kOk, text);
  return true;
}

bool ArchiveJob::ReportWriteFailure(int status) {
  const wchar_t* key = nullptr;
  switch (status) {
    case sqx::kStatusAccessDenied:
      key = L"Message31";
      break;
    case sqx::kStatusDiskFull:
      key = L"Message32";
      break;
    case sqx::kStatusWriteProtected:
      key = L"Message33";
      break;
    default:
      return false;
  }
  host_.prompts().Show(PromptKind::kError, PromptButtons::kOk, host_.Message(key));
  return true;
}

}  // namespace mailstow
