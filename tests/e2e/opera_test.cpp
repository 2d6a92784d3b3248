// Opera's mail client through the real wizard on a synthetic world: both accounts backed up,
// wiped and restored with nothing lost (every mailbox, however named and cased), the layout of
// a restore into another folder, the paired items for the contacts and signature files both
// ways, a quoted command line, a version 7 layout backup refused at restore, and a crafted
// archive whose names and values point outside their targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <map>

#include "base/folders.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kOperaKey[] = L"Software\\Opera Software";
constexpr wchar_t kSignatures[] = L"C:\\Opera Signatures";

void WriteString(const wchar_t* name, const std::wstring& value) {
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kOperaKey, true));
  key.WriteString(name, value);
}

class OperaTest : public ClientRoundTrip {
 protected:
  OperaTest() : ClientRoundTrip({L"RadioButton13", L"opera", L"Opera", 9, 0.05}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    program_ = scope_.folders.at(0);
    mail_ = program_ + L"\\Mail";
  }

  void WipeMail() {
    RemoveTree(mail_);
    DeleteFileW((program_ + L"\\Contacts.adr").c_str());
    RemoveTree(kSignatures);
  }

  std::wstring program_;
  std::wstring mail_;
};

TEST_F(OperaTest, EveryAccountRoundTripsAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const auto mail_tree = TreeOf(mail_);
  const std::wstring archive = L"C:\\Backups\\opera.ebk";
  Backup(archive);
  const std::vector<std::wstring> accounts = {L"account1", L"account2"};
  EXPECT_EQ(Joined(shown_.identities), Joined(accounts));

  // Sub-folders are mapped once each, whatever number of mailboxes they hold.
  const std::vector<std::wstring> mapped =
      SectionValues(ArchiveIni(archive, L"account1\\directory.ini"), L"Directory");
  EXPECT_EQ(Joined(mapped), Joined({L"account1\\Work", L"account1\\Work\\Clients"}));
  const IniText note = ArchiveIni(archive, L"account1\\signatures.ini");
  EXPECT_EQ(note.ReadString(L"Directory", L"Dir", L""), L"C:\\Opera Signatures\\");
  EXPECT_EQ(note.ReadString(L"Files", L"File", L""), L"Anna work.txt");

  const std::pair<std::wstring, std::wstring> signatures[] = {{L"account1", L"Anna work.txt"},
                                                              {L"account2", L"Home.sig"}};
  const auto signature_tree = TreeOf(kSignatures);
  std::map<std::wstring, std::string> signature_bytes;
  for (const auto& [account, file] : signatures) {
    signature_bytes[file] = FileBytes(std::wstring(kSignatures) + L"\\" + file);
  }
  WipeMail();
  Restore(archive, accounts);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  // The folder the archive names for the signatures is no folder of Opera's here any more
  // (the wipe took the accounts that used it): each signature comes back into its account's
  // folder, and the account's setting points there. Nothing else differs.
  std::vector<std::wstring> expected_changes = {L"Opera Signatures"};
  for (const auto& [account, file] : signatures) {
    const std::wstring account_folder = mail_ + L"\\" + account + L"\\";
    EXPECT_EQ(FileBytes(account_folder + file), signature_bytes[file]);
    EXPECT_EQ(LoadIniFile(account_folder + L"Account.ini")
                  .value_or(IniText())
                  .ReadString(L"OUTGOING", L"SignatureFile", L""),
              account_folder + file);
    expected_changes.push_back(account_folder + L"Account.ini");
    expected_changes.push_back(account_folder + file);
  }
  std::istringstream changes(ChangesSince(before));
  for (std::string line; std::getline(changes, line);) {
    EXPECT_TRUE(std::any_of(
        expected_changes.begin(), expected_changes.end(),
        [&line](const std::wstring& path) { return line.find(ToUtf8(path)) != std::string::npos; }))
        << line;
  }

  // Another folder: each account's files and its signature in a folder of its name, the
  // sub-folders at their paths below the mail folder, the shared files at the top.
  OpenForRestore(archive, accounts);
  RestoreInto(L"C:\\Restore\\");
  auto expected = mail_tree;
  expected[L"Contacts.adr"] = TreeOf(program_).at(L"Contacts.adr");
  expected[L"account1\\Anna work.txt"] = signature_tree.at(L"Anna work.txt");
  expected[L"account2\\Home.sig"] = signature_tree.at(L"Home.sig");
  EXPECT_EQ(TreeDifferences(expected, TreeOf(L"C:\\Restore")), "");
}

