#include "pegasus_mail_adapter.h"

#include <windows.h>

#include <array>
#include <optional>

#include "base/ansi_text.h"
#include "base/folders.h"
#include "base/ini_file.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "engine/archive_job.h"
#include "engine/io_registry.h"
#include "engine/job_host.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"PegasusMail";
constexpr int kClientIndex = 6;
constexpr wchar_t kMailBoxKey[] = L"\\SOFTWARE\\Classes\\software\\pegasus mail\\MailBox";
constexpr wchar_t kUserModeKey[] = L"\\SOFTWARE\\Classes\\software\\pegasus mail\\Username";
constexpr wchar_t kUserList[] = L"Pmail.usr";
constexpr wchar_t kUserDump[] = L"user.reg";
constexpr wchar_t kDefaultUser[] = L"Default User";

constexpr std::array<const wchar_t*, 4> kItemNames = {L"Accounts Settings", L"Mail Folders",
                                                      L"Signatures", L"Address Book"};

// The mailbox base M: the mailbox path without its last component. A trailing separator is
// not a component of its own.
std::wstring MailboxBase() {
  const std::wstring path =
      WithoutTrailingBackslash(ReadText(HKEY_LOCAL_MACHINE, kMailBoxKey, L""));
  const size_t last = path.rfind(L'\\');
  return last == std::wstring::npos ? path : path.substr(0, last);
}

bool SingleUserMode() {
  std::wstring mode = ReadText(HKEY_LOCAL_MACHINE, kUserModeKey, L"");
  CharLowerBuffW(mode.data(), static_cast<DWORD>(mode.size()));
  return mode == L"single-user mode";
}

// The user named by a user-list line: from its third character up to its last ";" (the whole
// line when it has none). Nullopt for lines too short to hold a name.
std::optional<std::wstring> UserOfLine(const std::wstring& line) {
  const size_t last = line.rfind(L';');
  if (last == std::wstring::npos) return line.empty() ? std::nullopt : std::optional(line);
  if (last <= 2) return std::nullopt;
  return line.substr(2, last - 2);
}

