// IncrediMail through the real wizard on a synthetic world: both variants (identities per
// user and per machine) backed up, wiped and restored directly; the same archive restored
// into another folder; a machine-variant archive restored on a per-user machine; and a
// crafted archive whose manifest and dumps reach outside their targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "base/ansi_text.h"
#include "base/registry_key.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/registry_denial.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kProgramKey[] = L"SOFTWARE\\incredimail";
constexpr wchar_t kIdentities[] = L"SOFTWARE\\incredimail\\identities";
constexpr wchar_t kContent[] = L"SOFTWARE\\incredimail\\content";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::array<const wchar_t*, 8> kStationeryFolders = {
    L"Animation", L"ECard", L"Emoticon", L"Letter", L"Notifier", L"Skin", L"Sound", L"Image"};

struct ImIdentity {
  std::wstring key;
  std::wstring name;
  bool valid;
};

// The identities under root in registry order, which is the order of the wizard's list.
std::vector<ImIdentity> Identities(HKEY root) {
  std::vector<ImIdentity> identities;
  RegistryKey list;
  if (!list.Open(root, kIdentities, false, KEY_READ)) return identities;
  for (const std::wstring& name : list.SubKeyNames()) {
    RegistryKey identity;
    identity.Open(root, std::wstring(kIdentities) + L"\\" + name, false, KEY_READ);
    const RegistryRead<int> valid = identity.ReadInteger(L"IsValid");
    identities.push_back(
        {name, identity.ReadString(L"Identity").value, !valid.ok() || valid.value != 0});
  }
  return identities;
}

std::wstring ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegistryKey key;
  if (!key.Open(root, path, false, KEY_READ)) return L"<missing key>";
  const RegistryRead<std::wstring> value = key.ReadString(name);
  return value.ok() ? value.value : L"<missing value>";
}

bool KeyExistsIn(HKEY root, const std::wstring& path) {
  RegistryKey key;
  return key.Open(root, path, false, KEY_READ);
}

// Copies a branch of the current user's keys to the same path of the machine's.
void CopyToMachine(const std::wstring& path) {
  RegistryKey source, target;
  ASSERT_TRUE(source.Open(HKEY_CURRENT_USER, path, false, KEY_READ));
  ASSERT_TRUE(target.Open(HKEY_LOCAL_MACHINE, path, true));
  ASSERT_EQ(RegCopyTreeW(source.handle(), nullptr, target.handle()), ERROR_SUCCESS);
}

// The identity names an archive's manifest lists, which a restore offers.
std::vector<std::wstring> ArchivedNames(const std::wstring& archive) {
  return SectionValues(ArchiveIni(archive, L"infobak.ini"), L"Identities");
}

class IncrediMailTest : public ClientRoundTrip {
 protected:
  IncrediMailTest()
      : ClientRoundTrip({L"RadioButton7", L"incredimail", L"IncrediMail", 11}),
        data_(ShellFolder(L"AppData") + L"\\IM") {}

  // Moves the identities and the content branch to the machine's keys: the machine variant.
  void MakeMachineVariant() {
    CopyToMachine(kIdentities);
    CopyToMachine(kContent);
    ASSERT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, kProgramKey));
  }

  // Backs up every item and the offered identities but those at the unticked positions; the
  // list offers the valid identities only.
  void BackupValid(const std::wstring& archive, const std::vector<ImIdentity>& machine,
                   const std::vector<int>& unticked = {}) {
    Backup(archive, {.unticked = unticked});
    std::vector<std::wstring> valid;
    for (const ImIdentity& identity : machine) {
      if (identity.valid) valid.push_back(identity.name);
    }
    EXPECT_EQ(shown_.identities, valid);
  }

  // Removes the valid identities' keys and folders, the content branch and the stationery.
  void Wipe(HKEY root, const std::vector<ImIdentity>& machine) {
    for (const ImIdentity& identity : machine) {
      if (!identity.valid) continue;
      ASSERT_TRUE(DeleteRegistryTree(root, std::wstring(kIdentities) + L"\\" + identity.key));
      RemoveTree(data_ + L"\\Identities\\" + identity.key);
    }
    ASSERT_TRUE(DeleteRegistryTree(root, kContent));
    for (const wchar_t* folder : kStationeryFolders) RemoveTree(data_ + L"\\" + folder);
  }

  // Backs up, wipes what was backed up and restores directly; nothing may differ afterwards.
  void RoundTrip(HKEY root, const std::wstring& archive, const std::vector<int>& unticked = {}) {
    const std::vector<ImIdentity> machine = Identities(root);
    ASSERT_GE(machine.size(), 5u);
    const Snapshot before = TakeSnapshot(scope_);
    BackupValid(archive, machine, unticked);
    backup_log_ = Log();
    std::vector<ImIdentity> backed_up;
    std::vector<std::wstring> offered;
    for (const ImIdentity& identity : machine) {
      if (!identity.valid) continue;
      const int position = static_cast<int>(backed_up.size() + skipped_.size());
      if (std::find(unticked.begin(), unticked.end(), position) != unticked.end()) {
        skipped_.push_back(identity);
      } else {
        backed_up.push_back(identity);
        offered.push_back(identity.name);
      }
    }
    Wipe(root, backed_up);
    ASSERT_NE(ChangesSince(before), "");
    Restore(archive, offered);
    EXPECT_EQ(ChangesSince(before), "");
  }

  std::vector<ImIdentity> skipped_;  // offered but left unticked by the last round trip
  std::wstring backup_log_;          // the log of the last round trip's backup
  std::wstring data_;
};

