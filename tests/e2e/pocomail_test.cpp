// PocoMail through the real wizard on a synthetic world: every user backed up, wiped and
// restored with nothing lost, the same archive restored into another folder, a mail folder of
// three mailboxes stored once, a backup of a named user alone, and a crafted archive whose
// names and settings point outside their targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/folders.h"
#include "base/ini_file.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kDefaultUser[] = L"Default User";
constexpr wchar_t kAnna[] = L"Anna";
constexpr wchar_t kJuergen[] = L"J\u00fcrgen Weber";

constexpr wchar_t kProbe[] = L"\\~probe.tmp";

// Whether a new file can be made in the folder.
bool CanCreateFileIn(const std::wstring& folder) {
  const std::wstring probe = folder + kProbe;
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// A folder in which no file can be made, as a Program Files folder is for a user without
// administrator rights. Wine writes anywhere its Linux user may, and the tests run as root, so
// the folder's Linux directory gets the immutable attribute, which holds even for root.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(const std::wstring& folder) : folder_(folder) {
    applied_ = Change(L"+i", false);
  }
  // A probe file made while the attribute was being set could not be deleted then.
  ~UnwritableFolder() {
    if (applied_ && Change(L"-i", true)) DeleteFileW((folder_ + kProbe).c_str());
  }
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;
  bool applied() const { return applied_; }

 private:
  // Runs chattr on the folder's Linux path and waits until files can (or cannot) be made.
  bool Change(const wchar_t* change, bool writable) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unix_name == nullptr) return false;
    char* path = unix_name(folder_.c_str());
    if (path == nullptr) return false;
    std::wstring command = std::wstring(L"chattr ") + change + L" \"";
    for (const char* c = path; *c != 0; ++c) command += static_cast<unsigned char>(*c);
    command += L"\"";
    HeapFree(GetProcessHeap(), 0, path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\usr\\bin\\chattr", command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
      return false;
    }
    CloseHandle(process.hThread);
    // Probing only once chattr has ended: a probe made while the attribute is being set could
    // not be deleted, and would stay in the folder.
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    for (int attempt = 0; attempt < 100; ++attempt) {
      // A probe left while the attribute was being set goes as soon as the folder allows it.
      if (writable) DeleteFileW((folder_ + kProbe).c_str());
      if (CanCreateFileIn(folder_) == writable) return true;
      Sleep(100);
    }
    return false;
  }

  std::wstring folder_;
  bool applied_ = false;
};

class PocoMailTest : public ClientRoundTrip {
 protected:
  PocoMailTest() : ClientRoundTrip({L"RadioButton10", L"pocomail", L"PocoMail", 8, 0.05}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    program_ = scope_.folders.at(0);
  }

  std::wstring program_;
};

TEST_F(PocoMailTest, EveryUserRoundTripsAndAnotherFolderGetsTheProgramFolderLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const auto tree = TreeOf(program_);
  const std::wstring archive = L"C:\\Backups\\poco.ebk";
  Backup(archive);
  const std::vector<std::wstring> listed = shown_.identities;
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0], kDefaultUser);
  EXPECT_EQ(std::set<std::wstring>(listed.begin() + 1, listed.end()),
            (std::set<std::wstring>{kAnna, kJuergen}));

  // The folder of three mailboxes is found three times but stored, and mapped, once.
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  for (const wchar_t* file : {L"Mum.mbx", L"Dad.itx", L"Holidays.mbx"}) {
    EXPECT_EQ(std::count(members.begin(), members.end(), std::wstring(L"Family\\") + file), 1)
        << ToUtf8(file);
  }
  std::vector<std::wstring> mapped =
      SectionValues(ArchiveIni(archive, L"directory.ini"), L"Directory");
  std::sort(mapped.begin(), mapped.end());
  EXPECT_EQ(Joined(mapped), Joined({L"Caf\u00e9 Club", L"Family", L"Work", L"Work\\Old"}));
  EXPECT_TRUE(ArchiveIni(archive, L"infobak.ini").KeyNames(L"Directory").empty());

  RemoveTree(program_);
  Restore(archive, listed);
  EXPECT_EQ(ChangesSince(before), "");

  OpenForRestore(archive, listed);
  RestoreInto(L"C:\\Restore\\");
  EXPECT_EQ(TreeDifferences(tree, TreeOf(L"C:\\Restore")), "");
}

