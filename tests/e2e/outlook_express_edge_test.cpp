// Outlook Express through the real wizard on a synthetic world, in the situations that break
// a careless adapter: store folders with a trailing backslash or a profile token, one display
// name on two identity keys, an identity that moved to another key, a machine without a
// stationery folder value, only the second identity backed up, restores of a crafted archive
// that hold back while the client runs and refuse damaged or foreign registry dumps, and
// backups that are read back, and that stop for a running client or a store held open.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "base/ansi_text.h"
#include "ui/form_layout.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "clients/folder_tokens.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/registry_denial.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kStationeryKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\Stationery";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kProfileToken[] = L"%UserProfile%";
constexpr size_t kProfileTokenLength = 13;

std::wstring WithoutTrailingBackslash(std::wstring text) {
  if (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

std::set<std::wstring> Sorted(const std::vector<std::wstring>& names) {
  return {names.begin(), names.end()};
}

// The stored names below an archive folder.
std::set<std::wstring> MembersBelow(const std::vector<std::wstring>& members,
                                    const std::wstring& folder) {
  std::set<std::wstring> below;
  const std::wstring prefix = FoldCase(folder + L"\\");
  for (const std::wstring& name : members) {
    if (FoldCase(name).starts_with(prefix)) below.insert(name);
  }
  return below;
}

// The names a folder's files should have below an archive folder.
std::set<std::wstring> StoredNamesOf(const std::wstring& archive_folder,
                                     const std::wstring& folder) {
  std::set<std::wstring> names;
  for (const std::wstring& file : ListFolder(folder)) names.insert(archive_folder + L"\\" + file);
  return names;
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* name,
                 const std::wstring& value) {
  RegistryKey writable;
  ASSERT_TRUE(writable.Open(root, key, true));
  writable.WriteString(name, value);
}

class OutlookExpressEdgeTest : public ClientRoundTrip {
 protected:
  OutlookExpressEdgeTest()
      : ClientRoundTrip({L"RadioButton3", L"outlook_express_edge", L"OutlookExpress", 5}) {}

  void SetUp() override {
    app_data_ = ShellFolder(L"AppData");
    RemoveTree(L"C:\\Profiles");
    ClientRoundTrip::SetUp();
    identities_ = MachineIdentities();
    ASSERT_GE(identities_.size(), 3u);
  }

  void TearDown() override {
    ClientRoundTrip::TearDown();
    WriteString(HKEY_CURRENT_USER, kShellFolders, L"AppData", app_data_);
    RemoveTree(L"C:\\Profiles");
  }

  // From the identity page to the ready page, the archive path typed (and, when a file of
  // that name exists, its overwriting confirmed).
  void ReadyToBackUp(const std::wstring& archive) {
    ASSERT_EQ(wizard_.ActivePage(), 4);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 5);
    const bool exists = FileExists(archive);
    wizard_.Type(L"Edit1", archive);
    wizard_.Next();
    if (exists) {
      EXPECT_TRUE(wizard_.Answer(L"This file already exists. Overwrite?", L"Yes"));
    }
    ASSERT_EQ(wizard_.ActivePage(), 6);
  }

  // Backs up every item of the identities whose list positions are not named, then closes
  // the wizard; the list offers every identity.
  void BackupBut(const std::wstring& archive, const std::vector<int>& unticked) {
    Backup(archive, {.unticked = unticked});
    EXPECT_EQ(shown_.identities.size(), identities_.size());
    wizard_.Close();
  }

  // Opens the archive for a direct restore of everything it offers; ends on page 12.
  void ReadyToRestore(const std::wstring& archive, const std::vector<std::wstring>& offered) {
    OpenForRestore(archive, offered);
    ConfirmDirectRestore();
  }

  // The first identity whose "Store Root" text passes the test.
  ::testing::AssertionResult FindIdentity(bool (*matches)(const std::wstring&),
                                          OeIdentity* identity) const {
    for (const OeIdentity& candidate : identities_) {
      if (!matches(candidate.store_root)) continue;
      *identity = candidate;
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no identity with such a store folder";
  }

  std::vector<OeIdentity> identities_;
  std::wstring app_data_;
};

TEST_F(OutlookExpressEdgeTest, StoreFoldersSharedNamesMovedKeysAndAMissingStationeryValue) {
  // The world names store folders in several ways; take one identity of each.
  OeIdentity profile, trailing, absolute;
  ASSERT_TRUE(FindIdentity([](const std::wstring& root) { return root.starts_with(kProfileToken); },
                           &profile));
  ASSERT_TRUE(
      FindIdentity([](const std::wstring& root) { return root.ends_with(L"\\"); }, &trailing));
  ASSERT_TRUE(
      FindIdentity([](const std::wstring& root) { return root.find(L':') == 1; }, &absolute));
  ASSERT_TRUE(FoldCase(trailing.store_root).starts_with(FoldCase(kProfileToken)));
  ASSERT_FALSE(trailing.store_root.starts_with(kProfileToken));  // another letter case

  // A second identity key bearing the display name of the absolute one, with its own store.
  const std::wstring twin = L"{FFFFFFFF-0000-4000-8000-0000000000AA}";
  WriteString(HKEY_CURRENT_USER, IdentityPath(twin), L"Username", absolute.name);
  WriteString(HKEY_CURRENT_USER, IdentitySettingsPath(twin), L"Store Root", L"C:\\Profiles\\Twin");
  CreateDirectoryW(L"C:\\Profiles", nullptr);
  CreateDirectoryW(L"C:\\Profiles\\Twin", nullptr);
  WriteBytes(L"C:\\Profiles\\Twin\\Twin.dbx", "twin store");
  identities_ = MachineIdentities();
  const auto twin_entry = std::find_if(identities_.begin(), identities_.end(),
                                       [&](const OeIdentity& i) { return i.key == twin; });
  ASSERT_NE(twin_entry, identities_.end());
  const std::set<std::wstring> address_book =
      Sorted(ListFolder(app_data_ + L"\\Microsoft\\Address Book"));
  ASSERT_FALSE(address_book.empty());

  // One entry of the shared name stays unticked: the other one handles both keys.
  const std::wstring archive = L"C:\\Backups\\edge.ebk";
  BackupBut(archive, {static_cast<int>(twin_entry - identities_.begin())});

  const std::vector<std::wstring> members = ArchiveMembers(archive);
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  const std::vector<std::wstring> names = SectionValues(manifest, L"Identities");
  const std::vector<std::wstring> keys = SectionValues(manifest, L"Directory");
  const std::vector<std::wstring> roots =
      SectionValues(ArchiveIni(archive, L"others.ini"), L"Directory");
  ASSERT_EQ(names.size(), identities_.size() - 1);
  ASSERT_EQ(keys.size(), names.size());
  ASSERT_EQ(roots.size(), names.size());
  auto line_of = [&names](const std::wstring& name) {
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  ASSERT_EQ(std::count(names.begin(), names.end(), absolute.name), 1);

  // Exactly one backslash goes, the token stays; the mail folder is stored by plain names.
  EXPECT_EQ(roots[line_of(trailing.name)],
            trailing.store_root.substr(0, trailing.store_root.size() - 1));
  EXPECT_EQ(MembersBelow(members, trailing.key), StoredNamesOf(trailing.key, trailing.store));
  EXPECT_EQ(roots[line_of(profile.name)], profile.store_root);
  EXPECT_EQ(MembersBelow(members, profile.key), StoredNamesOf(profile.key, profile.store));

  // Both keys of the shared name have their stores in the archive; the manifest keeps one.
  EXPECT_EQ(MembersBelow(members, absolute.key), StoredNamesOf(absolute.key, absolute.store));
  EXPECT_EQ(MembersBelow(members, twin), std::set<std::wstring>{twin + L"\\Twin.dbx"});
  const std::wstring kept = keys[line_of(absolute.name)];
  ASSERT_TRUE(kept == twin || kept == absolute.key) << ToUtf8(kept);
  const std::wstring dropped = kept == twin ? absolute.key : twin;

  const std::wstring stationery =
      ArchiveIni(archive, L"stationery.ini").ReadString(L"Directory", L"Stationery", L"");
  const std::set<std::wstring> stationery_files = Sorted(ListFolder(stationery));
  ASSERT_FALSE(stationery_files.empty());

  // This machine: another profile folder, the trailing identity under another key, no
  // stationery value and no stationery.
  const std::wstring moved_profile = L"C:\\Profiles\\Moved";
  const std::wstring moved_app_data = moved_profile + L"\\AppData\\Roaming";
  WriteString(HKEY_CURRENT_USER, kShellFolders, L"AppData", moved_app_data);
  const std::wstring moved_key = L"{00000000-0000-4000-8000-0000000000BB}";
  {
    RegistryKey moved;
    ASSERT_TRUE(moved.Open(HKEY_CURRENT_USER, IdentityPath(moved_key), true));
    ASSERT_EQ(RegCopyTreeW(HKEY_CURRENT_USER, IdentityPath(trailing.key).c_str(), moved.handle()),
              ERROR_SUCCESS);
  }
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, IdentityPath(trailing.key).c_str()), ERROR_SUCCESS);
  ASSERT_TRUE(KeyExists(IdentityPath(moved_key)));
  RegistryKey stationery_key;
  ASSERT_TRUE(stationery_key.Open(HKEY_LOCAL_MACHINE, kStationeryKey, false));
  ASSERT_EQ(RegDeleteValueW(stationery_key.handle(), L"Stationery Folder"), ERROR_SUCCESS);
  stationery_key.Close();
  RemoveTree(stationery);

  ReadyToRestore(archive, names);
  ASSERT_TRUE(wizard_.RunFrom(12, 14));

  // Token stores come back below this machine's profile folder, written as absolute folders.
  const std::wstring profile_store = moved_profile + profile.store_root.substr(kProfileTokenLength);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentitySettingsPath(profile.key), L"Store Root"),
            profile_store);
  EXPECT_EQ(Sorted(ListFolder(profile_store)), Sorted(ListFolder(profile.store)));
  const std::wstring trailing_store =
      moved_profile + WithoutTrailingBackslash(trailing.store_root.substr(kProfileTokenLength));
  EXPECT_EQ(
      ReadRegistryString(HKEY_CURRENT_USER, IdentitySettingsPath(trailing.key), L"Store Root"),
      trailing_store);
  EXPECT_EQ(Sorted(ListFolder(trailing_store)), Sorted(ListFolder(trailing.store)));
  EXPECT_EQ(Sorted(ListFolder(moved_app_data + L"\\Microsoft\\Address Book")), address_book);

  // The moved identity is back under its archived key, and the other key is gone.
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentityPath(trailing.key), L"Username"),
            trailing.name);
  EXPECT_FALSE(KeyExists(IdentityPath(moved_key)));

  // Every key bearing the shared name was deleted before the archived one came back.
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentityPath(kept), L"Username"), absolute.name);
  EXPECT_FALSE(KeyExists(IdentityPath(dropped)));

  // The stationery folder comes from the archive and is written into the missing value.
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kStationeryKey, L"Stationery Folder"),
            stationery);
  EXPECT_EQ(Sorted(ListFolder(stationery)), stationery_files);

  // A user who may not write the machine-wide value: the stationery is not restored into a
  // folder that Outlook Express would not find, and the restore says why.
  ASSERT_TRUE(stationery_key.Open(HKEY_LOCAL_MACHINE, kStationeryKey, false));
  ASSERT_EQ(RegDeleteValueW(stationery_key.handle(), L"Stationery Folder"), ERROR_SUCCESS);
  stationery_key.Close();
  RemoveTree(stationery);
  {
    RegistryWriteDenial denial(HKEY_LOCAL_MACHINE, kStationeryKey);
    ASSERT_TRUE(denial.applied());
    ReadyToRestore(archive, names);
    ASSERT_TRUE(wizard_.RunFrom(12, 14));
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
    EXPECT_TRUE(
        wizard_.Answer(L"Administrator rights are needed to restore this part of the "
                       L"backup file: Stationery (HKEY_LOCAL_MACHINE\\" +
                           std::wstring(kStationeryKey) + L")",
                       L"OK"));
  }
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kStationeryKey, L"Stationery Folder"));
  EXPECT_TRUE(ListFolder(stationery).empty());
}