TEST_F(IncrediMailTest, PerUserRoundTripLosesNothingAndAnotherFolderGetsTheLayout) {
  // A second identity key with the name of another identity, first in the list and unticked:
  // the ticked one is backed up, the twin is not.
  const std::wstring twin = L"{00000000-0000-4000-8000-0000000000AA}";
  const std::wstring shared_name = L"Family";
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, std::wstring(kIdentities) + L"\\" + twin, true));
    key.WriteString(L"Identity", shared_name);
    key.WriteInteger(L"IsValid", 1);
  }
  const std::vector<ImIdentity> machine = Identities(HKEY_CURRENT_USER);
  ASSERT_EQ(machine.front().key, twin);
  const std::wstring archive = L"C:\\Backups\\im.ebk";
  RoundTrip(HKEY_CURRENT_USER, archive, {0});
  ASSERT_EQ(skipped_.size(), 1u);
  EXPECT_EQ(skipped_[0].key, twin);
  const std::vector<std::wstring> keys =
      SectionValues(ArchiveIni(archive, L"infobak.ini"), L"Directory");
  EXPECT_EQ(std::count(keys.begin(), keys.end(), twin), 0);
  EXPECT_EQ(keys.size(), 4u);
  // Value texts that name a root key come back as they were.
  for (const ImIdentity& identity : machine) {
    if (identity.key == twin) continue;
    const std::wstring key = std::wstring(kIdentities) + L"\\" + identity.key;
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"CommonRegPath"),
              L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\IncrediMail]");
  }

  // The invalid identity is neither in the archive nor touched (the round trip compared it).
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  for (const ImIdentity& identity : machine) {
    if (identity.key == twin) continue;
    const bool stored = std::any_of(members.begin(), members.end(), [&](const std::wstring& m) {
      return m.starts_with(identity.key + L"\\") || m.starts_with(identity.name + L"\\");
    });
    EXPECT_EQ(stored, identity.valid) << ToUtf8(identity.name);
  }

  OpenForRestore(archive, ArchivedNames(archive));
  RestoreInto(L"C:\\Restore\\");
  // The identities' staged dumps (account passwords among them) do not outlive the run.
  EXPECT_EQ(Joined(ListFolder(folder_ + L"Temp")), "");
  for (const ImIdentity& identity : machine) {
    if (!identity.valid || identity.key == twin) continue;
    // A display name that cannot be a folder name gets one with "_" in its place.
    std::wstring folder_name = identity.name;
    for (wchar_t& c : folder_name) {
      if (std::wstring_view(L"<>|").find(c) != std::wstring_view::npos) c = L'_';
    }
    const std::wstring dumps = L"C:\\Restore\\" + folder_name + L"\\";
    for (const wchar_t* file : {L"identity.reg", L"account.reg", L"rules.reg", L"RuleOrder.dat"}) {
      EXPECT_TRUE(FileExists(dumps + file)) << ToUtf8(dumps + file);
    }
    std::map<std::wstring, std::string> files =
        FilesBelow(data_ + L"\\Identities\\" + identity.key);
    files.erase(L"RuleOrder.dat");
    EXPECT_EQ(FilesBelow(L"C:\\Restore\\" + identity.key), files) << ToUtf8(identity.name);
  }
  EXPECT_TRUE(FileExists(L"C:\\Restore\\stationery.reg"));
  EXPECT_EQ(FilesBelow(L"C:\\Restore\\Stationery\\Letter"), FilesBelow(data_ + L"\\Letter"));
  EXPECT_FALSE(FilesBelow(L"C:\\Restore\\Stationery\\Letter").empty());
}

