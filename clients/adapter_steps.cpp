#include "adapter_steps.h"

#include <windows.h>

#include <algorithm>

#include "base/client_table.h"
#include "base/file_search.h"
#include "base/folders.h"
#include "base/ini_file.h"
#include "base/message_arguments.h"
#include "base/registry_key.h"
#include "base/settings.h"
#include "base/text_case.h"
#include "base/wizard_job.h"
#include "clients/adapter_values.h"
#include "engine/archive_job.h"
#include "engine/io_registry.h"
#include "engine/job_host.h"
#include "engine/job_rules.h"
#include "engine/reg_text_parser.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

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
  context.archive.SelectByPrefix(archive_folder, target_folder, !keep_folders);
  context.archive.UnpackJob(context.job.restore_archive_path());
  context.archive.ReleaseFileList();
}

bool ExtractToStaging(AdapterContext& context, const std::vector<std::wstring>& members) {
  std::vector<std::wstring> files;
  for (const std::wstring& member : members)
    files.push_back(member.substr(member.rfind(L'\\') + 1));
  ClearStagedFiles(context, files);
  return ExtractNames(context, members, context.staging_folder + L"\\") == sqx::kStatusOk;
}

std::vector<std::wstring> TickedTexts(const TickList& list) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < list.Count(); ++i) {
    if (list.IsTicked(i)) texts.push_back(list.Text(i));
  }
  return texts;
}

