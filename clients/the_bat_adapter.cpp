#include "the_bat_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "base/file_search.h"
#include "base/folders.h"
#include "base/registry_key.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "engine/archive_job.h"
#include "engine/job_host.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"TheBat";
constexpr int kClientIndex = 7;
constexpr wchar_t kClientRoot[] = L"\\Software\\RIT\\The Bat!";
constexpr wchar_t kUsersDepot[] = L"\\Software\\RIT\\The Bat!\\Users Depot";
constexpr wchar_t kDefaultDirectory[] = L"default";
constexpr wchar_t kDirectoryMap[] = L"directory.ini";

enum Item { kAccounts, kMailFolders, kFilters, kAddressBook, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Filters", L"Address Book"};

// The per-user files of each item, directly in the user's folder.
constexpr std::array<const wchar_t*, 2> kAccountFiles = {L"account.cfg", L"account.vcf"};
constexpr std::array<const wchar_t*, 6> kMailFiles = {
    L"account.flx", L"account.m_d", L"account.m_r", L"account.pfx", L"account.qtn", L"account.sce"};
constexpr std::array<const wchar_t*, 1> kFilterFiles = {L"account.srx"};
constexpr std::array<const wchar_t*, 2> kMessageBases = {L"Messages.tbi", L"Messages.tbb"};

std::wstring WorkingDirectory() {
  return ReadText(HKEY_CURRENT_USER, kClientRoot, L"Working Directory");
}

std::wstring UserValue(const wchar_t* name, int number) {
  return ReadText(HKEY_CURRENT_USER, kUsersDepot, (name + std::to_wstring(number)).c_str());
}

int UserCount() {
  RegistryKey depot;
  if (!depot.Open(HKEY_CURRENT_USER, kUsersDepot, false, KEY_READ)) return 0;
  return std::max(depot.ReadInteger(L"Count").value, 0);
}

bool HasTbiExtension(const std::wstring& name) {
  return name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".tbi") == 0;
}

// The stored names of a user's files, below an optional inner folder ending with "\".
template <size_t N>
std::vector<std::wstring> MembersOf(const std::wstring& user,
                                    const std::array<const wchar_t*, N>& files,
                                    const std::wstring& folder = {}) {
  std::vector<std::wstring> members;
  for (const wchar_t* file : files) members.push_back(user + L"\\" + folder + file);
  return members;
}

