#include "adapter_steps.h"

#include <windows.h>

#include "app/client_table.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "app/wizard_job.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"

namespace mailstow {

void BeginBackup(AdapterContext& context) {
  context.host.SetBackupProgress(0);
  // The volume choice of the job's own controls: the wizard's, or the unattended run's.
  context.archive.PrepareBackup(context.job.split_into_volumes(), context.job.volume_index());
}

void FinishBackup(AdapterContext& context, int client_index) {
  BackupDescription description;
  description.identities = AllTexts(context.job.backup_identities());
  description.items = AllTexts(context.job.backup_items());
  description.client_index = client_index;
  const std::wstring archive = context.job.backup_archive_path();
  context.archive.PackJob(archive, description);
  context.archive.ReleaseFileList();
  context.host.SetBackupProgress(100);
  const JobFlags& flags = context.archive.flags();
  // Only an archive that was written completely becomes the default for a restore.
  if (flags.archive_incomplete || flags.job_failed) return;
  const ClientInfo* client = ClientByIndex(client_index);
  if (client == nullptr) return;
  if (client->last_slot.empty()) {
    context.favorites_last_archive = archive;
  } else {
    context.settings.last_archives[static_cast<size_t>(client->last_slot.back() - L'1')] = archive;
  }
}

void BeginRestore(AdapterContext& context, const std::vector<std::wstring>& side_files) {
  context.host.SetRestoreProgress(0);
  ArchiveJob& archive = context.archive;
  const std::wstring staging = context.staging_folder + L"\\";
  archive.PrepareExtract();
  archive.AddExtractEntry(L"infobak.ini", staging);
  for (const std::wstring& file : side_files) archive.AddExtractEntry(file, staging);
  archive.UnpackJob(context.job.restore_archive_path());
  archive.ReadArchiveNames(context.job.restore_archive_path());
  archive.ReleaseFileList();
  archive.ResetExtractedEntries();
  archive.set_progress_scale(ProgressScaleFor(archive.archive_names().size()));
}

int ExtractNames(AdapterContext& context, const std::vector<std::wstring>& names,
                 const std::wstring& target_folder) {
  context.archive.PrepareExtract();
  for (const std::wstring& name : names) context.archive.AddExtractEntry(name, target_folder);
  const int status = context.archive.UnpackJob(context.job.restore_archive_path());
  context.archive.ReleaseFileList();
  return status;
}

void ExtractFolder(AdapterContext& context, const std::wstring& archive_folder,
                   const std::wstring& target_folder, bool keep_folders) {
  context.archive.PrepareExtract(keep_folders);
  context.archive.SelectByPrefix(archive_folder, target_folder);
  context.archive.UnpackJob(context.job.restore_archive_path());
  context.archive.ReleaseFileList();
}

std::vector<std::wstring> TickedTexts(const CheckListBox& list) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < list.Count(); ++i) {
    if (list.IsTicked(i)) texts.push_back(list.Text(i));
  }
  return texts;
}

std::vector<std::wstring> AllTexts(const CheckListBox& list) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < list.Count(); ++i) texts.push_back(list.Text(i));
  return texts;
}

void IniWriter::Set(const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
  for (auto& [name, entries] : sections_) {
    if (name != section) continue;
    for (auto& entry : entries) {
      if (entry.first == key) {
        entry.second = value;
        return;
      }
    }
    entries.emplace_back(key, value);
    return;
  }
  sections_.push_back({section, {{key, value}}});
}

bool IniWriter::Save(const std::wstring& path) const {
  std::wstring text;
  for (const auto& [name, entries] : sections_) {
    if (!text.empty()) text += L"\r\n";
    text += L"[" + name + L"]\r\n";
    for (const auto& [key, value] : entries) text += key + L"=" + value + L"\r\n";
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  return CreateAnsiTextFile(path, text);
}

IniText ReadStagingIni(const AdapterContext& context, const std::wstring& file_name) {
  return LoadIniFile(context.staging_folder + L"\\" + file_name).value_or(IniText());
}

std::optional<IniText> ReadOwnManifest(AdapterContext& context, const std::wstring& client_key) {
  ExtractNames(context, {L"infobak.ini"}, context.staging_folder + L"\\");
  IniText manifest = ReadStagingIni(context, L"infobak.ini");
  if (manifest.ReadString(L"Backup", L"EmailClient", L"") != client_key) {
    context.job.wrong_client = true;
    return std::nullopt;
  }
  return manifest;
}

IniWriter ManifestFor(const std::wstring& client_key, const std::vector<std::wstring>& identities,
                      const std::vector<std::wstring>& items) {
  IniWriter manifest;
  manifest.Set(L"Backup", L"EmailClient", client_key);
  for (size_t i = 0; i < identities.size(); ++i) {
    manifest.Set(L"Identities", L"Item" + std::to_wstring(i + 1), identities[i]);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    manifest.Set(L"Items", L"Item" + std::to_wstring(i + 1), items[i]);
  }
  return manifest;
}

}  // namespace mailstow
