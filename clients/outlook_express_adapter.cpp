#include "outlook_express_adapter.h"

#include <windows.h>

#include <array>

#include "base/folders.h"
#include "base/registry_key.h"
#include "base/settings.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/folder_tokens.h"
#include "engine/archive_job.h"
#include "engine/archive_opening.h"
#include "engine/io_registry.h"
#include "engine/job_rules.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"OutlookExpress";
constexpr int kClientIndex = 1;
constexpr wchar_t kIdentities[] = L"\\identities";
constexpr wchar_t kVersionKey[] = L"\\Software\\Microsoft\\Outlook Express\\5.0";
constexpr wchar_t kSharedAccounts[] = L"\\Software\\Microsoft\\Internet Account Manager\\Accounts";
constexpr wchar_t kStationeryKey[] = L"\\SOFTWARE\\Microsoft\\Shared Tools\\Stationery";

enum Item { kAccounts, kMailFolders, kSignatures, kRules, kAddressBook, kStationery, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Signatures",
    L"Message Rules",     L"Address Book", L"Stationery"};

constexpr std::array<const wchar_t*, 4> kIdentityDumps = {L"identity.reg", L"identity2.reg",
                                                          L"settings.reg", L"settings2.reg"};

// Writes the absolute store folder, keeping an expandable value expandable.
void WriteStoreRoot(RegistryKey& key, const std::wstring& store) {
  DWORD type = REG_SZ;
  RegQueryValueExW(key.handle(), L"Store Root", nullptr, &type, nullptr, nullptr);
  if (type != REG_EXPAND_SZ) type = REG_SZ;
  RegSetValueExW(key.handle(), L"Store Root", 0, type, reinterpret_cast<const BYTE*>(store.c_str()),
                 static_cast<DWORD>((store.size() + 1) * sizeof(wchar_t)));
}

