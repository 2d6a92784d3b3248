#include "outlook_adapter.h"

#include <windows.h>

#include <array>
#include <optional>
#include <vector>

#include "base/ansi_text.h"
#include "base/archive_names.h"
#include "base/folders.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/mail_profile_dump.h"
#include "engine/archive_job.h"
#include "engine/io_registry.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"Outlook";
constexpr int kClientIndex = 2;
constexpr wchar_t kIdentity[] = L"Default user";
constexpr std::array<const wchar_t*, 5> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Personal Store", L"Message Rules", L"Address Book"};

// The two registry locations of mail profiles: the NT family's and the older one.
constexpr wchar_t kNtProfiles[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kOldProfiles[] = L"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";
// A profile service's personal-folders file.
constexpr wchar_t kPathValue[] = L"001e6700";
// Below the application-data folders.
constexpr wchar_t kOutlookFolder[] = L"\\Microsoft\\Outlook";

struct RegistryDump {
  const wchar_t* file;
  const wchar_t* key_path;
};
constexpr std::array<RegistryDump, 2> kAccountDumps = {
    RegistryDump{L"accounts1.reg", L"Program\\Microsoft\\Office\\Outlook"},
    RegistryDump{L"accounts2.reg", L"Software\\Microsoft\\Office\\Outlook"}};
constexpr std::array<const wchar_t*, 2> kSignatureKeys = {
    L"Software\\Microsoft\\Office\\10.0\\Common\\General",
    L"Software\\Microsoft\\Office\\9.0\\Common\\General"};

// A mail profile: the profiles key it lies in and its name.
struct Profile {
  const wchar_t* profiles;
  std::wstring name;
  std::wstring Path() const { return std::wstring(profiles) + L"\\" + name; }
};

// The first profile of the NT location, else of the older one.
std::optional<Profile> FindProfile() {
  for (const wchar_t* profiles : {kNtProfiles, kOldProfiles}) {
    const std::vector<std::wstring> names = SubKeys(HKEY_CURRENT_USER, profiles);
    if (!names.empty()) return Profile{profiles, names.front()};
  }
  return std::nullopt;
}

// A personal-folders path as the registry holds it: text, or ANSI text in binary data.
struct PathValue {
  DWORD type = REG_NONE;
  std::wstring text;
};

PathValue ReadPathValue(const std::wstring& key_path) {
  RegistryKey key;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (!key.Open(HKEY_CURRENT_USER, key_path, false, KEY_READ) ||
      RegQueryValueExW(key.handle(), kPathValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<BYTE> data(size + sizeof(wchar_t));
  if (RegQueryValueExW(key.handle(), kPathValue, nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  PathValue value{type, {}};
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    value.text.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  } else if (type == REG_BINARY) {
    value.text = FromAnsi(std::string(data.begin(), data.begin() + size).c_str());
  } else {
    return {};
  }
  value.text.resize(wcsnlen(value.text.c_str(), value.text.size()));
  return value;
}

// Writes the path in the type the value had, binary values as ANSI text with its terminator.
void WritePathValue(const std::wstring& key_path, const PathValue& old, const std::wstring& text) {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, key_path, false, KEY_SET_VALUE)) return;
  if (old.type == REG_BINARY) {
    const std::string ansi = ToAnsi(text);
    RegSetValueExW(key.handle(), kPathValue, 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>(ansi.c_str()),
                   static_cast<DWORD>(ansi.size() + 1));
  } else {
    RegSetValueExW(key.handle(), kPathValue, 0, old.type,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
}

// A folder of the backup machine moved to this machine: a path below its application-data
// or local application-data folder keeps its rest below this machine's one (the longer
// matching folder wins); any other path stays as it is.
class FolderMove {
 public:
  FolderMove(std::wstring old_app, std::wstring old_local, std::wstring app, std::wstring local)
      : moves_{{std::move(old_app), std::move(app)}, {std::move(old_local), std::move(local)}} {}

  // One more folder that moves; the longest matching folder wins.
  void Add(std::wstring from, std::wstring to) {
    moves_.emplace_back(std::move(from), std::move(to));
  }

  std::wstring Apply(const std::wstring& path) const {
    std::optional<std::wstring> best;
    size_t best_length = 0;
    for (const auto& [from, to] : moves_) {
      if (to.empty() || from.size() <= best_length) continue;
      if (std::optional<std::wstring> moved = Rebased(path, from, to)) {
        best = std::move(moved);
        best_length = from.size();
      }
    }
    return best.value_or(path);
  }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> moves_;
};

class OutlookAdapter : public MailClientAdapter {
 public:
  explicit OutlookAdapter(AdapterContext& context)
      : context_(context), staging_(context.staging_folder + L"\\") {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    context_.job.backup_identities().Add(kIdentity);
    // Everything is always backed up: the wizard ticks every item and they stay so.
    context_.job.backup_items().SetListEnabled(false);
  }

  void Backup() override {
    BeginBackup(context_);
    const std::wstring app_data = AppDataFolder();
    const std::wstring local = LocalAppDataFolder();
    const TickList& identities = context_.job.backup_identities();
    if (identities.Count() > 0 && identities.IsTicked(0)) {
      AddOutlookFolder(local, L"local");
      AddOutlookFolder(app_data, L"app");
      const std::optional<Profile> profile = FindProfile();
      if (profile) {
        AddDump(L"setting.reg", profile->Path());
      } else {
        context_.log.Line(L"No mail profile found; the backup holds no profile settings.");
      }
      for (const RegistryDump& dump : kAccountDumps) AddDump(dump.file, dump.key_path);
      IniWriter others;
      others.AddSection(L"Directory");
      if (profile) AddPersonalFolders(*profile, local, others);
      // Written fresh every time, so that no folder of an earlier backup is carried along.
      others.Save(staging_ + L"others.ini");
      context_.archive.AddJobEntry(staging_ + L"Others.ini", L"", staging_);
      AddSignatures(app_data);
    }
    IniWriter manifest =
        ManifestFor(kClientKey, AllTexts(identities), AllTexts(context_.job.backup_items()));
    manifest.Set(L"Directory", L"Dir1", app_data);
    manifest.Set(L"Directory", L"Dir2", local);
    manifest.Save(staging_ + L"infobak.ini");
    context_.archive.AddJobEntry(staging_ + L"infobak.ini", L"", staging_);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    if (const std::optional<IniText> manifest = ReadOwnManifest(context_, kClientKey)) {
      for (const std::wstring& identity : SectionValues(*manifest, L"Identities")) {
        context_.job.restore_identities().Add(identity);
      }
      for (const std::wstring& item : SectionValues(*manifest, L"Items")) {
        context_.job.restore_items().Add(item);
      }
    }
    context_.job.restore_items().SetListEnabled(false);
  }

  void RestoreDirect() override {
    const std::wstring app_data = AppDataFolder();
    const std::wstring local = LocalAppDataFolder();
    const bool others_ok = BeginOwnRestore();
    const TickList& identities = context_.job.restore_identities();
    if (identities.Count() > 0 && identities.IsTicked(0)) {
      const IniText manifest = ReadStagingIni(context_, L"infobak.ini");
      FolderMove move(manifest.ReadString(L"Directory", L"Dir1", L""),
                      manifest.ReadString(L"Directory", L"Dir2", L""), app_data, local);
      for (const RegistryDump& dump : kAccountDumps) {
        if (ExtractDump(dump.file)) {
          Import(dump.file, {{TRootKeys::rkHKEY_CURRENT_USER, dump.key_path}});
        }
      }
      // Where each folder of personal-folders files comes back, decided before the archive's
      // profile replaces this machine's one, so that the profile is pointed there too.
      const std::vector<std::pair<std::wstring, std::wstring>> others =
          others_ok ? OthersTargets(move, OwnFolders(app_data, local), local)
                    : std::vector<std::pair<std::wstring, std::wstring>>{};
      const bool profile_restored = RestoreProfile(move);
      ExtractOutlookFolder(L"local", local);
      ExtractOutlookFolder(L"app", app_data);
      for (const auto& [key, target] : others) {
        ExtractFolder(context_, L"Others\\" + key, WithTrailingBackslash(target));
      }
      std::vector<std::wstring> signature_folders;
      for (const wchar_t* office : kSignatureKeys) {
        const std::wstring folder = SignaturesFolder(app_data, office);
        if (folder.empty()) continue;
        if (signature_folders.empty() || !EqualsIgnoreCase(signature_folders.front(), folder)) {
          signature_folders.push_back(folder);
        }
      }
      for (const std::wstring& folder : signature_folders) {
        ExtractFolder(context_, L"Signatures", folder + L"\\");
      }
      // The favourites cache names folders of the replaced profile.
      if (profile_restored && !app_data.empty()) {
        DeleteFileW((app_data + kOutlookFolder + L"\\outlook.FAV").c_str());
      }
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    const bool others_ok = BeginOwnRestore();
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = WithTrailingBackslash(*chosen);
    const TickList& identities = context_.job.restore_identities();
    if (identities.Count() > 0 && identities.IsTicked(0)) {
      ExtractNames(context_, {L"setting.reg", L"accounts1.reg", L"accounts2.reg"}, folder);
      for (const wchar_t* archive_folder : {L"local", L"app", L"Signatures"}) {
        ExtractFolder(context_, archive_folder, folder + archive_folder + L"\\");
      }
      if (others_ok) {
        for (const auto& [key, unused] : OthersFolders()) {
          ExtractFolder(context_, L"Others\\" + key, folder + L"Others\\" + key + L"\\");
        }
      }
    }
    context_.host.SetRestoreProgress(100);
  }

 private:
  // Adds every entry directly in the Outlook folder below base under the archive folder.
  void AddOutlookFolder(const std::wstring& base, const wchar_t* archive_folder) {
    if (base.empty()) {
      context_.log.Line(L"Not found: the folder for \"" + std::wstring(archive_folder) +
                        L"\" (its shell folder is not set)");
      return;
    }
    const std::wstring folder = base + kOutlookFolder;
    context_.archive.AddFolderEntries(folder, archive_folder, folder + L"\\", L"*");
  }

  void AddDump(const wchar_t* file, const std::wstring& key_path) {
    if (!context_.registry.ExportKey(L"HKEY_CURRENT_USER", key_path, true, staging_ + file)) {
      context_.log.Line(L"Registry dump written in part: " + std::wstring(file));
    }
    AddFileIfExists(context_, staging_ + file, L"", staging_);
  }

  // The folder each numbered folder of personal-folders files comes back into: where it lay,
  // when that is one of this machine's Outlook folders; otherwise a folder of its own below the
  // local Outlook folder, with the profile's files pointed there through the move.
  std::vector<std::pair<std::wstring, std::wstring>> OthersTargets(
      FolderMove& move, const std::vector<std::wstring>& own_folders, const std::wstring& local) {
    std::vector<std::pair<std::wstring, std::wstring>> targets;
    for (const auto& [key, folder] : OthersFolders()) {
      if (!IsAbsoluteLocalPath(folder)) {
        RefuseRestoreValue(context_,
                           L"Personal folders not restored, the folder is not valid: " + folder);
        continue;
      }
      const std::wstring target = move.Apply(folder);
      if (InsideClientFolders(target, own_folders)) {
        targets.emplace_back(key, target);
        continue;
      }
      if (local.empty()) {
        RefuseRestoreValue(context_,
                           L"Personal folders not restored, no Outlook folder here: " + target);
        continue;
      }
      const std::wstring own = local + kOutlookFolder + L"\\" + key + L"\\";
      context_.log.Line(L"Personal folders of " + target + L" restored into " + own);
      move.Add(WithTrailingBackslash(folder), own);
      targets.emplace_back(key, own);
    }
    return targets;
  }

  // Where this machine's Outlook keeps its files: its own data folders and the folders of the
  // personal-folders files that its current profile uses.
  std::vector<std::wstring> OwnFolders(const std::wstring& app_data, const std::wstring& local) {
    std::vector<std::wstring> own;
    if (!local.empty()) own.push_back(local + kOutlookFolder);
    if (!app_data.empty()) own.push_back(app_data + kOutlookFolder);
    if (const std::optional<Profile> profile = FindProfile()) {
      for (const std::wstring& service : SubKeys(HKEY_CURRENT_USER, profile->Path())) {
        const std::wstring folder = FolderOf(ReadPathValue(profile->Path() + L"\\" + service).text);
        if (!folder.empty()) own.push_back(folder);
      }
    }
    return own;
  }

  // Adds the profile's personal-folders files that the local Outlook folder does not hold,
  // one archive folder per folder they lie in, and lists those folders in others.
  void AddPersonalFolders(const Profile& profile, const std::wstring& local, IniWriter& others) {
    const std::wstring packed = local.empty() ? L"" : local + kOutlookFolder + L"\\";
    std::vector<std::wstring> folders;
    for (const std::wstring& service : SubKeys(HKEY_CURRENT_USER, profile.Path())) {
      const std::wstring file = ReadPathValue(profile.Path() + L"\\" + service).text;
      const std::wstring folder = FolderOf(file);
      if (folder.empty() || EqualsIgnoreCase(folder, packed)) continue;
      size_t n = 0;
      while (n < folders.size() && !EqualsIgnoreCase(folders[n], folder)) ++n;
      const std::wstring archive_folder = L"Others\\Dir" + std::to_wstring(n + 1);
      if (!AddFileIfExists(context_, file, archive_folder, folder) || n < folders.size()) continue;
      folders.push_back(folder);
      others.Set(L"Directory", L"Dir" + std::to_wstring(n + 1), folder);
    }
  }

  void AddSignatures(const std::wstring& app_data) {
    std::wstring folder = SignaturesFolder(app_data, kSignatureKeys[0]);
    if (!FolderExists(folder)) folder = SignaturesFolder(app_data, kSignatureKeys[1]);
    if (!folder.empty()) {
      context_.archive.AddFolderEntries(folder, L"Signatures", folder + L"\\", L"*");
    }
  }

  // The signatures folder that an Office version names below the application-data folder;
  // empty when it names none (or a name that would lead elsewhere).
  std::wstring SignaturesFolder(const std::wstring& app_data, const wchar_t* office_key) {
    const std::wstring name =
        WithoutTrailingBackslash(ReadText(HKEY_CURRENT_USER, office_key, L"Signatures"));
    if (app_data.empty() || name.empty()) return {};
    if (!IsSafeRelativePath(name)) {
      context_.log.Line(L"Signatures folder not used, its name is not valid: " + name);
      return {};
    }
    return app_data + L"\\Microsoft\\" + name;
  }

  // The common start of both restores; true when the archive's folder list of personal-folders
  // files was extracted intact (or the archive holds none).
  bool BeginOwnRestore() {
    ClearStagedFiles(context_, {L"others.ini"});
    BeginRestore(context_, {});
    if (ExtractNames(context_, {L"others.ini"}, staging_) == sqx::kStatusOk) return true;
    ReportDamagedPart(context_, L"Personal folders not restored, their folder list is damaged.");
    return false;
  }

  // The numbered folders of others.ini whose keys are plain names, with their folders.
  std::vector<std::pair<std::wstring, std::wstring>> OthersFolders() {
    std::vector<std::pair<std::wstring, std::wstring>> folders;
    const IniText others = ReadStagingIni(context_, L"others.ini");
    for (const std::wstring& key : others.KeyNames(L"Directory")) {
      if (!IsPlainName(key)) {
        RefuseRestoreValue(context_,
                           L"Personal folders not restored, the name is not valid: " + key);
        continue;
      }
      folders.emplace_back(key, others.ReadString(L"Directory", key, L""));
    }
    return folders;
  }

  void ExtractOutlookFolder(const wchar_t* archive_folder, const std::wstring& base) {
    if (base.empty()) {
      context_.log.Line(L"Not restored: \"" + std::wstring(archive_folder) +
                        L"\" (its shell folder is not set)");
      return;
    }
    ExtractFolder(context_, archive_folder, base + kOutlookFolder + L"\\");
  }

  // Brings a dump into the staging folder; true when it came out intact. An earlier copy is
  // removed first so that a dump missing from the archive is never replaced by a stale one.
  bool ExtractDump(const wchar_t* file) {
    ClearStagedFiles(context_, {file});
    const int status = ExtractNames(context_, {file}, staging_);
    if (status != sqx::kStatusOk) {
      context_.log.Line(L"Registry dump not imported, it is damaged: " + std::wstring(file));
      return false;
    }
    return FileExists(staging_ + file);
  }

  void Import(const std::wstring& file, const std::vector<RegistryBranch>& allowed) {
    ImportRestoredDump(context_, staging_ + file, allowed, file);
  }

  // Replaces the backed-up profile, under both locations, by the archive's one; the other
  // profiles and the values of the profiles keys stay. Nothing is deleted unless the dump
  // came out intact and names a profile. True when the profile was restored.
  bool RestoreProfile(const FolderMove& move) {
    if (!ExtractDump(L"setting.reg")) return false;
    const std::wstring path = staging_ + L"setting.reg";
    const std::optional<std::wstring> text = ReadSystemTextFile(path);
    const wchar_t* found_in = kNtProfiles;
    const wchar_t* other = kOldProfiles;
    std::optional<std::wstring> name = text ? DumpedProfile(*text, kNtProfiles) : std::nullopt;
    if (text && !name) {
      name = DumpedProfile(*text, kOldProfiles);
      std::swap(found_in, other);
    }
    if (!name || !IsPlainName(*name)) {
      ReportDamagedPart(context_,
                        L"Mail profile not restored, its registry dump names no profile.");
      return false;
    }
    const Profile nt{kNtProfiles, *name};
    const Profile old{kOldProfiles, *name};
    for (const Profile& profile : {nt, old}) {
      context_.archive.NoteRegistryDelete(TRootKeys::rkHKEY_CURRENT_USER, profile.Path());
      DeleteRegistryTree(HKEY_CURRENT_USER, profile.Path());
    }
    const std::vector<RegistryBranch> allowed = {{TRootKeys::rkHKEY_CURRENT_USER, nt.Path()},
                                                 {TRootKeys::rkHKEY_CURRENT_USER, old.Path()}};
    Import(L"setting.reg", allowed);
    // The same profile once more under the other location.
    DeleteFileW(path.c_str());
    if (CreateAnsiTextFile(path, RelocatedDump(*text, found_in, other))) {
      Import(L"setting.reg", allowed);
    }
    for (const Profile& profile : {nt, old}) {
      for (const std::wstring& service : SubKeys(HKEY_CURRENT_USER, profile.Path())) {
        const std::wstring key = profile.Path() + L"\\" + service;
        const PathValue value = ReadPathValue(key);
        if (value.text.empty()) continue;
        const std::wstring moved = move.Apply(value.text);
        if (moved != value.text) WritePathValue(key, value, moved);
      }
    }
    return true;
  }

  AdapterContext& context_;
  const std::wstring staging_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateOutlookAdapter(AdapterContext& context) {
  return std::make_unique<OutlookAdapter>(context);
}

}  // namespace mailstow