TEST_F(OperaTest, PairedItemsBothWaysQuotedCommandLineAndVersion7Refused) {
  WriteString(L"Last CommandLine", L"\"" + program_ + L"\\Opera.exe\" -newwindow");
  const std::wstring contacts = program_ + L"\\Contacts.adr";
  const std::wstring signature = std::wstring(kSignatures) + L"\\Anna work.txt";

  // "Signatures" takes the contacts file, "Address Book" the signature file.
  const std::wstring with_contacts = L"C:\\Backups\\contacts.ebk";
  Backup(with_contacts, {.items = {L"Signatures"}});
  auto members = ArchiveMembers(with_contacts);
  EXPECT_TRUE(Holds(members, L"Contacts.adr"));
  EXPECT_FALSE(Holds(members, L"account1\\signatures.ini"));
  const std::wstring with_signature = L"C:\\Backups\\signature.ebk";
  Backup(with_signature, {.items = {L"Address Book"}});
  members = ArchiveMembers(with_signature);
  EXPECT_FALSE(Holds(members, L"Contacts.adr"));
  EXPECT_TRUE(Holds(members, L"account1\\signatures.ini"));
  EXPECT_TRUE(Holds(members, L"account1\\Signatures\\Anna work.txt"));

  // Restores keep the pairing; the quoted command line gives the program folder.
  const auto signature_tree = TreeOf(kSignatures);
  RemoveTree(kSignatures);
  DeleteFileW(contacts.c_str());
  Restore(with_signature, {L"account1", L"account2"});
  EXPECT_EQ(TreeOf(kSignatures), signature_tree);
  EXPECT_FALSE(FileExists(contacts));
  RemoveTree(kSignatures);
  Restore(with_contacts, {L"account1", L"account2"});
  EXPECT_TRUE(FileExists(contacts));
  EXPECT_FALSE(FileExists(signature));

  // The version 7 layout: one mail tree in the application-data folder, its own client key,
  // and this adapter's restore refuses it.
  const std::wstring app_data = ShellFolder(L"AppData");
  const std::wstring version7 = app_data + L"\\Opera\\Opera7\\Mail";
  CreateDirectoryW((app_data + L"\\Opera").c_str(), nullptr);
  CreateDirectoryW((app_data + L"\\Opera\\Opera7").c_str(), nullptr);
  CreateDirectoryW(version7.c_str(), nullptr);
  CreateDirectoryW((version7 + L"\\index").c_str(), nullptr);
  CreateDirectoryW((version7 + L"\\storage").c_str(), nullptr);
  WriteBytes(version7 + L"\\accounts.ini", "[Accounts]\r\nCount=1\r\n");
  WriteBytes(version7 + L"\\index\\0001.idx", "index");
  WriteBytes(version7 + L"\\storage\\2005.mbs", "From: a@example.com\r\n\r\nHello\r\n");
  CreateDirectoryW((version7 + L"\\storage\\2006").c_str(), nullptr);
  WriteBytes(version7 + L"\\storage\\2006\\06.mbs", "From: b@example.com\r\n\r\nHi\r\n");
  CreateDirectoryW((version7 + L"\\imap").c_str(), nullptr);
  WriteBytes(version7 + L"\\imap\\imap.txt", "imap");
  WriteString(L"Last CommandLine v2", program_ + L"\\Opera.exe");
  const std::wstring archive7 = L"C:\\Backups\\opera7.ebk";
  Backup(archive7);
  members = ArchiveMembers(archive7);
  EXPECT_EQ(ArchiveIni(archive7, L"infobak.ini").ReadString(L"Backup", L"EmailClient", L""),
            L"Opera7");
  // The mail tree whole; index and storage, sub-folders included, at the root only.
  for (const wchar_t* name : {L"Mail\\accounts.ini", L"Mail\\imap\\imap.txt", L"index\\0001.idx",
                              L"storage\\2005.mbs", L"storage\\2006\\06.mbs"}) {
    EXPECT_TRUE(Holds(members, name)) << ToUtf8(name);
  }
  for (const wchar_t* name : {L"Mail\\index\\0001.idx", L"Mail\\storage\\2005.mbs"}) {
    EXPECT_FALSE(Holds(members, name)) << ToUtf8(name);
  }
  // A missing folder is named in the log and the backup still completes.
  RemoveTree(version7 + L"\\index");
  Backup(L"C:\\Backups\\opera7 without index.ebk");
  EXPECT_NE(Log().find(L"Not found: " + version7 + L"\\index"), std::wstring::npos);
  EXPECT_TRUE(
      Holds(ArchiveMembers(L"C:\\Backups\\opera7 without index.ebk"), L"storage\\2005.mbs"));
  StartAt(L"RadioButton2");
  wizard_.Type(L"Edit4", archive7);
  wizard_.Next();
  EXPECT_TRUE(
      wizard_.Answer(L"This backup file is not compatible with selected E-mail Client!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 9);
}

TEST_F(OperaTest, ACraftedArchiveStaysInsideItsTargets) {
  const std::string items =
      "[Items]\r\nItem1=Accounts Settings\r\nItem2=Mail Folders\r\nItem3=Filters\r\n"
      "Item4=Signatures\r\nItem5=Address Book\r\n";
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=Opera\r\n[Identities]\r\nItem1=..\\..\\Escaped\r\n"
       "Item2=account1\r\nItem3=C:\\Evil\r\n" +
           items},
      {L"account1\\directory.ini",
       "[Directory]\r\nDir1=..\\..\\Outside\r\nDir2=C:\\Outside\r\nDir3=account1\\Safe\r\n"},
      {L"account1\\signatures.ini",
       "[Directory]\r\nDir=..\\..\\Outside\\\r\n[Files]\r\nFile=a.txt\r\n"},
      {L"account1\\Signatures\\a.txt", "crafted"},
      {L"account1\\Safe\\Safe.mbs", "crafted"},
      {L"account1\\Inbox.MBS", "crafted inbox"},
      {L"Outside\\Outside.mbs", "crafted"},
  };
  CreateDirectoryW(L"C:\\Backups", nullptr);
  const std::wstring archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(archive, crafted));
  const auto around = TreeAround(program_);
  Restore(archive, {L"..\\..\\Escaped", L"account1", L"C:\\Evil"});
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
  EXPECT_TRUE(
      wizard_.Answer(L"This part of the backup file was not restored, because it would "
                     L"put data outside the E-mail Client's folders: Account not "
                     L"restored, its name is not a folder name: ..\\..\\Escaped",
                     L"OK"));

  EXPECT_TRUE(FileExists(mail_ + L"\\account1\\Safe\\Safe.mbs"));
  EXPECT_TRUE(FileExists(mail_ + L"\\account1\\Inbox.MBS"));
  EXPECT_FALSE(FileExists(L"C:\\Outside"));
  EXPECT_FALSE(FileExists(L"C:\\Escaped"));
  EXPECT_FALSE(FileExists(L"C:\\Evil"));
  EXPECT_EQ(TreeAround(program_), around);  // nothing changed beside the program folder
  EXPECT_TRUE(
      LogHolds({L"Account not restored, its name is not a folder name: ..\\..\\Escaped",
                L"Account not restored, its name is not a folder name: C:\\Evil",
                L"Mail folder not restored, not a folder below the mail folder: ..\\..\\Outside",
                L"Mail folder not restored, not a folder below the mail folder: C:\\Outside",
                L"Signature restored into " + mail_ +
                    L"\\account1\\, not into ..\\..\\Outside\\ named by "
                    L"the backup: a.txt"}));
  EXPECT_TRUE(FileExists(mail_ + L"\\account1\\a.txt"));
}

