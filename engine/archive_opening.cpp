#include "archive_opening.h"

#include <windows.h>

#include "base/client_table.h"
#include "base/folders.h"
#include "base/ini_file.h"

namespace mailstow {

OpenOutcome OpenArchiveForRestore(ArchiveJob& job, JobHost& host,
                                  const std::wstring& archive_path) {
  if (GetFileAttributesW(LongPath(archive_path).c_str()) == INVALID_FILE_ATTRIBUTES) {
    host.prompts().Show(PromptKind::kError, PromptButtons::kOk, host.Message(L"Message9"));
    return OpenOutcome::kMissing;
  }
  job.flags().password_cancelled = false;
  job.PrepareExtract();
  job.AddExtractEntry(L"infobak.ini", job.staging_folder() + L"\\");
  const int status = job.ExtractQuietly(archive_path);
  job.ReleaseFileList();
  if (status == sqx::kStatusWrongPassword) {
    if (!job.flags().password_cancelled) {
      host.prompts().Show(PromptKind::kError, PromptButtons::kOk, host.Message(L"Message2"));
    }
    host.archive_password().clear();
    return OpenOutcome::kWrongPassword;
  }
  if (status == sqx::kStatusNotAnArchive) {
    host.prompts().Show(PromptKind::kError, PromptButtons::kOk, host.Message(L"Message10"));
    return OpenOutcome::kNotAnArchive;
  }
  if (job.flags().volume_cancelled) return OpenOutcome::kVolumeCancelled;
  return OpenOutcome::kOpened;
}

int ReadArchiveClient(ArchiveJob& job, RunLog& log, const std::wstring& log_path,
                      const std::wstring& archive_path, int current_index) {
  log.Open(log_path);
  job.PrepareExtract();
  job.AddExtractEntry(L"infobak.ini", job.staging_folder() + L"\\");
  job.UnpackJob(archive_path);
  job.ReleaseFileList();
  log.Close();
  // Read as the adapters read it: ANSI, or UTF-8 after its byte-order mark.
  const std::optional<IniText> manifest = LoadIniFile(job.staging_folder() + L"\\infobak.ini");
  const int index =
      ClientIndexForKey(manifest ? manifest->ReadString(L"Backup", L"EmailClient", L"") : L"");
  return index != 0 ? index : current_index;
}

std::wstring FixedDriveFallback(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return path;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
  for (wchar_t drive = L'A'; drive <= L'X'; ++drive) {
    const wchar_t root[] = {drive, L':', L'\\', L'\0'};
    if (GetDriveTypeW(root) == DRIVE_FIXED) {
      std::wstring moved = path;
      if (!moved.empty()) moved[0] = drive;
      return moved;
    }
  }
  return path;
}

}  // namespace mailstow