TEST_F(OutlookExpressEdgeTest,
       SecondIdentityAloneThenACraftedArchiveWaitsForTheClientAndRefusesBadDumps) {
  const OeIdentity victim = identities_[0];
  const OeIdentity second = identities_[1];
  std::vector<int> unticked;
  for (int i = 0; i < static_cast<int>(identities_.size()); ++i) {
    if (i != 1) unticked.push_back(i);
  }
  const std::wstring archive = L"C:\\Backups\\second.ebk";
  BackupBut(archive, unticked);

  // One line, Item1, in each section that lists identities.
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  const IniText others = ArchiveIni(archive, L"others.ini");
  EXPECT_EQ(manifest.KeyNames(L"Identities"), std::vector<std::wstring>{L"Item1"});
  EXPECT_EQ(manifest.KeyNames(L"Directory"), std::vector<std::wstring>{L"Item1"});
  EXPECT_EQ(others.KeyNames(L"Directory"), std::vector<std::wstring>{L"Item1"});
  EXPECT_EQ(manifest.ReadString(L"Identities", L"Item1", L""), second.name);
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Item1", L""), second.key);
  EXPECT_EQ(others.ReadString(L"Directory", L"Item1", L""),
            WithoutTrailingBackslash(second.store_root));

  // A crafted archive: the second identity's dumps plant values outside its branches, and a
  // first identity (the one not backed up) has dumps of which one is damaged.
  const std::string victim_key = ToAnsi(victim.key);
  const std::string second_key = ToAnsi(second.key);
  const std::string planted = "\r\n[HKEY_CURRENT_USER\\" + ToAnsi(kRunKey) +
                              "]\r\n\"Planted\"=\"C:\\planted.exe\"\r\n"
                              "\r\n[HKEY_LOCAL_MACHINE\\" +
                              ToAnsi(kRunKey) +
                              "]\r\n\"Planted\"=\"C:\\planted.exe\"\r\n"
                              "\r\n[HKEY_CURRENT_USER\\identities\\" +
                              second_key + "Planted]\r\n\"Username\"=\"Planted\"\r\n";
  std::vector<PackedMember> crafted;
  std::string damaged_dump;
  for (const std::wstring& name : ArchiveMembers(archive)) {
    PackedMember member{name, {}};
    ASSERT_TRUE(ReadArchiveMember(archive, name, &member.bytes)) << ToUtf8(name);
    const std::wstring dump_prefix = second.name + L"\\";
    if (name.starts_with(dump_prefix)) {
      const std::wstring file = name.substr(dump_prefix.size());
      PackedMember copy{victim.name + L"\\" + file, Replaced(member.bytes, second_key, victim_key)};
      if (file == L"identity2.reg") damaged_dump = copy.bytes;
      crafted.push_back(copy);
      if (file == L"identity.reg" || file == L"rules.reg") member.bytes += planted;
    } else if (name == L"infobak.ini" || name == L"others.ini") {
      continue;
    }
    crafted.push_back(member);
  }
  const std::string items =
      "[Items]\r\nItem1=Accounts Settings\r\nItem2=Mail Folders\r\nItem3=Signatures\r\n"
      "Item4=Message Rules\r\nItem5=Address Book\r\nItem6=Stationery\r\n";
  crafted.push_back(
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=OutlookExpress\r\n[Identities]\r\nItem1=" + ToAnsi(victim.name) +
           "\r\nItem2=" + ToAnsi(second.name) + "\r\n" + items +
           "[Directory]\r\nItem1=" + victim_key + "\r\nItem2=" + second_key + "\r\n"});
  crafted.push_back({L"others.ini",
                     "[Directory]\r\nItem1=" + ToAnsi(WithoutTrailingBackslash(victim.store_root)) +
                         "\r\nItem2=" + ToAnsi(WithoutTrailingBackslash(second.store_root)) +
                         "\r\n"});
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  ASSERT_TRUE(DamageMember(crafted_archive, damaged_dump));

  // The second identity is lost; the first one stays as it is.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, IdentityPath(second.key).c_str()), ERROR_SUCCESS);
  const SnapshotSpec victim_scope{{{L"HKEY_CURRENT_USER", IdentityPath(victim.key)}},
                                  {victim.store}};
  const Snapshot victim_before = TakeSnapshot(victim_scope);

  ReadyToRestore(crafted_archive, {victim.name, second.name});
  const std::wstring log_path = folder_ + L"Log.txt";
  const std::optional<std::wstring> log_before = ReadSystemTextFile(log_path);

  // The client runs: the restore stops with the close-programs dialog listing its windows.
  const std::wstring client_folder = PrepareProgramFolder(L"outlook_express_client", {});
  CopyInto(DistFolder() + L"..\\tests\\guard\\fake_client.exe", client_folder, L"msimn.exe");
  Program client;
  ASSERT_TRUE(client.Start(client_folder + L"msimn.exe", L""));
  for (int i = 0; i < 100 && client.TopLevelWindows(L"FakeClient").size() < 3; ++i) Sleep(100);
  wizard_.Next();
  HWND dialog = wizard_.OtherForm();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), L"Active windows...");
  HWND windows = FindControl(dialog, ComponentId(L"Form5", L"ListBox1"));
  std::vector<std::wstring> listed = ListTexts(windows);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"1 Reminder", L"Inbox - Fake Mail"}));
  Click(FindControl(dialog, ComponentId(L"Form5", L"Button1")));
  for (int i = 0; i < 50 && IsShown(dialog); ++i) Sleep(100);
  EXPECT_FALSE(IsShown(dialog));
  EXPECT_EQ(wizard_.ActivePage(), 12);
  EXPECT_FALSE(KeyExists(IdentityPath(second.key)));
  const std::optional<std::wstring> log_refused = ReadSystemTextFile(log_path);
  EXPECT_EQ(log_refused, log_before);  // no restore header either
  EXPECT_EQ(log_refused.value_or(L"").find(L"Source file: "), std::wstring::npos);

  // With the client closed, Next restores, and ends by naming the damaged dump.
  client.Kill();
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
  EXPECT_TRUE(
      wizard_.Answer(L"The backup file is damaged: " + victim.name + L"\\identity2.reg", L"OK"));
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");

  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentityPath(second.key), L"Username"),
            second.name);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentitySettingsPath(second.key), L"Store Root"),
            second.store);
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, L"Planted"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, L"Planted"));
  EXPECT_FALSE(KeyExists(IdentityPath(second.key + L"Planted")));

  EXPECT_EQ(Differences(victim_before, TakeSnapshot(victim_scope)), std::vector<std::wstring>{});
  // The log says which identity was left alone, and why.
  const std::wstring log = Log();
  EXPECT_NE(
      log.find(L"Identity not restored, its registry dumps are damaged: " + victim.name + L"\r\n"),
      std::wstring::npos)
      << ToUtf8(log);
}