class OutlookExpressAdapter : public MailClientAdapter {
 public:
  explicit OutlookExpressAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    for (const std::wstring& key : SubKeys(HKEY_CURRENT_USER, kIdentities)) {
      context_.job.backup_identities().Add(
          ReadText(HKEY_CURRENT_USER, std::wstring(kIdentities) + L"\\" + key, L"Username"));
    }
  }

  void Backup() override {
    BeginBackup(context_);
    const std::wstring app_data = AppDataFolder();
    const TokenFolders tokens = MachineTokenFolders(app_data);
    std::wstring stationery = ReadText(HKEY_LOCAL_MACHINE, kStationeryKey, L"Stationery Folder");
    const TickList& identities = context_.job.backup_identities();
    const TickList& items = context_.job.backup_items();
    auto ticked = [&items](Item item) { return items.Count() > item && items.IsTicked(item); };

    // Per ticked identity, in list order: its key and its stored store folder.
    std::vector<std::wstring> identity_keys;
    std::vector<std::wstring> store_roots;
    std::vector<std::wstring> ticked_names;
    for (int n = 0; n < identities.Count(); ++n) {
      if (!identities.IsTicked(n)) continue;
      const std::wstring name = identities.Text(n);
      std::wstring identity_key;
      std::wstring store_root;
      for (const std::wstring& key : SubKeys(HKEY_CURRENT_USER, kIdentities)) {
        const std::wstring identity = std::wstring(kIdentities) + L"\\" + key;
        if (ReadText(HKEY_CURRENT_USER, identity, L"Username") != name) continue;
        identity_key = key;
        store_root = WithoutTrailingBackslash(
            ReadText(HKEY_CURRENT_USER, identity + kVersionKey, L"Store Root"));
        BackupIdentity(name, key, ReplaceLeadingToken(store_root, tokens), ticked);
      }
      if (ticked(kMailFolders) && store_root.empty()) {
        LogItemNotFound(context_, std::wstring(kItemNames[kMailFolders]) + L" (" + name + L")");
      }
      ticked_names.push_back(name);
      identity_keys.push_back(identity_key);
      store_roots.push_back(store_root);
    }
    if (ticked(kAddressBook)) {
      if (app_data.empty()) {
        LogItemNotFound(context_, kItemNames[kAddressBook]);
      } else {
        AddFolderIfExists(context_, app_data + L"\\Microsoft\\Address Book", L"",
                          app_data + L"\\Microsoft\\", L"*");
      }
    }
    if (ticked(kStationery)) {
      stationery = WithoutTrailingBackslash(ReplaceLeadingToken(stationery, tokens));
      if (stationery.empty()) {
        LogItemNotFound(context_, kItemNames[kStationery]);
      } else {
        AddFolderIfExists(context_, stationery, L"Stationery", stationery + L"\\", L"*");
      }
    }

    const std::wstring staging = context_.staging_folder + L"\\";
    IniWriter manifest = ManifestFor(kClientKey, ticked_names, TickedTexts(items));
    IniWriter others;
    for (size_t i = 0; i < identity_keys.size(); ++i) {
      manifest.Set(L"Directory", L"Item" + std::to_wstring(i + 1), identity_keys[i]);
      others.Set(L"Directory", L"Item" + std::to_wstring(i + 1), store_roots[i]);
    }
    IniWriter stationery_file;
    stationery_file.Set(L"Directory", L"Stationery", stationery);
    manifest.Save(staging + L"infobak.ini");
    others.Save(staging + L"others.ini");
    stationery_file.Save(staging + L"stationery.ini");
    for (const wchar_t* file : {L"infobak.ini", L"others.ini", L"stationery.ini"}) {
      context_.archive.AddJobEntry(staging + file, L"", staging);
    }
    // A ticked item that this machine lacks was named in the log above; the archive of
    // everything else is still a complete backup.
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey);
    if (!own) return;
    FillRestoreLists(context_, *own, kItemNames);
  }

  void RestoreDirect() override {
    const std::wstring app_data = AppDataFolder();
    const TokenFolders tokens = MachineTokenFolders(app_data);
    // The machine's identities and their display names, before anything is changed.
    std::vector<std::pair<std::wstring, std::wstring>> machine;
    for (const std::wstring& key : SubKeys(HKEY_CURRENT_USER, kIdentities)) {
      machine.emplace_back(
          key, ReadText(HKEY_CURRENT_USER, std::wstring(kIdentities) + L"\\" + key, L"Username"));
    }
    BeginRestore(context_, {L"others.ini", L"stationery.ini"});
    const IniText manifest = ReadStagingIni(context_, L"infobak.ini");
    const std::vector<std::wstring> keys = SectionValues(manifest, L"Directory");
    const std::vector<std::wstring> names = SectionValues(manifest, L"Identities");
    const std::vector<std::wstring> roots =
        SectionValues(ReadStagingIni(context_, L"others.ini"), L"Directory");
    const TickList& identities = context_.job.restore_identities();
    const std::wstring staging = context_.staging_folder + L"\\";
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j) || static_cast<size_t>(j) >= keys.size()) continue;
      const std::wstring name = identities.Text(j);
      const std::wstring key = keys[static_cast<size_t>(j)];
      if (!IsPlainName(key)) {
        RefuseRestoreValue(context_,
                           L"Identity not restored, its identity key is not valid: " + name);
        continue;
      }
      const std::wstring root =
          static_cast<size_t>(j) < roots.size() ? roots[static_cast<size_t>(j)] : L"";
      const std::wstring store = FixedDriveFallback(ReplaceLeadingToken(root, tokens));
      const std::vector<RegistryBranch> allowed = {
          {TRootKeys::rkHKEY_CURRENT_USER, std::wstring(kIdentities) + L"\\" + key},
          {TRootKeys::rkHKEY_CURRENT_USER, kSharedAccounts}};

      // The identity's keys are deleted only when its dumps came out of the archive intact:
      // a damaged member would otherwise leave the identity half restored.
      if (ExtractDumps(name, {kIdentityDumps.begin(), kIdentityDumps.end()}) != sqx::kStatusOk) {
        ReportDamagedPart(context_,
                          L"Identity not restored, its registry dumps are damaged: " + name);
        continue;
      }
      if (!FileExists(staging + L"identity.reg")) {
        ReportDamagedPart(context_,
                          L"Identity not restored, its registry dump is missing: " + name);
        continue;
      }
      const std::wstring stored_name =
          static_cast<size_t>(j) < names.size() ? names[static_cast<size_t>(j)] : name;
      for (const auto& [machine_key, machine_name] : machine) {
        if (machine_name == stored_name) {
          context_.archive.NoteRegistryDelete(TRootKeys::rkHKEY_CURRENT_USER,
                                              std::wstring(kIdentities + 1) + L"\\" + machine_key);
          RegDeleteTreeW(HKEY_CURRENT_USER,
                         (std::wstring(kIdentities + 1) + L"\\" + machine_key).c_str());
        }
      }
      ImportDumps({kIdentityDumps.begin(), kIdentityDumps.end()}, allowed);
      RegistryKey version;
      if (version.Open(HKEY_CURRENT_USER, std::wstring(kIdentities) + L"\\" + key + kVersionKey,
                       false)) {
        WriteStoreRoot(version, store);
      }
      if (RestoreItem(kAccounts)) {
        ExtractDumps(name, {L"accounts.reg", L"accounts2.reg"});
        ImportDumps({L"accounts.reg", L"accounts2.reg"}, allowed);
      }
      if (RestoreItem(kMailFolders)) ExtractFolder(context_, key, WithTrailingBackslash(store));
      if (RestoreItem(kRules)) {
        ExtractDumps(name, {L"rules.reg", L"blockedsender.reg"});
        ImportDumps({L"rules.reg", L"blockedsender.reg"}, allowed);
      }
      if (RestoreItem(kSignatures)) {
        ExtractDumps(name, {L"signatures.reg"});
        ImportDumps({L"signatures.reg"}, allowed);
      }
    }
    if (RestoreItem(kAddressBook) && !app_data.empty()) {
      ExtractFolder(context_, L"Address Book", app_data + L"\\Microsoft\\Address Book\\");
    }
    if (RestoreItem(kStationery)) {
      RegistryKey key;
      std::wstring target;
      if (key.Open(HKEY_LOCAL_MACHINE, kStationeryKey, false, KEY_READ) &&
          key.ValueExists(L"Stationery Folder")) {
        target = ReplaceLeadingToken(key.ReadString(L"Stationery Folder").value, tokens);
      } else {
        const IniText file = ReadStagingIni(context_, L"stationery.ini");
        target = FixedDriveFallback(file.ReadString(L"Directory", L"Stationery", L""));
        // The folder is only found through the machine-wide value: without the right to
        // write it the stationery is not restored.
        RegistryKey writable;
        if (!target.empty() && !KeyWritable(HKEY_LOCAL_MACHINE, kStationeryKey)) {
          RefuseWithoutAdminRights(
              context_, L"Stationery (HKEY_LOCAL_MACHINE" + std::wstring(kStationeryKey) + L")");
          target.clear();
        } else if (!target.empty() && writable.Open(HKEY_LOCAL_MACHINE, kStationeryKey, true)) {
          writable.WriteString(L"Stationery Folder", target);
        }
      }
      if (!target.empty()) ExtractFolder(context_, L"Stationery", WithTrailingBackslash(target));
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {L"others.ini"});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = WithTrailingBackslash(*chosen);
    const std::vector<std::wstring> keys =
        SectionValues(ReadStagingIni(context_, L"infobak.ini"), L"Directory");
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j) || static_cast<size_t>(j) >= keys.size()) continue;
      const std::wstring name = identities.Text(j);
      const std::wstring key = keys[static_cast<size_t>(j)];
      // Both become folder names below the chosen folder.
      if (!IsPlainName(key) || !StaysInside(name)) {
        RefuseRestoreValue(context_,
                           L"Identity not restored, its names are not valid folder names: " + name);
        continue;
      }
      const std::wstring dumps = folder + name + L"\\";
      ExtractDumps(name, {kIdentityDumps.begin(), kIdentityDumps.end()}, dumps);
      if (RestoreItem(kAccounts)) ExtractDumps(name, {L"accounts.reg", L"accounts2.reg"}, dumps);
      if (RestoreItem(kMailFolders)) ExtractFolder(context_, key, folder + key + L"\\");
      if (RestoreItem(kRules)) ExtractDumps(name, {L"rules.reg", L"blockedsender.reg"}, dumps);
      if (RestoreItem(kSignatures)) ExtractDumps(name, {L"signatures.reg"}, dumps);
    }
    if (RestoreItem(kAddressBook))
      ExtractFolder(context_, L"Address Book", folder + L"Address Book\\");
    if (RestoreItem(kStationery)) ExtractFolder(context_, L"Stationery", folder + L"Stationery\\");
    context_.host.SetRestoreProgress(100);
  }

 private:
  // Dumps the identity's branches into its staging folder and adds them to the job.
  template <typename Ticked>
  void BackupIdentity(const std::wstring& name, const std::wstring& key, const std::wstring& store,
                      Ticked ticked) {
    const std::wstring staging = context_.staging_folder + L"\\";
    const std::wstring folder = staging + name + L"\\";
    CreateFolderTree(folder);
    const std::wstring identity = std::wstring(kIdentities) + L"\\" + key;
    const std::wstring version = identity + kVersionKey;
    auto dump = [&](const wchar_t* file, const std::wstring& path, bool sub_keys) {
      context_.registry.ExportKey(L"HKEY_CURRENT_USER", path, sub_keys, folder + file);
      context_.archive.AddJobEntry(folder + file, L"", staging);
    };
    dump(L"identity.reg", identity, false);
    dump(L"identity2.reg", version, false);
    dump(L"settings.reg", version + L"\\Mail", false);
    dump(L"settings2.reg", version + L"\\Columns", false);
    if (ticked(kAccounts)) {
      dump(L"accounts.reg", identity + kSharedAccounts, true);
      dump(L"accounts2.reg", kSharedAccounts, true);
    }
    if (ticked(kRules)) {
      dump(L"rules.reg", version + L"\\Rules", true);
      dump(L"blockedsender.reg", version + L"\\Block Senders", true);
    }
    if (ticked(kSignatures)) dump(L"signatures.reg", version + L"\\Signatures", true);
    if (ticked(kMailFolders) && !store.empty()) {
      AddFolderIfExists(context_, store, key, store + L"\\", L"*");
    }
  }

  bool RestoreItem(Item item) const {
    const TickList& items = context_.job.restore_items();
    return items.Count() > item && items.IsTicked(item);
  }

  // One extraction run of the identity's dump files into target (the staging folder by
  // default); returns the archiver's status. Dumps left from an earlier identity are removed
  // first, so that a dump missing from the archive is never replaced by another identity's.
  int ExtractDumps(const std::wstring& name, const std::vector<std::wstring>& files,
                   std::wstring target = {}) {
    if (target.empty()) {
      target = context_.staging_folder + L"\\";
      for (const std::wstring& file : files) DeleteFileW((target + file).c_str());
    }
    std::vector<std::wstring> members;
    for (const std::wstring& file : files) members.push_back(name + L"\\" + file);
    return ExtractNames(context_, members, target);
  }

  void ImportDumps(const std::vector<std::wstring>& files,
                   const std::vector<RegistryBranch>& allowed) {
    for (const std::wstring& file : files) {
      const std::wstring path = context_.staging_folder + L"\\" + file;
      if (FileExists(path)) ImportRestoredDump(context_, path, allowed, file);
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateOutlookExpressAdapter(AdapterContext& context) {
  return std::make_unique<OutlookExpressAdapter>(context);
}

}  // namespace mailstow
