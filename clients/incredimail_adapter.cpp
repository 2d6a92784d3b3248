#include "clients/incredimail_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "base/folders.h"
#include "base/registry_key.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/dump_root.h"
#include "engine/archive_job.h"
#include "engine/io_registry.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"IncrediMail";
constexpr int kClientIndex = 5;
constexpr wchar_t kProgramKey[] = L"\\SOFTWARE\\incredimail";
constexpr wchar_t kIdentitiesKey[] = L"\\SOFTWARE\\incredimail\\identities";
constexpr wchar_t kContentKey[] = L"SOFTWARE\\incredimail\\content";
// Manifest section naming each identity's archive folder of dumps, in [Identities] order.
constexpr wchar_t kDumpFolders[] = L"DumpFolders";

enum Item { kAccounts, kMailFolders, kRules, kAddressBook, kStationery, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Message Rules", L"Address Book", L"Stationery"};
constexpr std::array<const wchar_t*, 8> kStationeryFolders = {
    L"Animation", L"ECard", L"Emoticon", L"Letter", L"Notifier", L"Skin", L"Sound", L"Image"};

// Where this installation keeps its identities: per user or per machine.
struct Variant {
  HKEY root;
  TRootKeys root_key;
  const char* root_name;
  const char* other_root_name;      // the root that dumps of the other variant name
  const wchar_t* stationery_value;  // value of HKEY_LOCAL_MACHINE\SOFTWARE\incredimail
};

const Variant kPerUser = {HKEY_CURRENT_USER, TRootKeys::rkHKEY_CURRENT_USER, "HKEY_CURRENT_USER",
                          "HKEY_LOCAL_MACHINE", L"CommonDataPath"};
const Variant kPerMachine = {HKEY_LOCAL_MACHINE, TRootKeys::rkHKEY_LOCAL_MACHINE,
                             "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", L"ApplicationPath"};

// Decided afresh wherever it is used, so that a change of the machine between the list
// filler and the backup cannot mix the variants.
const Variant& MachineVariant() {
  RegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kProgramKey, false, KEY_READ) ? kPerUser : kPerMachine;
}

std::wstring RootName(const Variant& variant) {
  return std::wstring(variant.root_name, variant.root_name + strlen(variant.root_name));
}

struct Identity {
  std::wstring key;
  std::wstring name;
};

// The valid identities in registry order: "IsValid" missing or not 0. This is the order of
// the backup identity list.
std::vector<Identity> ValidIdentities(const Variant& variant) {
  std::vector<Identity> identities;
  for (const std::wstring& key : SubKeys(variant.root, kIdentitiesKey)) {
    RegistryKey identity;
    if (!identity.Open(variant.root, std::wstring(kIdentitiesKey) + L"\\" + key, false, KEY_READ))
      continue;
    const RegistryRead<int> valid = identity.ReadInteger(L"IsValid");
    if (valid.ok() && valid.value == 0) continue;
    identities.push_back({key, identity.ReadString(L"Identity").value});
  }
  return identities;
}

// The identities folder I; empty when the application folder is not set.
std::wstring IdentitiesFolder(const Variant& variant) {
  const std::wstring application =
      WithoutTrailingBackslash(ReadText(variant.root, kProgramKey, L"ApplicationPath"));
  return application.empty() ? L"" : application + L"\\Identities";
}

// The stationery base folder T; empty when it is not set.
std::wstring StationeryBase(const Variant& variant) {
  return WithoutTrailingBackslash(
      ReadText(HKEY_LOCAL_MACHINE, kProgramKey, variant.stationery_value));
}

bool Ticked(const TickList& items, Item item) {
  return items.Count() > item && items.IsTicked(item);
}

// The archive folder for an identity's dumps: its display name, or when an identity backed up
// before has taken that name (the archive compares names without regard to case) the name
// with the first free number " (2)", " (3)", ... after it.
std::wstring UniqueDumpFolder(const std::wstring& name, const std::vector<std::wstring>& taken) {
  const auto is_taken = [&taken](const std::wstring& folder) {
    return std::any_of(taken.begin(), taken.end(),
                       [&folder](const std::wstring& used) { return SameName(used, folder); });
  };
  std::wstring folder = name;
  for (int number = 2; is_taken(folder); ++number) {
    folder = name + L" (" + std::to_wstring(number) + L")";
  }
  return folder;
}

bool ReadBytes(const std::wstring& path, std::string* bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(kMaxRegFileSize);
  DWORD read = 0;
  if (ok) {
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    ok = bytes->empty() ||
         (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
  }
  CloseHandle(file);
  return ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                              &written, nullptr) &&
                                    written == bytes.size());
  return CloseHandle(file) && ok;
}

