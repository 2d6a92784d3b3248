#include "pocomail_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "base/folders.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/virtual_store_view.h"
#include "engine/archive_job.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"PocoMail";
constexpr int kClientIndex = 8;
constexpr wchar_t kDefaultUser[] = L"Default User";
constexpr wchar_t kUserKey[] = L"Software\\Poco Systems Inc";
constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\pocomail2moe_is1";

// The files of a mail sub-folder that the default user's layout stores, in this order.
constexpr std::array<const wchar_t*, 3> kMailboxExtensions = {L"mbx", L"itx", L"dat"};

enum Item { kAccounts, kMailFolders, kFilters, kSignatures, kAddressBook, kScripts, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Filters", L"Signatures", L"Address Book", L"Scripts"};

// The folders a "poco.ini" names, each with one trailing backslash removed. All but the users
// folder are relative to the folder holding the file.
struct PocoSettings {
  std::wstring address;
  std::wstring attachments;
  std::wstring mail;
  std::wstring scripts;
  std::wstring signatures;
  std::wstring templates;
  std::wstring users;
};

PocoSettings SettingsFrom(const IniText& ini) {
  auto value = [&ini](const wchar_t* section, const wchar_t* key) {
    return WithoutTrailingBackslash(ini.ReadString(section, key, L""));
  };
  return {value(L"Program", L"AddressPath"), value(L"Mail", L"AttachPath"),
          value(L"Program", L"MailPath"),    value(L"Program", L"ScriptPath"),
          value(L"Program", L"SigPath"),     value(L"Program", L"TemplatePath"),
          value(L"Program", L"UsersPath")};
}

PocoSettings SettingsOf(const std::wstring& base) {
  return SettingsFrom(LoadIniFile(SeenPath(base + L"\\poco.ini")).value_or(IniText()));
}

// The program folder P without a final backslash: the user's own setting first, the
// installer's record otherwise; empty when neither names an absolute folder.
std::wstring ProgramFolder() {
  std::wstring folder;
  RegistryKey user;
  if (user.Open(HKEY_CURRENT_USER, kUserKey, false, KEY_READ)) {
    folder = ReadText(HKEY_CURRENT_USER, std::wstring(kUserKey) + L"\\PocoMail 3", L"Path");
  }
  if (folder.empty()) folder = ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, L"Inno Setup: App Path");
  folder = WithoutTrailingBackslash(folder);
  return IsAbsoluteLocalPath(folder) ? folder : std::wstring();
}

// The folder holding the named users: the default user's setting when it is an absolute
// folder, P\users otherwise. The list, the backup and the direct restore all use it.
std::wstring UsersFolder(const std::wstring& program) {
  const std::wstring configured = SettingsOf(program).users;
  return IsAbsoluteLocalPath(configured) ? configured : program + L"\\users";
}

// A file that the default user's mail sub-folders store at the archive root: a mailbox, index
// or data file directly in one of the folders (each ending with "\\").
bool IsMailboxFile(const std::wstring& path, const std::vector<std::wstring>& folders) {
  const size_t cut = path.find_last_of(L'\\') + 1;
  const std::wstring_view name = std::wstring_view(path).substr(cut);
  const bool mailbox =
      std::any_of(std::begin(kMailboxExtensions), std::end(kMailboxExtensions),
                  [&name](const wchar_t* extension) {
                    const std::wstring suffix = std::wstring(L".") + extension;
                    return name.size() > suffix.size() &&
                           EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
                  });
  return mailbox && std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
           return EqualsIgnoreCase(std::wstring_view(path).substr(0, cut), folder);
         });
}

bool IsDefaultUser(int position, const std::wstring& name) {
  return position == 0 && name == kDefaultUser;
}

