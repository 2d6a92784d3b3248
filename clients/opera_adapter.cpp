#include "opera_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "base/folders.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/virtual_store_view.h"
#include "sqx/sqx_api.h"
#include "clients/opera_accounts.h"
#include "engine/archive_job.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"Opera";
constexpr wchar_t kVersion7ClientKey[] = L"Opera7";
constexpr int kClientIndex = 9;
constexpr wchar_t kOperaKey[] = L"Software\\Opera Software";

// Position 3 gates the contacts file and position 4 the signature: stored archives rely on
// this pairing of item names and data.
enum Item { kAccounts, kMailFolders, kFilters, kContactsFile, kSignatureFile, kItemCount };
constexpr std::array<const wchar_t*, kItemCount> kItemNames = {
    L"Accounts Settings", L"Mail Folders", L"Filters", L"Signatures", L"Address Book"};

// The program folder O, ending with "\"; empty when the last command line names none.
std::wstring ProgramFolder() {
  const std::wstring folder =
      OperaProgramFolder(ReadText(HKEY_CURRENT_USER, kOperaKey, L"Last CommandLine"));
  return IsAbsoluteLocalPath(folder) ? folder : std::wstring();
}

bool HasExtension(const std::wstring& name, const wchar_t* extension) {
  const size_t length = wcslen(extension);
  return name.size() > length + 1 && name[name.size() - length - 1] == L'.' &&
         EqualsIgnoreCase(std::wstring_view(name).substr(name.size() - length), extension);
}

std::wstring FileNameOf(const std::wstring& path) {
  return path.substr(path.find_last_of(L'\\') + 1);
}

// The mailboxes and the folder file that an archive folder holds directly.
std::vector<std::wstring> MailboxMembers(const NameSequence& names, const std::wstring& folder) {
  std::vector<std::wstring> members;
  for (const std::wstring& name : MembersDirectlyIn(names, folder)) {
    if (HasExtension(name, L"idx") || HasExtension(name, L"mbs") ||
        EqualsIgnoreCase(FileNameOf(name), L"folder.ini")) {
      members.push_back(name);
    }
  }
  return members;
}