class IncrediMailAdapter : public MailClientAdapter {
 public:
  explicit IncrediMailAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    for (const Identity& identity : ValidIdentities(MachineVariant())) {
      context_.job.backup_identities().Add(identity.name);
    }
  }

  void Backup() override {
    BeginBackup(context_);
    const Variant& variant = MachineVariant();
    const std::wstring identities_folder = IdentitiesFolder(variant);
    const std::vector<Identity> valid = ValidIdentities(variant);
    const TickList& identities = context_.job.backup_identities();
    const TickList& items = context_.job.backup_items();
    if (identities_folder.empty() &&
        (Ticked(items, kMailFolders) || Ticked(items, kRules) || Ticked(items, kAddressBook))) {
      context_.log.Line(L"Not found: the IncrediMail application folder (\"ApplicationPath\")");
    }

    std::vector<std::wstring> names;
    std::vector<std::wstring> keys;
    std::vector<std::wstring> dump_folders;
    for (int n = 0; n < identities.Count(); ++n) {
      if (!identities.IsTicked(n)) continue;
      const std::wstring name = identities.Text(n);
      // The identity at the ticked position; the first of that name when the list is stale.
      std::wstring key;
      if (static_cast<size_t>(n) < valid.size() && valid[static_cast<size_t>(n)].name == name) {
        key = valid[static_cast<size_t>(n)].key;
      } else {
        for (const Identity& identity : valid) {
          if (identity.name == name) {
            key = identity.key;
            break;
          }
        }
      }
      if (key.empty()) {
        context_.log.Line(L"Not found: identity " + name);
        continue;
      }
      // The same identity ticked twice (a stale list) is backed up once.
      if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
      const std::wstring dump_folder = UniqueDumpFolder(name, dump_folders);
      BackupIdentity(variant, identities_folder, dump_folder, key, names.size(), items);
      names.push_back(name);
      keys.push_back(key);
      dump_folders.push_back(dump_folder);
    }
    if (Ticked(items, kStationery)) BackupStationery(variant);

    const std::wstring staging = context_.staging_folder + L"\\";
    IniWriter manifest = ManifestFor(kClientKey, names, TickedTexts(items));
    for (size_t i = 0; i < keys.size(); ++i) {
      manifest.Set(L"Directory", L"Item" + std::to_wstring(i + 1), keys[i]);
    }
    for (size_t i = 0; i < dump_folders.size(); ++i) {
      manifest.Set(kDumpFolders, L"Item" + std::to_wstring(i + 1), dump_folders[i]);
    }
    manifest.Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey);
    if (own) FillRestoreLists(context_, *own, kItemNames);
  }

  void RestoreDirect() override {
    BeginRestore(context_, {});
    const Variant* restored = RestoreVariant();
    if (restored == nullptr) {
      RefuseWithoutAdminRights(context_,
                               L"IncrediMail identities and stationery "
                               L"(HKEY_LOCAL_MACHINE\\SOFTWARE\\incredimail)");
      context_.host.SetRestoreProgress(100);
      return;
    }
    const Variant& variant = *restored;
    const std::wstring identities_folder = IdentitiesFolder(variant);
    ForEachTickedIdentity(
        [&](const std::wstring& name, const std::wstring& key, const std::wstring& dumps) {
          const std::vector<RegistryBranch> allowed = {
              {variant.root_key, std::wstring(kIdentitiesKey) + L"\\" + key}};
          RestoreDump(variant, dumps + L"\\identity.reg", allowed);
          if (RestoreItem(kAccounts)) RestoreDump(variant, dumps + L"\\account.reg", allowed);
          if (RestoreItem(kRules)) RestoreDump(variant, dumps + L"\\rules.reg", allowed);
          const bool files =
              RestoreItem(kMailFolders) || RestoreItem(kRules) || RestoreItem(kAddressBook);
          if (files && identities_folder.empty()) {
            context_.log.Line(
                L"Files of identity not restored, the IncrediMail application folder "
                L"(\"ApplicationPath\") is not set: " +
                name);
            return;
          }
          RestoreIdentityFiles(dumps, key, identities_folder + L"\\" + key + L"\\",
                               identities_folder + L"\\" + key + L"\\");
        });
    if (RestoreItem(kStationery)) {
      const std::wstring base = StationeryBase(variant);
      if (base.empty()) {
        context_.log.Line(L"Stationery not restored, its folder is not set");
      } else {
        RestoreStationeryFolders(base + L"\\");
        RestoreDump(variant, L"stationery.reg", {{variant.root_key, kContentKey}});
      }
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = WithTrailingBackslash(*chosen);
    ForEachTickedIdentity(
        [&](const std::wstring&, const std::wstring& key, const std::wstring& stored) {
          // The dumps go into a folder named after their archive folder (the display name, made
          // unique), made safe for a file name.
          const std::wstring dumps = folder + SafeFolderName(stored) + L"\\";
          ExtractNames(context_, {stored + L"\\identity.reg"}, dumps);
          if (RestoreItem(kAccounts)) ExtractNames(context_, {stored + L"\\account.reg"}, dumps);
          if (RestoreItem(kRules)) ExtractNames(context_, {stored + L"\\rules.reg"}, dumps);
          RestoreIdentityFiles(stored, key, folder + key + L"\\", dumps);
        });
    if (RestoreItem(kStationery)) {
      RestoreStationeryFolders(folder + L"Stationery\\");
      ExtractNames(context_, {L"stationery.reg"}, folder);
    }
    context_.host.SetRestoreProgress(100);
  }

 private:
  bool RestoreItem(Item item) const { return Ticked(context_.job.restore_items(), item); }

  // Dumps the identity's branches under a staging folder of its own (display names need not
  // be valid folder names) and stores them under its dump folder; adds its folders.
  void BackupIdentity(const Variant& variant, const std::wstring& identities_folder,
                      const std::wstring& name, const std::wstring& key, size_t ordinal,
                      const TickList& items) {
    const std::wstring staged =
        context_.staging_folder + L"\\IncrediMail identity " + std::to_wstring(ordinal + 1) + L"\\";
    CreateFolderTree(staged);
    const std::wstring root = RootName(variant);
    const std::wstring branch = L"SOFTWARE\\incredimail\\identities\\" + key;
    auto dump = [&](const wchar_t* file, const std::wstring& path, bool sub_keys) {
      DeleteFileW((staged + file).c_str());
      context_.registry.ExportKey(root, path, sub_keys, staged + file);
      AddFileIfExists(context_, staged + file, name, staged);
    };
    dump(L"identity.reg", L"\\Software\\IncrediMail\\Identities\\" + key, false);
    if (Ticked(items, kAccounts)) dump(L"account.reg", branch + L"\\accounts", true);
    const std::wstring folder = identities_folder + L"\\" + key;
    if (Ticked(items, kMailFolders) && !identities_folder.empty()) {
      // The attachments are stored under their own archive folder, not a second time below
      // the message store.
      const std::wstring attachments = folder + L"\\Message Store\\Attachments";
      AddFolderIfExists(
          context_, folder + L"\\Message Store", L"", identities_folder + L"\\", L"*",
          [&attachments](const std::wstring& path) { return SameName(path, attachments); });
      AddFolderIfExists(context_, attachments, key, folder + L"\\Message Store\\", L"*");
    }
    if (Ticked(items, kRules)) {
      dump(L"rules.reg", branch + L"\\rules", true);
      if (!identities_folder.empty()) {
        AddFileIfExists(context_, folder + L"\\RuleOrder.dat", name, folder + L"\\");
      }
    }
    if (Ticked(items, kAddressBook) && !identities_folder.empty()) {
      AddFolderIfExists(context_, folder + L"\\AddressBook", L"", identities_folder + L"\\", L"*");
    }
  }

  void BackupStationery(const Variant& variant) {
    const std::wstring base = StationeryBase(variant);
    if (base.empty()) {
      context_.log.Line(L"Not found: the IncrediMail stationery folder");
    } else {
      for (const wchar_t* folder : kStationeryFolders) {
        const std::wstring path = base + L"\\" + folder;
        AddFolderIfExists(context_, path, std::wstring(L"Stationery\\") + folder, path + L"\\",
                          L"*");
      }
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    DeleteFileW((staging + L"stationery.reg").c_str());
    context_.registry.ExportKey(RootName(variant), kContentKey, true, staging + L"stationery.reg");
    AddFileIfExists(context_, staging + L"stationery.reg", L"", staging);
  }

  // The variant a direct restore writes: this machine's, or when its identities live under
  // HKEY_LOCAL_MACHINE and this user may not write there, the per-user one, which IncrediMail
  // reads instead once the user has its key. Null when the per-user key cannot be made.
  const Variant* RestoreVariant() {
    const Variant& variant = MachineVariant();
    std::vector<RegistryBranch> written = {{variant.root_key, kIdentitiesKey}};
    if (RestoreItem(kStationery)) written.push_back({variant.root_key, kContentKey});
    if (&variant == &kPerUser || BranchesWritable(written)) return &variant;
    context_.log.Line(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\incredimail cannot be written without administrator "
        L"rights: the identities are restored for this user (HKEY_CURRENT_USER)");
    return CopyMachineKeyToUser() ? &kPerUser : nullptr;
  }

  // Gives this user the machine-wide key's values and sub-keys (application folder, the
  // identities there now, stationery), so that switching IncrediMail to the per-user keys
  // loses none of them. True when the per-user key exists afterwards.
  bool CopyMachineKeyToUser() {
    const std::wstring path = context_.staging_folder + L"\\incredimail machine.reg";
    DeleteFileW(path.c_str());
    bool copied = true;
    if (RegistryKey machine; machine.Open(HKEY_LOCAL_MACHINE, kProgramKey, false, KEY_READ)) {
      machine.Close();
      std::string dump;
      copied = context_.registry.ExportKey(L"HKEY_LOCAL_MACHINE", kProgramKey, true, path) &&
               ReadBytes(path, &dump) &&
               WriteBytes(path, RebaseDumpRoot(dump, kPerMachine.root_name, kPerUser.root_name)) &&
               context_.registry.ImportFile(path, {{kPerUser.root_key, kProgramKey}});
      DeleteFileW(path.c_str());
    }
    if (!copied) context_.log.Line(L"IncrediMail's machine-wide key not copied for this user");
    RegistryKey user;
    return copied && user.Open(HKEY_CURRENT_USER, kProgramKey, true, KEY_READ);
  }

  // Calls restore(display name, identity key, dump folder) for every ticked identity of the
  // restore list, the key and the dump folder taken from the same line of the manifest's
  // [Directory] and [DumpFolders] (archives without the latter keep the dumps under the
  // display name). A key that cannot name a folder inside the identities folder is logged and
  // its identity skipped.
  template <typename Restore>
  void ForEachTickedIdentity(Restore restore) {
    const IniText manifest = ReadStagingIni(context_, L"infobak.ini");
    const std::vector<std::wstring> keys = SectionValues(manifest, L"Directory");
    const std::vector<std::wstring> dump_folders = SectionValues(manifest, kDumpFolders);
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      const std::wstring key =
          static_cast<size_t>(j) < keys.size() ? keys[static_cast<size_t>(j)] : L"";
      if (!IsPlainName(key)) {
        RefuseRestoreValue(context_,
                           L"Identity not restored, its identity key is not valid: " + name);
        continue;
      }
      const size_t line = static_cast<size_t>(j);
      restore(name, key, line < dump_folders.size() ? dump_folders[line] : name);
    }
  }

  // The identity's message store, attachments and address book into its folder, and its
  // rule order file (stored beside its dumps) into the rules target.
  void RestoreIdentityFiles(const std::wstring& dumps, const std::wstring& key,
                            const std::wstring& folder, const std::wstring& rules) {
    if (RestoreItem(kMailFolders)) {
      ExtractFolder(context_, key + L"\\Message Store", folder + L"Message Store\\");
      ExtractFolder(context_, key + L"\\Attachments", folder + L"Message Store\\Attachments\\");
    }
    if (RestoreItem(kRules)) ExtractNames(context_, {dumps + L"\\RuleOrder.dat"}, rules);
    if (RestoreItem(kAddressBook)) {
      ExtractFolder(context_, key + L"\\AddressBook", folder + L"AddressBook\\");
    }
  }

  void RestoreStationeryFolders(const std::wstring& target) {
    for (const wchar_t* folder : kStationeryFolders) {
      ExtractFolder(context_, std::wstring(L"Stationery\\") + folder, target + folder + L"\\");
    }
  }

  // Extracts one dump into the staging folder, moves its keys to this machine's root and
  // imports it into the allowed branches; a dump this run did not bring is not imported.
  void RestoreDump(const Variant& variant, const std::wstring& member,
                   const std::vector<RegistryBranch>& allowed) {
    if (!ExtractToStaging(context_, {member})) {
      ReportDamagedPart(context_,
                        L"Registry dump not restored, it could not be extracted: " + member);
      return;
    }
    const std::wstring path =
        context_.staging_folder + L"\\" + member.substr(member.rfind(L'\\') + 1);
    if (!FileExists(path)) return;
    std::string dump;
    if (!ReadBytes(path, &dump) ||
        !WriteBytes(path, RebaseDumpRoot(dump, variant.other_root_name, variant.root_name))) {
      context_.log.Line(L"Registry dump not restored, it could not be rewritten: " + member);
      return;
    }
    ImportRestoredDump(context_, path, allowed, member);
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateIncrediMailAdapter(AdapterContext& context) {
  return std::make_unique<IncrediMailAdapter>(context);
}

}  // namespace mailstow