class TheBatAdapter : public MailClientAdapter {
 public:
  explicit TheBatAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    const int count = UserCount();
    for (int n = 1; n <= count; ++n) {
      context_.job.backup_identities().Add(UserValue(L"User #", n));
    }
  }

  void Backup() override {
    BeginBackup(context_);
    // The working directory ends with a separator; only that separator is cut, so that stored
    // names keep every character.
    const std::wstring working = WithoutTrailingBackslash(WorkingDirectory());
    const TickList& identities = context_.job.backup_identities();
    const TickList& items = context_.job.backup_items();
    auto ticked = [&items](Item item) { return items.Count() > item && items.IsTicked(item); };

    std::vector<std::wstring> names;
    std::vector<std::wstring> directories;
    for (int position = 0; position < identities.Count(); ++position) {
      if (!identities.IsTicked(position)) continue;
      const std::wstring user = UserValue(L"User #", position + 1);
      const std::wstring dir = UserValue(L"Dir #", position + 1);
      // The user's name becomes its archive folder; the data folder must be known.
      const std::wstring folder = dir.empty() ? (working.empty() ? L"" : working + L"\\" + user)
                                              : WithoutTrailingBackslash(dir);
      if (!IsPlainName(user) || folder.empty()) {
        context_.log.Line(L"User not backed up, its name or folder is not usable: " + user);
        continue;
      }
      if (ticked(kMailFolders)) AddMailFolders(user, folder);
      if (ticked(kAccounts)) AddUserFiles(user, folder, kAccountFiles);
      if (ticked(kFilters)) AddUserFiles(user, folder, kFilterFiles);
      names.push_back(user);
      directories.push_back(dir.empty() ? kDefaultDirectory : dir);
    }
    if (ticked(kAddressBook)) {
      if (working.empty()) {
        context_.log.Line(L"Address book not backed up: no working directory");
      } else {
        const std::wstring strip = working + L"\\";
        context_.archive.AddFolderEntries(working, L"Address Book", strip, L"abd");
        AddFileIfExists(context_, strip + L"Groups.cfg", L"Address Book", strip);
        AddFileIfExists(context_, strip + L"Addrbook.ini", L"Address Book", strip);
      }
    }

    const std::wstring staging = context_.staging_folder + L"\\";
    IniWriter manifest = ManifestFor(kClientKey, names, TickedTexts(items));
    for (size_t i = 0; i < directories.size(); ++i) {
      manifest.Set(L"Directory", L"Item" + std::to_wstring(i + 1), directories[i]);
    }
    manifest.Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> manifest = ReadOwnManifest(context_, kClientKey);
    if (!manifest) return;
    FillRestoreLists(context_, *manifest, kItemNames);
  }

  void RestoreDirect() override {
    const std::wstring working = WorkingDirectory();
    BeginRestore(context_, {});
    const std::vector<std::wstring> directories =
        SectionValues(ReadStagingIni(context_, L"infobak.ini"), L"Directory");
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      const std::wstring dir =
          static_cast<size_t>(j) < directories.size() ? directories[static_cast<size_t>(j)] : L"";
      if (!IsPlainName(name)) {
        RefuseRestoreValue(context_, L"User not restored, its name is not valid: " + name);
        continue;
      }
      // A user this machine knows comes back into the folder the client uses for it now; a new
      // one into the folder the archive names when that lies in the working directory, else
      // into the working directory + its name. No other folder the archive names is used.
      const std::optional<std::wstring> current = CurrentDirectory(name);
      const bool archived_dir_usable =
          !current && dir != kDefaultDirectory && InsideClientFolders(dir, {working});
      const std::wstring own = current ? *current : (archived_dir_usable ? dir : L"");
      std::wstring folder;
      if (!own.empty()) {
        folder = WithTrailingBackslash(own);
      } else if (!working.empty()) {
        folder = WithTrailingBackslash(working) + name + L"\\";
      }
      if (folder.empty()) {
        context_.log.Line(L"User not restored, it has no folder on this machine: " + name);
        continue;
      }
      if (dir != kDefaultDirectory && !SameName(WithTrailingBackslash(dir), folder)) {
        context_.log.Line(L"User " + name + L" restored into " + folder + L", not into " + dir +
                          L" named by the backup");
      }
      if (!RestoreUser(name, folder)) {
        ReportDamagedPart(context_,
                          L"User not registered, its files did not come back intact: " + name);
        continue;
      }
      if (!current) AppendUser(name, archived_dir_usable ? dir : L"");
    }
    if (RestoreItem(kAddressBook)) {
      if (working.empty()) {
        context_.log.Line(L"Address book not restored: no working directory");
      } else {
        ExtractFolder(context_, L"Address Book", WithTrailingBackslash(working));
      }
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = WithTrailingBackslash(*chosen);
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      if (!IsPlainName(name)) {
        RefuseRestoreValue(context_,
                           L"User not restored, its name is not a valid folder name: " + name);
        continue;
      }
      RestoreUser(name, folder + name + L"\\");
    }
    if (RestoreItem(kAddressBook))
      ExtractFolder(context_, L"Address Book", folder + L"Address Book\\");
    context_.host.SetRestoreProgress(100);
  }

 private:
  bool RestoreItem(Item item) const {
    const TickList& items = context_.job.restore_items();
    return items.Count() > item && items.IsTicked(item);
  }

  template <size_t N>
  void AddUserFiles(const std::wstring& user, const std::wstring& folder,
                    const std::array<const wchar_t*, N>& files) {
    for (const wchar_t* file : files)
      AddFileIfExists(context_, folder + L"\\" + file, user, folder + L"\\");
  }

  // Adds the message bases of every folder below the user's folder (itself included) that
  // holds an index file, the mail-side account files, and the user's directory map.
  void AddMailFolders(const std::wstring& user, const std::wstring& folder) {
    const std::wstring strip = folder + L"\\";
    std::vector<std::wstring> found;  // folders with a trailing "\", each listed once
    FileSearch search;
    search.search_file = strip + L"*.tbi";
    search.recurse_sub_folders = true;
    search.process_messages = [this] { context_.host.ProcessMessages(); };
    search.on_file_find = [&found](const std::wstring& hit, const std::wstring& name) {
      if (HasTbiExtension(name) && std::find(found.begin(), found.end(), hit) == found.end()) {
        found.push_back(hit);
      }
    };
    search.Execute();
    IniWriter map;
    for (size_t k = 0; k < found.size(); ++k) {
      for (const wchar_t* base : kMessageBases)
        AddFileIfExists(context_, found[k] + base, user, strip);
      const std::wstring relative =
          found[k].size() > strip.size() ? found[k].substr(strip.size()) : L"";
      map.Set(L"Directory", L"Dir" + std::to_wstring(k + 1), relative);
    }
    AddUserFiles(user, folder, kMailFiles);
    // Each user's map has a staging file of its own, so that it is packed as written.
    const std::wstring staging = context_.staging_folder + L"\\";
    CreateFolderTree(staging + user);
    const std::wstring map_file = staging + user + L"\\" + kDirectoryMap;
    if (map.Save(map_file)) context_.archive.AddJobEntry(map_file, L"", staging);
  }

  // The extraction runs of one user into its folder (ending with "\"); true when every run
  // returned OK. Map values from the archive must stay inside the user's folder.
  bool RestoreUser(const std::wstring& name, const std::wstring& folder) {
    bool intact = true;
    auto run = [&](const std::vector<std::wstring>& members, const std::wstring& target) {
      intact = ExtractNames(context_, members, target) == sqx::kStatusOk && intact;
    };
    if (RestoreItem(kMailFolders)) {
      ClearStagedFiles(context_, {kDirectoryMap});
      run({name + L"\\" + kDirectoryMap}, context_.staging_folder + L"\\");
      const IniText map = ReadStagingIni(context_, kDirectoryMap);
      const size_t count = map.KeyNames(L"Directory").size();
      for (size_t k = 1; k <= count; ++k) {
        const std::wstring relative =
            map.ReadString(L"Directory", L"Dir" + std::to_wstring(k), L"");
        if (!relative.empty() && !IsSafeRelativePath(relative)) {
          RefuseRestoreValue(
              context_, L"Mail folder not restored, its path leaves the user folder: " + relative);
          intact = false;
          continue;
        }
        const std::wstring inner = relative.empty() ? L"" : WithTrailingBackslash(relative);
        run(MembersOf(name, kMessageBases, inner), folder + inner);
      }
      run(MembersOf(name, kMailFiles), folder);
    }
    if (RestoreItem(kAccounts)) run(MembersOf(name, kAccountFiles), folder);
    if (RestoreItem(kFilters)) run(MembersOf(name, kFilterFiles), folder);
    return intact;
  }

  // The folder the client uses now for a user it knows ("" for the working directory + the
  // name); nullopt for a user new to this machine.
  std::optional<std::wstring> CurrentDirectory(const std::wstring& name) {
    RegistryKey depot;
    if (!depot.Open(HKEY_CURRENT_USER, kUsersDepot, false, KEY_READ)) return std::nullopt;
    const int count = std::max(depot.ReadInteger(L"Count").value, 0);
    for (int n = 1; n <= count; ++n) {
      if (depot.ReadString(L"User #" + std::to_wstring(n)).value != name) continue;
      return depot.ReadString(L"Dir #" + std::to_wstring(n)).value;
    }
    return std::nullopt;
  }

  // Appends a user new to this machine to the depot with its folder ("" for the working
  // directory + its name).
  void AppendUser(const std::wstring& name, const std::wstring& dir) {
    RegistryKey depot;
    if (!depot.Open(HKEY_CURRENT_USER, kUsersDepot, true)) {
      context_.log.Line(L"User not registered, the Users Depot cannot be written: " + name);
      return;
    }
    const int count = std::max(depot.ReadInteger(L"Count").value, 0);
    const std::wstring number = std::to_wstring(count + 1);
    depot.WriteString(L"Dir #" + number, dir);
    depot.WriteString(L"User #" + number, name);
    depot.WriteInteger(L"Count", count + 1);
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateTheBatAdapter(AdapterContext& context) {
  return std::make_unique<TheBatAdapter>(context);
}

}  // namespace mailstow