TEST_F(OutlookExpressEdgeTest, MissingStationeryStillSucceedsAndADamagedStoreFailsTheRestore) {
  // Nobody set up stationery on this machine: every item ticked, the archive is complete.
  {
    RegistryKey stationery_key;
    ASSERT_TRUE(stationery_key.Open(HKEY_LOCAL_MACHINE, kStationeryKey, false));
    ASSERT_EQ(RegDeleteValueW(stationery_key.handle(), L"Stationery Folder"), ERROR_SUCCESS);
  }
  const std::wstring archive = L"C:\\Backups\\plain.ebk";
  BackupBut(archive, {});
  EXPECT_NE(Log().find(L"\r\nItem not found: Stationery\r\n"), std::wstring::npos);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Corvane\\Mailstow", L"Last1"),
            archive);

  // The same archive with one byte of the first identity's largest store file changed.
  const OeIdentity& identity = identities_[0];
  std::wstring largest;
  std::string largest_bytes;
  std::vector<PackedMember> members;
  for (const std::wstring& name : ArchiveMembers(archive)) {
    PackedMember member{name, {}};
    ASSERT_TRUE(ReadArchiveMember(archive, name, &member.bytes)) << ToUtf8(name);
    if (name.starts_with(identity.key + L"\\") && member.bytes.size() > largest_bytes.size()) {
      largest = name;
      largest_bytes = member.bytes;
    }
    members.push_back(std::move(member));
  }
  ASSERT_GT(largest_bytes.size(), 64u);
  const std::wstring damaged = L"C:\\Backups\\damaged.ebk";
  ASSERT_TRUE(PackMembers(damaged, members));
  ASSERT_TRUE(DamageMember(damaged, largest_bytes));
  // The store file changed since the backup; the damaged member must not replace it.
  const std::wstring store_file = identity.store + largest.substr(identity.key.size());
  WriteBytes(store_file, "newer mail");

  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  ReadyToRestore(damaged, SectionValues(manifest, L"Identities"));
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
  EXPECT_TRUE(wizard_.Answer(L"The backup file is damaged: " + largest, L"OK"));
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
  EXPECT_NE(wizard_.Text(L"Label33"), L"The items selected were successfully restored.");
  wizard_.Close();

  EXPECT_EQ(FileBytes(store_file), "newer mail");
  const std::wstring log = Log();
  EXPECT_NE(log.find(L"\r\nDamaged member: " + largest + L"\r\n"), std::wstring::npos)
      << ToUtf8(log);
}