std::vector<std::wstring> AllTexts(const TickList& list) {
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

void IniWriter::AddSection(const std::wstring& section) {
  for (const auto& entry : sections_) {
    if (entry.first == section) return;
  }
  sections_.push_back({section, {}});
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
  // Manifests and maps travel with the archive to machines of other code pages.
  return CreateUtf8TextFile(path, text);
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

void AddManifestIdentities(AdapterContext& context, const IniText& manifest) {
  const size_t count = manifest.KeyNames(L"Identities").size();
  for (size_t i = 1; i <= count; ++i) {
    context.job.restore_identities().Add(
        manifest.ReadString(L"Identities", L"Item" + std::to_wstring(i), L""));
  }
}

void FillRestoreLists(AdapterContext& context, const IniText& manifest,
                      std::span<const wchar_t* const> item_names) {
  AddManifestIdentities(context, manifest);
  TickList& items = context.job.restore_items();
  for (const wchar_t* item : item_names) items.SetEntryEnabled(items.Add(item), false);
  const size_t item_count = manifest.KeyNames(L"Items").size();
  for (size_t i = 1; i <= item_count; ++i) {
    const std::wstring stored = manifest.ReadString(L"Items", L"Item" + std::to_wstring(i), L"");
    for (int e = 0; e < items.Count(); ++e) {
      if (items.Text(e) != stored) continue;
      items.SetEntryEnabled(e, true);
      items.SetTicked(e, true);
    }
  }
}

bool TickedAt(const TickList& list, int position) {
  return position >= 0 && position < list.Count() && list.IsTicked(position);
}

std::optional<IniText> ExtractStagedIni(AdapterContext& context, const std::wstring& member,
                                        const std::wstring& staging_sub_folder) {
  const std::wstring file = member.substr(member.find_last_of(L'\\') + 1);
  const std::wstring relative =
      staging_sub_folder.empty() ? file : staging_sub_folder + L"\\" + file;
  ClearStagedFiles(context, {relative});
  const std::wstring folder = staging_sub_folder.empty()
                                  ? context.staging_folder + L"\\"
                                  : context.staging_folder + L"\\" + staging_sub_folder + L"\\";
  if (ExtractNames(context, {member}, folder) != sqx::kStatusOk) return std::nullopt;
  return LoadIniFile(context.staging_folder + L"\\" + relative);
}

std::vector<std::wstring> FoldersHoldingFiles(AdapterContext& context, const std::wstring& start,
                                              const std::wstring& extension) {
  std::vector<std::wstring> folders;
  const std::wstring suffix = L"." + extension;
  FileSearch search;
  search.search_file = WithTrailingBackslash(start) + L"*" + suffix;
  search.recurse_sub_folders = true;
  search.process_messages = [&context] { context.host.ProcessMessages(); };
  // The system's mask also matches longer extensions through short names: check the name.
  search.on_file_find = [&](const std::wstring& folder, const std::wstring& name) {
    if (name.size() <= suffix.size() ||
        !EqualsIgnoreCase(std::wstring_view(name).substr(name.size() - suffix.size()), suffix)) {
      return;
    }
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  };
  search.Execute();
  return folders;
}

std::optional<std::wstring> OtherRestoreFolder(AdapterContext& context) {
  const std::wstring folder = WithoutTrailingBackslash(context.job.other_folder());
  if (IsAbsoluteLocalPath(folder) && CreateFolderTree(folder)) return folder;
  context.log.Line(L"Folder cannot be used: " + folder);
  context.archive.RecordRestoreProblem(context.host.Message(L"Message6") + L" " + folder);
  return std::nullopt;
}

void RefuseRestoreValue(AdapterContext& context, const std::wstring& line) {
  context.log.Line(L"Refused: " + line);
  context.archive.RecordRestoreProblem(WithArguments(context.host.Message(L"Message55"), {line}));
}

void ReportDamagedPart(AdapterContext& context, const std::wstring& line) {
  context.log.Line(line);
  context.archive.RecordRestoreProblem(WithArguments(context.host.Message(L"Message45"), {line}));
}

bool InsideClientFolders(const std::wstring& folder, const std::vector<std::wstring>& own_folders) {
  const std::wstring candidate = WithoutTrailingBackslash(folder);
  if (!IsAbsoluteLocalPath(candidate)) return false;
  return std::any_of(own_folders.begin(), own_folders.end(), [&](const std::wstring& own) {
    const std::wstring base = WithoutTrailingBackslash(own);
    return IsAbsoluteLocalPath(base) && (SameName(candidate, base) || InFolder(candidate, base));
  });
}

void RefuseWithoutAdminRights(AdapterContext& context, const std::wstring& line) {
  context.log.Line(L"Needs administrator rights: " + line);
  context.archive.RecordRestoreProblem(WithArguments(context.host.Message(L"Message70"), {line}));
}

bool BranchesWritable(const std::vector<RegistryBranch>& branches) {
  return std::all_of(branches.begin(), branches.end(), [](const RegistryBranch& branch) {
    return KeyWritable(RootKeyHandle(branch.root), branch.key_path);
  });
}

namespace {

// Whether every key and value of a dump is in the registry already as the dump has it: an
// import that would change nothing needs no right to write.
bool DumpAlreadyInPlace(const std::wstring& path, const std::vector<RegistryBranch>& allowed) {
  const std::optional<std::wstring> text = ReadSystemTextFile(path);
  if (!text) return false;
  const RegImportPlan plan = ParseRegText(*text, &allowed);
  if (!plan.refused.empty()) return false;
  for (const RegKeyImport& key : plan.keys) {
    RegistryKey opened;
    if (!opened.Open(RootKeyHandle(key.root), key.key_path, false, KEY_QUERY_VALUE)) return false;
    for (const RegistryValue& value : key.values) {
      DWORD type = 0;
      DWORD size = 0;
      if (RegQueryValueExW(opened.handle(), value.name.c_str(), nullptr, &type, nullptr, &size) !=
              ERROR_SUCCESS ||
          type != value.type || size != value.data.size()) {
        return false;
      }
      std::vector<uint8_t> data(size);
      if (size > 0 && (RegQueryValueExW(opened.handle(), value.name.c_str(), nullptr, &type,
                                        data.data(), &size) != ERROR_SUCCESS ||
                       data != value.data)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

void ImportRestoredDump(AdapterContext& context, const std::wstring& path,
                        const std::vector<RegistryBranch>& allowed, const std::wstring& name) {
  for (const RegistryBranch& branch : allowed) {
    if (branch.root != TRootKeys::rkHKEY_LOCAL_MACHINE || BranchesWritable({branch})) continue;
    if (DumpAlreadyInPlace(path, allowed)) {
      context.log.Line(L"Registry dump already in place, not written: " + name);
      return;
    }
    RefuseWithoutAdminRights(
        context, name + L" (HKEY_LOCAL_MACHINE\\" + NormalizedKeyPath(branch.key_path) + L")");
    return;
  }
  if (context.registry.ImportFile(path, allowed)) return;
  context.log.Line(L"Registry dump imported in part: " + name);
  context.archive.RecordRestoreProblem(WithArguments(context.host.Message(L"Message56"), {name}));
}

std::vector<std::wstring> MembersDirectlyIn(const NameSequence& names, const std::wstring& folder) {
  std::vector<std::wstring> members;
  for (const std::wstring_view name : names) {
    if (InFolder(name, folder) && name.find(L'\\', folder.size() + 1) == std::wstring::npos) {
      members.emplace_back(name);
    }
  }
  return members;
}

}  // namespace mailstow