TEST_F(IncrediMailTest, MachineVariantRoundTripsMovesToAPerUserMachineAndRefusesACraftedArchive) {
  MakeMachineVariant();
  const std::vector<ImIdentity> machine = Identities(HKEY_LOCAL_MACHINE);
  const std::wstring archive = L"C:\\Backups\\im-machine.ebk";
  RoundTrip(HKEY_LOCAL_MACHINE, archive);

  // The same archive on a per-user machine: the keys land under the user's root, with value
  // texts that name roots unchanged.
  Wipe(HKEY_LOCAL_MACHINE, machine);
  {
    RegistryKey program;
    ASSERT_TRUE(program.Open(HKEY_CURRENT_USER, kProgramKey, true));
    program.WriteString(L"ApplicationPath", data_);
  }
  Restore(archive, ArchivedNames(archive));
  for (const ImIdentity& identity : machine) {
    const std::wstring key = std::wstring(kIdentities) + L"\\" + identity.key;
    EXPECT_FALSE(identity.valid && KeyExistsIn(HKEY_LOCAL_MACHINE, key)) << ToUtf8(identity.name);
    if (!identity.valid) continue;
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Identity"), identity.name);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"UserRegPath"),
              L"HKEY_CURRENT_USER\\Software\\IncrediMail\\Identities\\" + identity.key);
    EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, key + L"\\accounts\\1"));
    EXPECT_TRUE(FileExists(data_ + L"\\Identities\\" + identity.key + L"\\RuleOrder.dat"));
  }
  EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, kContent));

  // A crafted archive: the first identity's key climbs out of the identities folder, the
  // second identity's dump and the stationery dump plant keys outside their branches.
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  const std::wstring first = manifest.ReadString(L"Identities", L"Item1", L"");
  const std::wstring second = manifest.ReadString(L"Identities", L"Item2", L"");
  const std::string planted = "\r\n[HKEY_CURRENT_USER\\" + ToAnsi(kRunKey) +
                              "]\r\n\"Planted\"=\"C:\\planted.exe\"\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                              ToAnsi(kRunKey) +
                              "]\r\n\"Planted\"=\"C:\\planted.exe\"\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                              ToAnsi(kIdentities) + "\\Planted]\r\n\"Identity\"=\"Planted\"\r\n";
  std::vector<PackedMember> crafted;
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  for (const std::wstring& name : members) {
    if (name.ends_with(L"\\Message Store\\Attachments")) continue;  // a folder's own entry
    PackedMember member{name, {}};
    ASSERT_TRUE(ReadArchiveMember(archive, name, &member.bytes)) << ToUtf8(name);
    if (name == L"infobak.ini") {
      const std::string key = ToAnsi(manifest.ReadString(L"Directory", L"Item1", L""));
      member.bytes = Replaced(member.bytes, "Item1=" + key, "Item1=..\\..\\Escaped");
    } else if (name == second + L"\\identity.reg" || name == L"stationery.reg") {
      member.bytes += planted;
    }
    crafted.push_back(member);
  }
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  Restore(crafted_archive, ArchivedNames(archive));
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegistryKey run;
    EXPECT_FALSE(run.Open(root, kRunKey, false, KEY_READ) && run.ValueExists(L"Planted"));
    EXPECT_FALSE(KeyExistsIn(root, std::wstring(kIdentities) + L"\\Planted"));
  }
  EXPECT_FALSE(FileExists(ShellFolder(L"AppData") + L"\\Escaped"));
  EXPECT_FALSE(FileExists(data_ + L"\\Escaped"));
  EXPECT_NE(Log().find(L"Identity not restored, its identity key is not valid: " + first),
            std::wstring::npos);
}

// The machine variant restored by a user who may not write HKEY_LOCAL_MACHINE: the identities
// come back under the user's keys, which IncrediMail then reads, and the user's keys get what
// the machine's held (the application folder, the identity not backed up), so that nothing
// the client showed before goes missing.
TEST_F(IncrediMailTest, MachineVariantWithoutAdministratorRightsRestoresForTheUser) {
  MakeMachineVariant();
  const std::vector<ImIdentity> machine = Identities(HKEY_LOCAL_MACHINE);
  const auto invalid = std::find_if(machine.begin(), machine.end(),
                                    [](const ImIdentity& identity) { return !identity.valid; });
  ASSERT_NE(invalid, machine.end());
  const std::wstring archive = L"C:\\Backups\\im-machine.ebk";
  BackupValid(archive, machine);
  Wipe(HKEY_LOCAL_MACHINE, machine);
  ASSERT_FALSE(KeyExistsIn(HKEY_CURRENT_USER, kProgramKey));
  {
    RegistryWriteDenial program(HKEY_LOCAL_MACHINE, kProgramKey);
    RegistryWriteDenial identities(HKEY_LOCAL_MACHINE, kIdentities);
    ASSERT_TRUE(program.applied() && identities.applied());
    Restore(archive, ArchivedNames(archive));
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
    EXPECT_TRUE(wizard_.NoBox());
  }
  EXPECT_TRUE(
      LogHolds({L"HKEY_LOCAL_MACHINE\\SOFTWARE\\incredimail cannot be written without "
                L"administrator rights: the identities are restored for this user"}));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kProgramKey, L"ApplicationPath"),
            ReadValue(HKEY_LOCAL_MACHINE, kProgramKey, L"ApplicationPath"));
  for (const ImIdentity& identity : machine) {
    const std::wstring key = std::wstring(kIdentities) + L"\\" + identity.key;
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Identity"), identity.name);
    EXPECT_EQ(KeyExistsIn(HKEY_LOCAL_MACHINE, key), !identity.valid) << ToUtf8(identity.name);
    if (!identity.valid) continue;
    EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, key + L"\\accounts\\1"));
    EXPECT_TRUE(FileExists(data_ + L"\\Identities\\" + identity.key + L"\\RuleOrder.dat"));
  }
  EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, kContent));
  EXPECT_FALSE(KeyExistsIn(HKEY_LOCAL_MACHINE, kContent));
}

}  // namespace
}  // namespace mailstow::e2e