TEST_F(OutlookExpressEdgeTest, BackupsAreReadBackAndStopForARunningClientOrAHeldStore) {
  const std::wstring archive = L"C:\\Backups\\verified.ebk";
  const std::wstring log_path = folder_ + L"Log.txt";
  CreateDirectoryW(L"C:\\Backups", nullptr);
  BackupBut(archive, {});
  const std::wstring log = ReadSystemTextFile(log_path).value_or(L"");
  const size_t total = log.rfind(L"Total lines: ");
  ASSERT_NE(total, std::wstring::npos) << ToUtf8(log);
  const std::wstring entries = log.substr(total + 13, log.find(L"\r\n", total) - total - 13);
  EXPECT_NE(log.find(L"Error code: 0\r\n"), std::wstring::npos);
  EXPECT_NE(log.find(L"Verified: " + entries + L" of " + entries + L" entries read back\r\n"),
            std::wstring::npos)
      << ToUtf8(log);
  const std::string archive_bytes = FileBytes(archive);

  // The client runs: the backup stays on its ready page with the close-programs dialog.
  const std::wstring client_folder = PrepareProgramFolder(L"outlook_express_client", {});
  CopyInto(DistFolder() + L"..\\tests\\guard\\fake_client.exe", client_folder, L"msimn.exe");
  Program client;
  ASSERT_TRUE(client.Start(client_folder + L"msimn.exe", L""));
  for (int i = 0; i < 100 && client.TopLevelWindows(L"FakeClient").size() < 3; ++i) Sleep(100);
  StartAt(L"RadioButton1");
  ReadyToBackUp(archive);
  wizard_.Next();
  HWND dialog = wizard_.OtherForm();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), L"Active windows...");
  Click(FindControl(dialog, ComponentId(L"Form5", L"Button1")));
  for (int i = 0; i < 50 && IsShown(dialog); ++i) Sleep(100);
  EXPECT_EQ(wizard_.ActivePage(), 6);
  client.Kill();

  // A store file that another program holds open without sharing: the box names it, the run
  // ends on the failure variant, and the archive of the first backup stays as it was.
  std::vector<std::wstring> store_files = ListFolder(identities_[1].store);
  ASSERT_FALSE(store_files.empty());
  const std::wstring held_path = identities_[1].store + L"\\" + store_files[0];
  HANDLE held = CreateFileW(held_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(held_path +
                                 L" is in use by another program. Close that program and start "
                                 L"the backup again.",
                             L"OK"));
  CloseHandle(held);
  ASSERT_TRUE(wizard_.WaitForPage(8));
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup failed!");
  EXPECT_EQ(wizard_.Text(L"Label35"), L"");
  EXPECT_EQ(FileBytes(archive), archive_bytes);
  EXPECT_NE(ReadSystemTextFile(log_path).value_or(L"").find(L"In use by another program: " +
                                                            held_path + L"\r\n"),
            std::wstring::npos);
}

}  // namespace
}  // namespace mailstow::e2e