class OperaAdapter : public MailClientAdapter {
 public:
  explicit OperaAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    for (const wchar_t* item : kItemNames) context_.job.backup_items().Add(item);
    const std::wstring program = ProgramFolder();
    if (program.empty()) return;
    const std::optional<std::wstring> list =
        ReadSystemTextFile(SeenPath(program + L"Mail\\accounts.ini"));
    for (const std::wstring& name : OperaAccountNames(list.value_or(L""))) {
      context_.job.backup_identities().Add(name);
    }
  }

  void Backup() override {
    RegistryKey opera;
    const bool version7 = opera.Open(HKEY_CURRENT_USER, kOperaKey, false, KEY_READ) &&
                          opera.ValueExists(L"Last CommandLine v2");
    opera.Close();
    if (version7) {
      BackupVersion7();
    } else {
      BackupAccounts();
    }
  }

  void ReadManifest() override {
    if (const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey)) {
      FillRestoreLists(context_, *own, kItemNames);
    }
  }

  void RestoreDirect() override {
    BeginRestore(context_, {});
    const std::wstring program = ProgramFolder();
    if (program.empty()) {
      context_.log.Line(L"Program folder not found: nothing restored");
    } else {
      const std::wstring base = WithTrailingBackslash(RestoreFolderFor(context_, program));
      Restore(base + L"Mail", base, true);
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    if (const std::optional<std::wstring> folder = OtherRestoreFolder(context_)) {
      Restore(*folder, *folder + L"\\", false);
    }
    context_.host.SetRestoreProgress(100);
  }

 private:
  bool Ticked(Item item) const { return TickedAt(context_.job.backup_items(), item); }
  bool RestoreTicked(Item item) const { return TickedAt(context_.job.restore_items(), item); }

  void BackupAccounts() {
    const std::wstring program = ProgramFolder();
    const std::wstring mail = program + L"Mail";
    BeginBackup(context_);
    const TickList& identities = context_.job.backup_identities();
    if (program.empty()) context_.log.Line(L"Program folder not found: nothing backed up");
    for (int n = 0; !program.empty() && n < identities.Count(); ++n) {
      if (!identities.IsTicked(n)) continue;
      const std::wstring name = identities.Text(n);
      if (IsPlainName(name)) {
        BackupAccount(mail, name);
      } else {
        context_.log.Line(L"Account not backed up, its name is not a folder name: " + name);
      }
    }
    if (!program.empty() && Ticked(kAccounts)) {
      AddSeenFile(context_, mail + L"\\Accounts.ini", L"", mail + L"\\");
    }
    if (!program.empty() && Ticked(kContactsFile)) {
      AddSeenFile(context_, program + L"Contacts.adr", L"", program);
    }
    FinishWithManifest(kClientKey);
  }

  void BackupAccount(const std::wstring& mail, const std::wstring& name) {
    const std::wstring account = mail + L"\\" + name;
    const std::wstring strip = mail + L"\\";
    if (Ticked(kAccounts)) AddSeenFile(context_, account + L"\\Account.ini", L"", strip);
    if (Ticked(kMailFolders)) {
      if (SeenFolderExists(account)) {
        BackupSubFolders(mail, name);
        for (const wchar_t* extension : {L"mbs", L"idx"}) {
          AddSeenFolder(context_, account, L"", strip, extension);
        }
        AddSeenFile(context_, account + L"\\Folder.ini", L"", strip);
      } else {
        context_.log.Line(L"Not found: " + account);
      }
    }
    if (Ticked(kFilters)) AddSeenFile(context_, account + L"\\filters.dat", L"", strip);
    if (Ticked(kSignatureFile)) BackupSignature(account, name);
  }

  // The account's sub-folders holding mailboxes, each stored by its path relative to the mail
  // folder and numbered once in the account's directory map.
  void BackupSubFolders(const std::wstring& mail, const std::wstring& name) {
    const std::wstring account = mail + L"\\" + name + L"\\";
    IniWriter map;
    int number = 0;
    for (const std::wstring& folder : SeenFoldersHoldingFiles(context_, account, L"mbs")) {
      if (EqualsIgnoreCase(folder, account)) continue;
      const std::wstring path = WithoutTrailingBackslash(folder);
      for (const wchar_t* extension : {L"idx", L"mbs"}) {
        AddSeenFolder(context_, path, L"", mail + L"\\", extension);
      }
      AddSeenFile(context_, folder + L"folder.ini", L"", mail + L"\\");
      map.Set(L"Directory", L"Dir" + std::to_wstring(++number), path.substr(mail.size() + 1));
    }
    AddStagedNote(map, name, L"directory.ini");
  }

  // The signature file named by the account settings, and a note of where it lay.
  void BackupSignature(const std::wstring& account, const std::wstring& name) {
    const std::wstring signature = LoadIniFile(SeenPath(account + L"\\Account.ini"))
                                       .value_or(IniText())
                                       .ReadString(L"OUTGOING", L"SignatureFile", L"");
    const size_t separator = signature.find_last_of(L'\\');
    const std::wstring folder =
        separator == std::wstring::npos ? L"" : signature.substr(0, separator + 1);
    IniWriter note;
    note.Set(L"Directory", L"Dir", folder);
    note.Set(L"Files", L"File", signature.substr(folder.size()));
    AddStagedNote(note, name, L"signatures.ini");
    if (signature.empty()) {
      context_.log.Line(L"No signature file set for account: " + name);
    } else {
      AddSeenFile(context_, signature, name + L"\\Signatures", folder);
    }
  }

  // Writes a side file into the account's staging sub-folder and adds it as N\file.
  void AddStagedNote(const IniWriter& note, const std::wstring& name, const wchar_t* file) {
    const std::wstring staging = context_.staging_folder + L"\\";
    CreateFolderTree(staging + name);
    note.Save(staging + name + L"\\" + file);
    context_.archive.AddJobEntry(staging + name + L"\\" + file, L"", staging);
  }

  // The one mail tree of the version 7 layout, taken when the first identity is ticked.
  void BackupVersion7() {
    const std::wstring app_data = WithoutTrailingBackslash(AppDataFolder());
    BeginBackup(context_);
    const std::wstring version7 = app_data + L"\\Opera\\Opera7";
    if (app_data.empty()) {
      context_.log.Line(L"Application-data folder not set: nothing backed up");
    } else if (TickedAt(context_.job.backup_identities(), 0)) {
      // The index and storage trees are stored at the archive root, not a second time below
      // "Mail".
      const std::wstring mail = version7 + L"\\Mail";
      const std::array<std::wstring, 2> own_trees = {mail + L"\\index", mail + L"\\storage"};
      AddFolderIfExists(context_, mail, L"", version7 + L"\\", L"*", [&](const std::wstring& path) {
        return std::any_of(own_trees.begin(), own_trees.end(),
                           [&path](const std::wstring& tree) { return SameName(path, tree); });
      });
      for (const std::wstring& tree : own_trees) {
        AddFolderIfExists(context_, tree, L"", mail + L"\\", L"*");
      }
    }
    FinishWithManifest(kVersion7ClientKey);
  }

  void FinishWithManifest(const wchar_t* client_key) {
    const std::wstring staging = context_.staging_folder + L"\\";
    ManifestFor(client_key, TickedTexts(context_.job.backup_identities()),
                TickedTexts(context_.job.backup_items()))
        .Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  // Restores the ticked accounts below mail, the contacts file into program; a direct restore
  // puts the signature file back where it lay, the other one beside the account's files.
  void Restore(const std::wstring& mail, const std::wstring& program, bool direct) {
    // Opera's own folders here, read before the archive's accounts replace this machine's.
    std::vector<std::wstring> own_folders = {mail, program};
    if (direct) {
      for (const std::wstring& folder : SignatureFoldersNow(mail)) own_folders.push_back(folder);
    }
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      if (!IsPlainName(name)) {
        RefuseRestoreValue(context_,
                           L"Account not restored, its name is not a folder name: " + name);
        continue;
      }
      const std::wstring account = mail + L"\\" + name + L"\\";
      if (RestoreTicked(kAccounts)) ExtractNames(context_, {name + L"\\Account.ini"}, account);
      if (RestoreTicked(kMailFolders)) RestoreMailboxes(mail, name);
      if (RestoreTicked(kFilters)) ExtractNames(context_, {name + L"\\filters.dat"}, account);
      if (RestoreTicked(kSignatureFile)) {
        if (direct) {
          RestoreSignature(name, mail, own_folders);
        } else {
          ExtractFolder(context_, name + L"\\Signatures", account);
        }
      }
    }
    if (RestoreTicked(kAccounts)) RestoreAccountList(mail, direct);
    if (RestoreTicked(kContactsFile)) ExtractNames(context_, {L"Contacts.adr"}, program);
  }

  // The archive's account list; a direct restore keeps the accounts that the list here names
  // and the archive does not (made after the backup: their folders are still there).
  void RestoreAccountList(const std::wstring& mail, bool direct) {
    const std::wstring list = mail + L"\\Accounts.ini";
    const std::optional<std::wstring> here = direct ? ReadSystemTextFile(list) : std::nullopt;
    if (ExtractNames(context_, {L"Accounts.ini"}, mail + L"\\") != sqx::kStatusOk || !here) return;
    const std::optional<std::wstring> archived = ReadSystemTextFile(list);
    if (!archived) return;
    const std::wstring merged = MergedOperaAccountList(*archived, *here);
    if (merged == *archived) return;
    // Written beside and then moved over, so that a failed write leaves the archive's list.
    const std::wstring written = list + L".merged";
    DeleteFileW(written.c_str());
    if (!context_.archive.NoteRestoreWrite(list) || !CreateAnsiTextFile(written, merged) ||
        !MoveFileExW(written.c_str(), list.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      DeleteFileW(written.c_str());
      context_.log.Line(L"Account list not merged, it cannot be written: " + list);
      return;
    }
    context_.log.Line(L"Account list merged with the accounts of this machine: " + list);
  }

  // Every mailbox of the account folder and of each folder of its map, last to first.
  void RestoreMailboxes(const std::wstring& mail, const std::wstring& name) {
    const NameSequence& names = context_.archive.archive_names();
    const std::optional<IniText> map = ExtractStagedIni(context_, name + L"\\directory.ini", name);
    const std::vector<std::wstring> folders =
        map ? SectionValues(*map, L"Directory") : std::vector<std::wstring>{};
    if (!map) context_.log.Line(L"Directory map missing or damaged for account: " + name);
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
      if (!IsSafeRelativePath(*folder)) {
        RefuseRestoreValue(
            context_, L"Mail folder not restored, not a folder below the mail folder: " + *folder);
        continue;
      }
      ExtractMembers(MailboxMembers(names, *folder), mail + L"\\" + *folder + L"\\");
    }
    ExtractMembers(MailboxMembers(names, name), mail + L"\\" + name + L"\\");
  }

  void ExtractMembers(const std::vector<std::wstring>& members, const std::wstring& folder) {
    if (!members.empty()) ExtractNames(context_, members, folder);
  }

  // The folders that the accounts of this machine's Opera take their signature files from.
  std::vector<std::wstring> SignatureFoldersNow(const std::wstring& mail) {
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((mail + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
      const std::wstring signature = LoadIniFile(mail + L"\\" + found.cFileName + L"\\Account.ini")
                                         .value_or(IniText())
                                         .ReadString(L"OUTGOING", L"SignatureFile", L"");
      const size_t separator = signature.find_last_of(L'\\');
      if (separator != std::wstring::npos) folders.push_back(signature.substr(0, separator));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return folders;
  }

  // The signature file back into the folder the note names when that folder is one of Opera's
  // own here (the mail or program folder, or one its accounts take signatures from now);
  // otherwise into the account's folder, with the account's setting pointed at it, so that no
  // other folder an archive names receives a file.
  void RestoreSignature(const std::wstring& name, const std::wstring& mail,
                        const std::vector<std::wstring>& own_folders) {
    const std::optional<IniText> note =
        ExtractStagedIni(context_, name + L"\\signatures.ini", name);
    if (!note) {
      ReportDamagedPart(context_,
                        L"Signature not restored, its note is missing or damaged: " + name);
      return;
    }
    const std::wstring folder = note->ReadString(L"Directory", L"Dir", L"");
    const std::wstring file = note->ReadString(L"Files", L"File", L"");
    if (!IsPlainName(file)) {
      RefuseRestoreValue(context_,
                         L"Signature not restored, its name is not usable: " + folder + file);
      return;
    }
    if (InsideClientFolders(folder, own_folders)) {
      ExtractNames(context_, {name + L"\\Signatures\\" + file}, WithTrailingBackslash(folder));
      return;
    }
    const std::wstring account = mail + L"\\" + name + L"\\";
    if (ExtractNames(context_, {name + L"\\Signatures\\" + file}, account) != sqx::kStatusOk)
      return;
    context_.log.Line(L"Signature restored into " + account + L", not into " + folder +
                      L" named by the backup: " + file);
    const std::wstring settings = account + L"Account.ini";
    if (FileExists(settings)) {
      WritePrivateProfileStringW(L"OUTGOING", L"SignatureFile", (account + file).c_str(),
                                 settings.c_str());
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateOperaAdapter(AdapterContext& context) {
  return std::make_unique<OperaAdapter>(context);
}

}  // namespace mailstow