class PocoMailAdapter : public MailClientAdapter {
 public:
  explicit PocoMailAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    context_.job.backup_identities().Add(kDefaultUser);
    const std::wstring program = ProgramFolder();
    if (program.empty()) return;
    // Only folders are users; a stray file in the users folder is not one. Users that only
    // the folder's VirtualStore copy holds follow the folder's own.
    const std::wstring users = UsersFolder(program);
    std::vector<std::wstring> names;
    for (const std::wstring& folder : {users, VirtualStoreCopy(users)}) {
      WIN32_FIND_DATAW found;
      HANDLE search =
          folder.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW((folder + L"\\*").c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) continue;
      do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPlainName(name) &&
            std::none_of(names.begin(), names.end(),
                         [&name](const std::wstring& known) { return SameName(known, name); })) {
          names.push_back(name);
          context_.job.backup_identities().Add(name);
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
  }

  void Backup() override {
    const std::wstring program = ProgramFolder();
    BeginBackup(context_);
    const TickList& identities = context_.job.backup_identities();
    if (program.empty()) context_.log.Line(L"Program folder not found: nothing backed up");
    for (int n = 0; !program.empty() && n < identities.Count(); ++n) {
      if (!identities.IsTicked(n)) continue;
      const std::wstring name = identities.Text(n);
      if (IsDefaultUser(n, name)) {
        BackupIdentity(program, L"", true);
      } else if (IsPlainName(name)) {
        BackupIdentity(UsersFolder(program) + L"\\" + name, L"users\\" + name, false);
      } else {
        context_.log.Line(L"User not backed up, its name is not a folder name: " + name);
      }
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    ManifestFor(kClientKey, TickedTexts(identities), TickedTexts(context_.job.backup_items()))
        .Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    if (const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey)) {
      FillRestoreLists(context_, *own, kItemNames);
    }
  }