// An account made after the backup stays in Opera's list when the older archive is restored.
TEST_F(OperaTest, AnAccountMadeAfterTheBackupStaysListed) {
  const std::wstring archive = L"C:\\Backups\\opera.ebk";
  Backup(archive);
  const std::wstring later = mail_ + L"\\account3";
  CreateDirectoryW(later.c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(later + L"\\Account.ini", "[INCOMING]\r\nUsername=later\r\n"));
  const std::string list = FileBytes(mail_ + L"\\Accounts.ini");
  ASSERT_TRUE(WriteBytes(mail_ + L"\\Accounts.ini",
                         Replaced(list, "account2=1\r\n", "account2=1\r\naccount3=1\r\n")));
  Restore(archive, {L"account1", L"account2"});
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  const std::string merged = FileBytes(mail_ + L"\\Accounts.ini");
  EXPECT_EQ(merged, Replaced(list, "account2=1\r\n", "account2=1\r\naccount3=1\r\n"));
  EXPECT_EQ(FileBytes(later + L"\\Account.ini"), "[INCOMING]\r\nUsername=later\r\n");
  EXPECT_TRUE(LogHolds({L"Account list merged with the accounts of this machine"}));
}

// Opera run without administrator rights wrote into the user's VirtualStore copy of its program
// folder: the backup lists the accounts of the copy's account list and takes each file from the
// copy where it has one, an account only the copy holds included.
TEST_F(OperaTest, TheVirtualStoreCopyIsWhatIsBackedUp) {
  const std::wstring store = ShellFolder(L"Local AppData") + L"\\VirtualStore" + program_.substr(2);
  ASSERT_TRUE(FileExists(mail_ + L"\\account1\\Inbox.MBS"));
  ASSERT_TRUE(FileExists(program_ + L"\\Contacts.adr"));
  const std::string list = FileBytes(mail_ + L"\\Accounts.ini");
  const FileBytesList written = {
      {L"Mail\\Accounts.ini", Replaced(list, "account2=1\r\n", "account2=1\r\naccount3=1\r\n")},
      {L"Mail\\account1\\Inbox.MBS", "From the copy\r\n"},
      {L"Mail\\account3\\Account.ini", "[INCOMING]\r\nUsername=copy\r\n"},
      {L"Mail\\account3\\Inbox.MBS", "Only in the copy\r\n"},
      {L"Contacts.adr", "Contacts of the copy\r\n"},
  };
  ASSERT_NE(written[0].second, list);
  ASSERT_TRUE(WriteFilesBelow(store, written));
  const std::wstring archive = L"C:\\Backups\\opera-virtual.ebk";
  Backup(archive);
  EXPECT_EQ(Joined(shown_.identities), Joined({L"account1", L"account2", L"account3"}));
  for (const auto& [path, bytes] : written) {
    EXPECT_TRUE(HoldsOnce(archive, path.starts_with(L"Mail\\") ? path.substr(5) : path, bytes));
  }
  // What the copy does not hold comes from the program folder.
  EXPECT_TRUE(
      HoldsOnce(archive, L"account2\\Inbox.mbs", FileBytes(mail_ + L"\\account2\\Inbox.mbs")));
}

}  // namespace
}  // namespace mailstow::e2e