TEST_F(PocoMailTest, ANamedUserAloneRestoresAndACraftedArchiveStaysInsideItsTargets) {
  const std::wstring anna = program_ + L"\\users\\" + kAnna;
  const auto anna_tree = TreeOf(anna);
  const std::wstring archive = L"C:\\Backups\\anna.ebk";
  Backup(archive, {.identities = {kAnna}});
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.KeyNames(L"Identities"), std::vector<std::wstring>{L"Item1"});
  EXPECT_EQ(manifest.ReadString(L"Identities", L"Item1", L""), kAnna);

  // Only Anna is lost; she alone comes back, and the default user's files stay as they are.
  RemoveTree(anna);
  const auto program_tree = TreeOf(program_);
  Restore(archive, {kAnna});
  EXPECT_EQ(TreeOf(anna), anna_tree);
  auto now = TreeOf(program_);
  std::erase_if(now, [](const auto& entry) { return entry.first.starts_with(L"users\\Anna"); });
  EXPECT_EQ(now, program_tree);

  // A crafted archive: a user name, settings and map values that climb out or name a drive.
  const std::string items =
      "[Items]\r\nItem1=Accounts Settings\r\nItem2=Mail Folders\r\nItem3=Filters\r\n"
      "Item4=Signatures\r\nItem5=Address Book\r\nItem6=Scripts\r\n";
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=PocoMail\r\n[Identities]\r\nItem1=Default User\r\n"
       "Item2=..\\..\\Escaped\r\nItem3=Anna\r\n" +
           items},
      {L"poco.ini",
       "[Program]\r\nMailPath=..\\..\\Outside\\\r\nAddressPath=C:\\Outside\\\r\n"
       "SigPath=Signatures\\\r\nTemplatePath=\r\n[Mail]\r\nAttachPath=..\\Outside2\\\r\n"},
      {L"directory.ini",
       "[Directory]\r\nDir1=..\\..\\Outside\r\nDir2=C:\\Outside\r\nDir3=Work\r\n"},
      {L"Outside\\x.mbx", "crafted"},
      {L"Work\\a.mbx", "crafted"},
      {L"Signatures\\Crafted.sig", "crafted signature"},
      {L"users\\Anna\\poco.ini",
       "[Program]\r\nMailPath=..\\..\\..\\Outside\\\r\nSigPath=Sigs\\\r\n"},
      {L"users\\Anna\\Sigs\\Anna crafted.sig", "crafted"},
  };
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  const auto around = TreeAround(program_);
  Restore(crafted_archive, {kDefaultUser, L"..\\..\\Escaped", kAnna});

  // The sound parts were restored, nothing else changed outside the program folder.
  EXPECT_TRUE(FileExists(program_ + L"\\Signatures\\Crafted.sig"));
  EXPECT_TRUE(FileExists(anna + L"\\Sigs\\Anna crafted.sig"));
  EXPECT_FALSE(FileExists(L"C:\\Outside"));
  EXPECT_FALSE(FileExists(L"C:\\Escaped"));
  EXPECT_EQ(TreeAround(program_), around);  // nothing changed beside the program folder
  EXPECT_TRUE(LogHolds({L"User not restored, its name is not a folder name: ..\\..\\Escaped",
                        L"not a folder below it: ..\\..\\Outside",
                        L"TemplatePath in the archived poco.ini is not set"}));
}

