#include "clients/eudora_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "base/file_search.h"
#include "base/folders.h"
#include "base/text_case.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/eudora_command_line.h"
#include "engine/archive_job.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"Eudora";
constexpr int kClientIndex = 3;
constexpr wchar_t kCommandLineKey[] = L"\\SOFTWARE\\Qualcomm\\Eudora\\CommandLine";
constexpr wchar_t kMapFile[] = L"directory.ini";

enum Item { kAccounts, kMailFolders, kFilters, kSignatures, kAddressBook, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Filters", L"Signatures", L"Address Book"};
constexpr std::array<const wchar_t*, 3> kMailboxExtensions = {L"mbx", L"toc", L"pce"};

bool Ticked(const TickList& items, Item item) {
  return items.Count() > item && items.IsTicked(item);
}

// The data folder D, without a trailing backslash; empty when the command line is unset.
std::wstring DataFolder() {
  return EudoraDataFolder(ReadText(HKEY_CURRENT_USER, kCommandLineKey, L"Current"));
}

bool EndsWithFol(const std::wstring& folder) {
  return folder.size() >= 4 && EqualsIgnoreCase(folder.substr(folder.size() - 4), L".fol");
}

class EudoraAdapter : public MailClientAdapter {
 public:
  explicit EudoraAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    context_.job.backup_identities().Add(L"Default");
  }

  void Backup() override {
    BeginBackup(context_);
    const std::wstring data = DataFolder();
    const TickList& items = context_.job.backup_items();
    const std::wstring staging = context_.staging_folder + L"\\";
    if (data.empty()) {
      // Without a data folder every path would be relative to a drive root.
      context_.log.Line(L"Not found: the Eudora data folder (command line \"Current\")");
    } else {
      const std::wstring strip = data + L"\\";
      if (Ticked(items, kAccounts)) {
        AddFolderIfExists(context_, strip + L"Spool", L"", strip, L"*");
        AddFileIfExists(context_, strip + L"eudora.ini", L"", strip);
      }
      if (Ticked(items, kMailFolders)) {
        BackupMailFolders(data);
        context_.archive.AddJobEntry(staging + kMapFile, L"", staging);
        AddFolderIfExists(context_, strip + L"Stationery", L"", strip, L"*");
      }
      if (Ticked(items, kFilters)) {
        AddFolderIfExists(context_, strip + L"Filters", L"", strip, L"*");
        AddFileIfExists(context_, strip + L"filters.pce", L"", strip);
      }
      if (Ticked(items, kAddressBook)) {
        AddFileIfExists(context_, strip + L"nndbase.toc", L"", strip);
        AddFileIfExists(context_, strip + L"nndbase.txt", L"", strip);
      }
      if (Ticked(items, kSignatures)) {
        AddFolderIfExists(context_, strip + L"Sigs", L"", strip, L"*");
      }
    }
    ManifestFor(kClientKey, TickedTexts(context_.job.backup_identities()), TickedTexts(items))
        .Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey);
    if (own) FillRestoreLists(context_, *own, kItemNames);
  }

  void RestoreDirect() override {
    BeginRestore(context_, {});
    const std::wstring data = DataFolder();
    if (data.empty()) {
      context_.log.Line(
          L"Nothing restored: the Eudora data folder (command line \"Current\") "
          L"is not set");
    } else {
      const std::wstring base = data + L"\\";
      RestoreInto(base, base);
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring base = WithTrailingBackslash(*chosen);
    RestoreInto(base, base + L"Mail\\");
    context_.host.SetRestoreProgress(100);
  }

 private:
  // Adds the mailboxes of every folder that holds ".pce" files, below D under their relative
  // paths and at D's top under "Mail", and writes the directory map of the ".fol" folders.
  void BackupMailFolders(const std::wstring& data) {
    const std::wstring strip = data + L"\\";
    // A folder holding several ".pce" files is reported once per file: keep it once.
    std::vector<std::wstring> folders;
    FileSearch search;
    search.search_file = strip + L"*.pce";
    search.recurse_sub_folders = true;
    search.process_messages = [this] { context_.host.ProcessMessages(); };
    search.on_file_find = [&folders](const std::wstring& folder, const std::wstring&) {
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(folder);
      }
    };
    search.Execute();
    IniWriter map;
    size_t number = 0;
    for (const std::wstring& folder : folders) {
      if (EqualsIgnoreCase(folder, strip)) continue;
      const std::wstring path = WithoutTrailingBackslash(folder);
      for (const wchar_t* extension : kMailboxExtensions) {
        context_.archive.AddFolderEntries(path, L"", strip, extension);
      }
      if (EndsWithFol(path)) {
        map.Set(L"Directory", L"Dir" + std::to_wstring(++number), path.substr(strip.size()));
      } else {
        context_.log.Line(L"Mail folder stored but not restorable (not a .fol folder): " + path);
      }
    }
    for (const wchar_t* extension : kMailboxExtensions) {
      context_.archive.AddFolderEntries(data, L"Mail", strip, extension);
    }
    map.Save(context_.staging_folder + L"\\" + kMapFile);
  }

  bool RestoreItem(Item item) const { return Ticked(context_.job.restore_items(), item); }

  // The restore steps of both restores: base receives every piece under its own name, mail
  // receives the mailboxes of the data folder's top.
  void RestoreInto(const std::wstring& base, const std::wstring& mail) {
    if (RestoreItem(kAccounts)) {
      ExtractFolder(context_, L"Spool", base + L"Spool\\");
      ExtractNames(context_, {L"eudora.ini"}, base);
    }
    if (RestoreItem(kMailFolders)) {
      ExtractFolder(context_, L"Stationery", base + L"Stationery\\");
      ExtractFolder(context_, L"Mail", mail);
      RestoreMailFolderTree(base);
    }
    if (RestoreItem(kFilters)) {
      ExtractFolder(context_, L"Filters", base + L"Filters\\");
      ExtractNames(context_, {L"filters.pce"}, base);
    }
    if (RestoreItem(kAddressBook)) {
      ExtractNames(context_, {L"nndbase.toc"}, base);
      ExtractNames(context_, {L"nndbase.txt"}, base);
    }
    if (RestoreItem(kSignatures)) ExtractFolder(context_, L"Sigs", base + L"Sigs\\");
  }

  // Every ".fol" folder of the directory map, deepest numbers first, with its inner folders.
  void RestoreMailFolderTree(const std::wstring& base) {
    if (!ExtractToStaging(context_, {kMapFile})) {
      ReportDamagedPart(context_,
                        L"Mail folders not restored: the directory map could not be extracted");
      return;
    }
    const IniText map = ReadStagingIni(context_, kMapFile);
    const size_t count = map.KeyNames(L"Directory").size();
    for (size_t k = count; k >= 1; --k) {
      const std::wstring folder = map.ReadString(L"Directory", L"Dir" + std::to_wstring(k), L"");
      if (folder.empty()) continue;
      if (!IsSafeRelativePath(folder)) {
        RefuseRestoreValue(context_,
                           L"Mail folder not restored, its path leaves the data folder: " + folder);
        continue;
      }
      ExtractFolder(context_, folder, base, true);
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateEudoraAdapter(AdapterContext& context) {
  return std::make_unique<EudoraAdapter>(context);
}

}  // namespace mailstow