// The lines of a user list as they stand in the file (without line ends).
std::vector<std::wstring> ListLines(const std::wstring& path) {
  std::vector<std::wstring> lines;
  const std::optional<std::wstring> text = ReadSystemTextFile(path);
  if (!text) return lines;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text->size();
    if (end > start) lines.push_back(text->substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Appends lines to a text file (creating it), never rewriting what it holds.
bool AppendLines(const std::wstring& path, const std::vector<std::wstring>& lines) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  const DWORD size = GetFileSize(file, nullptr);
  if (size > 0) {
    // A last line without its line end gets one before anything is added.
    char last = 0;
    DWORD read = 0;
    SetFilePointer(file, -1, nullptr, FILE_END);
    if (ReadFile(file, &last, 1, &read, nullptr) && read == 1 && last != '\n') bytes += "\r\n";
  }
  for (const std::wstring& line : lines) bytes += ToAnsi(line) + "\r\n";
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  return CloseHandle(file) && ok;
}

class PegasusMailAdapter : public MailClientAdapter {
 public:
  explicit PegasusMailAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    TickList& items = context_.job.backup_items();
    for (const wchar_t* item : kItemNames) items.Add(item);
    items.SetListEnabled(false);  // whole user folders are backed up whatever is ticked
    for (const std::wstring& user : MachineUsers()) context_.job.backup_identities().Add(user);
  }

  void Backup() override {
    BeginBackup(context_);
    // The base is read afresh: what a restore to another folder chose is no mailbox.
    const std::wstring base = MailboxBase();
    const TickList& identities = context_.job.backup_identities();
    const bool has_list = !base.empty() && FileExists(base + L"\\" + kUserList);
    std::vector<std::wstring> names;
    for (int position = 0; position < identities.Count(); ++position) {
      if (!identities.IsTicked(position)) continue;
      const std::wstring name = identities.Text(position);
      if (base.empty() || !IsPlainName(name)) {
        context_.log.Line(L"User not backed up, its name or the mailbox folder is not usable: " +
                          name);
        continue;
      }
      const std::wstring folder =
          base + L"\\" + (name == kDefaultUser && !has_list ? std::wstring(L"Mail") : name);
      AddFolderIfExists(context_, folder, name, folder + L"\\", L"*");
      names.push_back(name);
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    context_.registry.ExportKey(L"HKEY_LOCAL_MACHINE", kUserModeKey, false, staging + kUserDump);
    AddFileIfExists(context_, staging + kUserDump, L"", staging);
    if (!base.empty()) AddFileIfExists(context_, base + L"\\" + kUserList, L"", base + L"\\");

    ManifestFor(kClientKey, names, TickedTexts(context_.job.backup_items()))
        .Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> manifest = ReadOwnManifest(context_, kClientKey);
    if (!manifest) return;
    AddManifestIdentities(context_, *manifest);
    TickList& items = context_.job.restore_items();
    for (const std::wstring& item : SectionValues(*manifest, L"Items")) items.Add(item);
    items.SetListEnabled(false);
  }

  void RestoreDirect() override {
    std::wstring base = MailboxBase();
    if (base.empty()) base = context_.staging_folder + L"\\PegasusMail";
    BeginRestore(context_, {});
    // "Default User" lives in M\Mail only on a machine without a user list, which the backup
    // tells by the list missing from the archive.
    bool archived_list = false;
    for (const std::wstring_view member : context_.archive.archive_names()) {
      archived_list = archived_list || SameName(member, kUserList);
    }
    std::vector<std::wstring> restored;
    for (const std::wstring& name : TickedUsers()) {
      const std::wstring folder =
          base + L"\\" + (name == kDefaultUser && !archived_list ? std::wstring(L"Mail") : name);
      ExtractFolder(context_, name, folder + L"\\");
      restored.push_back(name);
    }

    const std::wstring staging = context_.staging_folder + L"\\";
    ClearStagedFiles(context_, {kUserDump, kUserList});
    if (ExtractNames(context_, {kUserDump, kUserList}, staging) != sqx::kStatusOk) {
      ReportDamagedPart(context_,
                        L"User list and user mode not restored: their members are damaged");
    } else {
      MergeUserList(staging + kUserList, base, restored);
      // The dump may write the user-mode key and nothing else.
      if (FileExists(staging + kUserDump)) {
        ImportRestoredDump(context_, staging + kUserDump,
                           {{TRootKeys::rkHKEY_LOCAL_MACHINE, kUserModeKey}}, kUserDump);
      }
    }
    context_.host.SetRestoreProgress(100);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = WithTrailingBackslash(*chosen);
    for (const std::wstring& name : TickedUsers())
      ExtractFolder(context_, name, folder + name + L"\\");
    ExtractNames(context_, {kUserList, kUserDump}, folder);
    context_.host.SetRestoreProgress(100);
  }

 private:
  // The machine's users: "Default User" in single-user mode, else the users of the list.
  std::vector<std::wstring> MachineUsers() const {
    if (SingleUserMode()) return {kDefaultUser};
    std::vector<std::wstring> users;
    const std::wstring base = MailboxBase();
    if (base.empty()) return users;
    for (const std::wstring& line : ListLines(base + L"\\" + kUserList)) {
      const std::optional<std::wstring> user = UserOfLine(line);
      if (user && !user->empty()) {
        users.push_back(*user);
      } else {
        context_.log.Line(L"User-list line skipped: " + line);
      }
    }
    return users;
  }

  // The ticked users of the restore list whose names can be folder names.
  std::vector<std::wstring> TickedUsers() {
    std::vector<std::wstring> users;
    for (const std::wstring& name : TickedTexts(context_.job.restore_identities())) {
      if (IsPlainName(name)) {
        users.push_back(name);
      } else {
        RefuseRestoreValue(context_,
                           L"User not restored, its name is not a valid folder name: " + name);
      }
    }
    return users;
  }

  // Brings the archived user list's lines of the restored users into the machine's list:
  // an existing list keeps every line it has and gains the lines it lacks; without a list,
  // the archived one is taken whole.
  void MergeUserList(const std::wstring& archived, const std::wstring& base,
                     const std::vector<std::wstring>& restored) {
    if (!FileExists(archived)) return;
    const std::wstring target = base + L"\\" + kUserList;
    if (!FileExists(target)) {
      context_.archive.NoteRestoreFolder(base);
      CreateFolderTree(base);
      if (!context_.archive.NoteRestoreWrite(target) ||
          !CopyFileW(archived.c_str(), target.c_str(), TRUE)) {
        context_.log.Line(L"User list not written: " + target);
      }
      return;
    }
    std::vector<std::wstring> known;
    for (const std::wstring& line : ListLines(target)) {
      if (const std::optional<std::wstring> user = UserOfLine(line)) known.push_back(*user);
    }
    std::vector<std::wstring> added;
    for (const std::wstring& line : ListLines(archived)) {
      const std::optional<std::wstring> user = UserOfLine(line);
      if (!user) continue;
      bool wanted = false;
      for (const std::wstring& name : restored) wanted = wanted || SameName(name, *user);
      for (const std::wstring& name : known) wanted = wanted && !SameName(name, *user);
      if (!wanted) continue;
      added.push_back(line);
      known.push_back(*user);
    }
    if (!added.empty() &&
        (!context_.archive.NoteRestoreWrite(target) || !AppendLines(target, added))) {
      context_.log.Line(L"User list not updated: " + target);
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreatePegasusMailAdapter(AdapterContext& context) {
  return std::make_unique<PegasusMailAdapter>(context);
}

}  // namespace mailstow