// The named users live in a folder the default user's settings name; one made after the backup
// stays listed when the older archive is restored, because the settings keep this machine's
// users folder.
TEST_F(PocoMailTest, AUserMadeAfterTheBackupStaysListed) {
  const std::wstring archive = L"C:\\Backups\\poco.ebk";
  Backup(archive);
  const std::wstring settings = program_ + L"\\poco.ini";
  const std::wstring moved = L"C:\\Poco Users";
  RemoveTree(moved);
  CreateDirectoryW(moved.c_str(), nullptr);
  CreateDirectoryW((moved + L"\\Later").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(moved + L"\\Later\\poco.ini", "[Program]\r\nMailPath=Mail\\\r\n"));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"UsersPath", (moved + L"\\").c_str(),
                                         settings.c_str()));
  Restore(archive, shown_.identities);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  wchar_t users[MAX_PATH] = {};
  GetPrivateProfileStringW(L"Program", L"UsersPath", L"", users, MAX_PATH, settings.c_str());
  EXPECT_EQ(std::wstring(users), moved + L"\\");
  StartAt(L"RadioButton1");
  EXPECT_TRUE(Holds(ListTexts(wizard_.Control(L"CheckListBox1")), L"Later"));
}

// PocoMail run without administrator rights wrote into the user's VirtualStore copy of its
// program folder: the backup takes each file from the copy where it has one (files and a mail
// sub-folder only the copy holds included), the rest from the program folder; a restore while
// the program folder cannot be written puts the data into the copy.
TEST_F(PocoMailTest, TheVirtualStoreCopyIsBackedUpAndAnUnwritableProgramFolderRestoresIntoIt) {
  const std::wstring mail = LoadIniFile(program_ + L"\\poco.ini")
                                .value_or(IniText())
                                .ReadString(L"Program", L"MailPath", L"");
  ASSERT_TRUE(mail.ends_with(L"\\"));
  const std::wstring store = ShellFolder(L"Local AppData") + L"\\VirtualStore" + program_.substr(2);
  const FileBytesList written = {
      {L"accounts.ini", "[Accounts]\r\nCount=1\r\nDefault=Written later\r\n"},
      {mail + L"Inbox.mbx", "From the copy\r\n"},
      {mail + L"Only in the copy.mbx", "A mailbox only the copy holds\r\n"},
      {mail + L"Copied\\Box.mbx", "A mail folder only the copy holds\r\n"},
  };
  ASSERT_TRUE(FileExists(program_ + L"\\accounts.ini"));
  ASSERT_TRUE(FileExists(program_ + L"\\" + mail + L"Inbox.mbx"));
  ASSERT_TRUE(WriteFilesBelow(store, written));
  const std::wstring archive = L"C:\\Backups\\poco-virtual.ebk";
  Backup(archive, {.identities = {kDefaultUser}});

  for (const auto& [path, bytes] : written) {
    // The mailboxes of mail sub-folders are stored by their path below the mail folder.
    EXPECT_TRUE(HoldsOnce(
        archive, path.find(L"Copied") == std::wstring::npos ? path : path.substr(mail.size()),
        bytes));
  }
  std::string settings;
  ASSERT_TRUE(ReadArchiveMember(archive, L"poco.ini", &settings));
  EXPECT_EQ(settings, FileBytes(program_ + L"\\poco.ini"));
  EXPECT_TRUE(Holds(SectionValues(ArchiveIni(archive, L"directory.ini"), L"Directory"), L"Copied"));

  // The copy is lost; the program folder cannot be written.
  RemoveTree(store);
  const Tree program_tree = TreeOf(program_);
  {
    UnwritableFolder unwritable(program_);
    if (!unwritable.applied()) {
      GTEST_SKIP() << "the program folder cannot be made unwritable here (chattr +i needs the "
                      "immutable-file capability)";
    }
    Restore(archive, {kDefaultUser});
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  }
  EXPECT_EQ(TreeDifferences(program_tree, TreeOf(program_)), "");
  for (const auto& [path, bytes] : written) {
    EXPECT_EQ(FileBytes(store + L"\\" + path), bytes) << ToUtf8(path);
  }
  EXPECT_EQ(FileBytes(store + L"\\poco.ini"), settings);
  EXPECT_TRUE(LogHolds({L"Folder not writable, restored into its VirtualStore copy: " + store}));
}

}  // namespace
}  // namespace mailstow::e2e
