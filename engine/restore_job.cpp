// The restore side of the archive job: extraction entries, unpacking and the listing.
#include <cstring>

#include "base/ansi_text.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"
#include "engine/option_record.h"

namespace mailstow {
void ArchiveJob::PrepareExtract(bool keep_folders) {
  ClearEntries();
  created_folder_.clear();
  current_entry_ = 0;
  extract_options_.assign(sqx::extract::kSize, 0);
  PutRecordInt(extract_options_, sqx::extract::kRecordSize, sqx::extract::kSize);
  PutRecordInt(extract_options_, 4, 1);
  PutRecordInt(extract_options_, sqx::extract::kKeepFolders, keep_folders ? 1 : 0);
  PutRecordInt(extract_options_, sqx::extract::kUtf8Texts, 1);
  PutRecordText(extract_options_, sqx::extract::kStagingFolder, sqx::extract::kStagingFolderChars,
                staging_folder_);
  StartFileList();
}

void ArchiveJob::AddExtractEntry(std::wstring_view stored_name, const std::wstring& target_folder) {
  AddJobEntry(stored_name, target_folder, L"");
}

int ArchiveJob::UnpackJob(const std::wstring& archive_path) { return Extract(archive_path, true); }

int ArchiveJob::ExtractQuietly(const std::wstring& archive_path) {
  return Extract(archive_path, false);
}

int ArchiveJob::Extract(const std::wstring& archive_path, bool with_log) {
  flags_.archive_incomplete = false;
  damaged_member_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (with_log) {
      log_.Line(L"");
      log_.Line(L"File number: " + std::to_wstring(i + 1));
      log_.Line(L"File: " + entries_[i].source());
      log_.Line(L"Folder: " + entries_[i].folder());
    }
    archiver_.AddFileList(EncodeUtf8(entries_[i].source()), &file_list_);
  }
  if (extract_options_.empty()) PrepareExtract();
  in_archiver_call_ = true;
  const int status = archiver_.ExtractFiles(EncodeUtf8(archive_path), &file_list_,
                                            extract_options_.data(), EventThunk, this);
  in_archiver_call_ = false;
  flags_.job_failed = false;
  if (!with_log) return status;
  LogResult(status);
  if (status == sqx::kStatusOk) return status;
  if (status == sqx::kStatusAborted) {
    flags_.archive_incomplete = true;
    // Stopped by Exit or by a cancelled volume: the user's choice, not a failure.
    if (host_.cancel_requested() == 1 || flags_.volume_cancelled) return status;
  }
  if (!damaged_member_.empty()) log_.Line(L"Damaged member: " + damaged_member_);
  // Without a member named, what failed is the archive as a whole.
  UnpackFailure failure{status, damaged_member_.empty() ? archive_path : damaged_member_, false,
                        L""};
  if (ReportWriteFailure(status)) {
    host_.ReturnToRestoreLocationPage();
    flags_.job_failed = true;
    failure.reported = true;
  }
  unpack_failures_.push_back(std::move(failure));
  return status;
}

bool ArchiveJob::ReportUnpackFailures() {
  for (const UnpackFailure& failure : unpack_failures_) {
    if (failure.reported) continue;
    std::wstring text;
    if (!failure.message.empty()) {
      text = failure.message;
    } else if (failure.status == sqx::kStatusWrongPassword) {
      text = host_.Message(L"Message2");
    } else if (failure.status == sqx::kStatusNotAnArchive) {
      // A checksum, authentication code or header that failed: the archive opened, so the
      // damage lies inside it.
      text = MessageWith(L"Message45", failure.member);
    } else {
      text = MessageWith(L"Message46", std::to_wstring(failure.status));
    }
    host_.prompts().Show(PromptKind::kError, PromptButtons::kOk, text);
    break;
  }
  for (UnpackFailure& failure : unpack_failures_) failure.reported = true;
  return !unpack_failures_.empty();
}

void ArchiveJob::ReadArchiveNames(const std::wstring& archive_path) {
  archive_names_.Clear();
  sqx::FileList pattern{};
  sqx::ArcFileList contents{};
  archiver_.InitFileList(&pattern);
  archiver_.AddFileList("*.*", &pattern);
  archiver_.InitArcFileList(&contents);
  unsigned char scratch[sqx::kListScratchSize] = {};
  if (extract_options_.empty()) PrepareExtract();
  in_archiver_call_ = true;
  archiver_.ListFiles(EncodeUtf8(archive_path), &pattern, &contents, scratch,
                      extract_options_.data(), EventThunk, this);
  in_archiver_call_ = false;
  for (const sqx::ArcNode* node = contents.head; node != nullptr; node = node->next) {
    archive_names_.Add(DecodeUtf8(node->name));
  }
  archiver_.DoneArcFileList(&contents);
  archiver_.DoneFileList(&pattern);
}

void ArchiveJob::SelectByPrefix(const std::wstring& prefix, const std::wstring& target_folder,
                                bool inner_folders) {
  for (const std::wstring_view name : archive_names_) {
    if (!inner_folders) {
      if (InFolder(name, prefix)) AddExtractEntry(name, target_folder);
    } else if (const auto folder = TreeTargetFolder(name, prefix, target_folder)) {
      AddExtractEntry(name, *folder);
    }
  }
}

}  // namespace mailstow