  void RestoreDirect() override {
    // Both folders are fixed before the restored settings file replaces the client's own.
    const std::wstring program = ProgramFolder();
    BeginRestore(context_, {});
    if (program.empty()) {
      context_.log.Line(L"Program folder not found: nothing restored");
    } else {
      RestoreInto(RestoreFolderFor(context_, program),
                  RestoreFolderFor(context_, UsersFolder(program)));
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    if (const std::optional<std::wstring> folder = OtherRestoreFolder(context_)) {
      RestoreInto(*folder, *folder + L"\\users");
    }
    context_.host.SetRestoreProgress(100);
  }

 private:
  bool Ticked(Item item) const { return TickedAt(context_.job.backup_items(), item); }
  bool RestoreTicked(Item item) const { return TickedAt(context_.job.restore_items(), item); }

  // A setting usable as a folder below its base: the step is skipped, and logged, otherwise
  // (an empty one would stand for the base folder itself).
  bool Usable(const std::wstring& setting, const std::wstring& ini, const wchar_t* what) {
    if (IsSafeRelativePath(setting)) return true;
    context_.log.Line(std::wstring(L"Skipped, ") + what + L" in " + ini + L" is " +
                      (setting.empty() ? L"not set" : L"not a folder below it: " + setting));
    return false;
  }

  // Adds the whole folder base\setting, everything below it included, stored below the
  // archive folder by its path relative to base; leave_out names what other entries store.
  void AddSettingFolder(const std::wstring& base, const std::wstring& setting,
                        const std::wstring& archive_folder, const wchar_t* what,
                        const ArchiveJob::LeaveOut& leave_out = nullptr) {
    if (!Usable(setting, base + L"\\poco.ini", what)) return;
    AddSeenFolder(context_, base + L"\\" + setting, archive_folder, base + L"\\", L"*", leave_out);
  }

  // Collects one user's data; base is the folder holding its "poco.ini".
  void BackupIdentity(const std::wstring& base, const std::wstring& archive_folder,
                      bool default_user) {
    const PocoSettings settings = SettingsOf(base);
    const std::wstring strip = base + L"\\";
    AddSeenFile(context_, base + L"\\poco.ini", archive_folder, strip);
    if (Ticked(kAccounts)) AddSeenFile(context_, base + L"\\accounts.ini", archive_folder, strip);
    if (Ticked(kMailFolders)) {
      AddSettingFolder(base, settings.attachments, archive_folder, L"AttachPath");
      // The default user's mailboxes in sub-folders are stored at the archive root by their
      // path below the mail folder; the rest of those sub-folders comes with the mail folder.
      std::vector<std::wstring> mailbox_folders;
      if (default_user && IsSafeRelativePath(settings.mail)) {
        const std::wstring mail = base + L"\\" + settings.mail + L"\\";
        for (const std::wstring& folder : SeenFoldersHoldingFiles(context_, mail, L"mbx")) {
          if (!EqualsIgnoreCase(folder, mail)) mailbox_folders.push_back(folder);
        }
      }
      AddSettingFolder(base, settings.mail, archive_folder, L"MailPath",
                       [&mailbox_folders](const std::wstring& path) {
                         return IsMailboxFile(path, mailbox_folders);
                       });
      AddSettingFolder(base, settings.templates, archive_folder, L"TemplatePath");
      if (default_user) BackupMailSubFolders(base, settings.mail, mailbox_folders);
    }
    if (Ticked(kFilters)) AddSeenFile(context_, base + L"\\Filters.ini", archive_folder, strip);
    if (Ticked(kSignatures))
      AddSettingFolder(base, settings.signatures, archive_folder, L"SigPath");
    if (Ticked(kAddressBook)) {
      AddSettingFolder(base, settings.address, archive_folder, L"AddressPath");
    }
    if (Ticked(kScripts)) AddSettingFolder(base, settings.scripts, archive_folder, L"ScriptPath");
  }

  // The default user's mail sub-folders: their mailbox files are stored by their path relative
  // to the mail folder, and the directory map numbers the folders, each once.
  void BackupMailSubFolders(const std::wstring& program, const std::wstring& mail_setting,
                            const std::vector<std::wstring>& mailbox_folders) {
    IniWriter map;
    if (IsSafeRelativePath(mail_setting)) {
      const std::wstring mail = program + L"\\" + mail_setting + L"\\";
      int number = 0;
      for (const std::wstring& folder : mailbox_folders) {
        const std::wstring path = WithoutTrailingBackslash(folder);
        for (const wchar_t* extension : kMailboxExtensions) {
          AddSeenFolder(context_, path, L"", mail, extension);
        }
        map.Set(L"Directory", L"Dir" + std::to_wstring(++number), path.substr(mail.size()));
      }
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    map.Save(staging + L"directory.ini");
    context_.archive.AddJobEntry(staging + L"directory.ini", L"", staging);
  }

  // Restores the ticked users: the default user into base, each named user into its folder
  // below users.
  void RestoreInto(const std::wstring& base, const std::wstring& users) {
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      if (IsDefaultUser(j, name)) {
        RestoreIdentity(name, L"", base, true);
      } else if (IsPlainName(name)) {
        RestoreIdentity(name, L"users\\" + name + L"\\", users + L"\\" + name, false);
      } else {
        RefuseRestoreValue(context_, L"User not restored, its name is not a folder name: " + name);
      }
    }
  }

  // The archive's settings file into the folder. The default user's file names the folder of
  // the named users: where a settings file is there already, its users folder stays, so that
  // users made after the backup stay in the client's list.
  void RestoreSettingsFile(const std::wstring& stored, const std::wstring& folder,
                           bool default_user) {
    const std::wstring path = folder + L"poco.ini";
    const std::optional<IniText> here = default_user ? LoadIniFile(path) : std::nullopt;
    if (ExtractNames(context_, {stored + L"poco.ini"}, folder) != sqx::kStatusOk || !here) return;
    const std::wstring users_here = here->ReadString(L"Program", L"UsersPath", L"");
    const std::wstring users_archived =
        LoadIniFile(path).value_or(IniText()).ReadString(L"Program", L"UsersPath", L"");
    if (users_here == users_archived) return;
    const bool set = here->ReadString(L"Program", L"UsersPath", L"\x01") != L"\x01";
    WritePrivateProfileStringW(L"Program", L"UsersPath", set ? users_here.c_str() : nullptr,
                               path.c_str());
    context_.log.Line(L"Users folder of this machine kept in " + path + L": " + users_here);
  }

  // The first folder setting that is set and does not lie below the user's folder; empty when
  // every one does.
  static std::wstring FolderOutsideUser(const PocoSettings& settings) {
    for (const std::wstring* setting :
         {&settings.attachments, &settings.mail, &settings.templates, &settings.signatures,
          &settings.address, &settings.scripts}) {
      if (!setting->empty() && !IsSafeRelativePath(*setting)) return *setting;
    }
    return {};
  }

  // Extracts every member below an archive folder named by a setting into target\setting\.
  void RestoreSettingFolder(const std::wstring& stored, const std::wstring& setting,
                            const std::wstring& target, const wchar_t* what) {
    if (Usable(setting, L"the archived " + stored + L"poco.ini", what)) {
      ExtractFolder(context_, stored + setting, target + L"\\" + setting + L"\\");
    }
  }

  // One user: stored is its archive folder ("" or "users\N\"), target the folder that
  // receives its "poco.ini" and data. The archived settings file says where its data lies.
  void RestoreIdentity(const std::wstring& name, const std::wstring& stored,
                       const std::wstring& target, bool default_user) {
    const std::optional<IniText> ini = ExtractStagedIni(context_, stored + L"poco.ini");
    if (!ini) {
      ReportDamagedPart(context_,
                        L"User not restored, its settings file is missing or damaged: " + name);
      return;
    }
    const PocoSettings settings = SettingsFrom(*ini);
    const std::wstring folder = target + L"\\";
    // A settings file that points the client at folders outside the user's folder never
    // becomes the live one: the current file stays and the refusal is reported.
    const std::wstring outside = FolderOutsideUser(settings);
    if (outside.empty()) {
      RestoreSettingsFile(stored, folder, default_user);
    } else {
      RefuseRestoreValue(context_,
                         L"Settings file not restored, it names a folder outside the "
                         L"user's folder: " +
                             stored + L"poco.ini, " + outside);
    }
    if (RestoreTicked(kAccounts)) ExtractNames(context_, {stored + L"accounts.ini"}, folder);
    if (RestoreTicked(kMailFolders)) {
      RestoreSettingFolder(stored, settings.attachments, target, L"AttachPath");
      RestoreSettingFolder(stored, settings.mail, target, L"MailPath");
      RestoreSettingFolder(stored, settings.templates, target, L"TemplatePath");
      if (default_user && IsSafeRelativePath(settings.mail)) {
        RestoreMailSubFolders(target + L"\\" + settings.mail + L"\\");
      }
    }
    if (RestoreTicked(kFilters)) ExtractNames(context_, {stored + L"Filters.ini"}, folder);
    if (RestoreTicked(kSignatures)) {
      RestoreSettingFolder(stored, settings.signatures, target, L"SigPath");
    }
    if (RestoreTicked(kAddressBook)) {
      RestoreSettingFolder(stored, settings.address, target, L"AddressPath");
    }
    if (RestoreTicked(kScripts))
      RestoreSettingFolder(stored, settings.scripts, target, L"ScriptPath");
  }

  // The mail sub-folders of the directory map, last to first, each with its inner folders.
  void RestoreMailSubFolders(const std::wstring& mail) {
    const std::optional<IniText> map = ExtractStagedIni(context_, L"directory.ini");
    if (!map) {
      ReportDamagedPart(context_,
                        L"Mail sub-folders not restored, the directory map is missing or damaged");
      return;
    }
    const std::vector<std::wstring> folders = SectionValues(*map, L"Directory");
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
      if (!IsSafeRelativePath(*folder)) {
        RefuseRestoreValue(
            context_,
            L"Mail sub-folder not restored, not a folder below the mail folder: " + *folder);
        continue;
      }
      ExtractFolder(context_, *folder, mail, true);
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreatePocoMailAdapter(AdapterContext& context) {
  return std::make_unique<PocoMailAdapter>(context);
}

}  // namespace mailstow
