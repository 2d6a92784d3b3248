// Microsoft Outlook backed up and restored through the real wizard on a synthetic world: a
// round trip compared by snapshots while a second profile stays, the archive restored into
// another folder, a damaged profile dump that must leave every profile alone, and a crafted
// archive restored onto a machine whose local folder moved.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

#include "base/ansi_text.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kProfiles[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kOldProfiles[] = L"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kProfile[] = L"Outlook";
constexpr wchar_t kSecondProfile[] = L"Privat Zweitprofil";
constexpr wchar_t kOfficeOutlook[] = L"Software\\Microsoft\\Office\\Outlook";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring ProfilePath(const wchar_t* profiles, const std::wstring& name) {
  return std::wstring(profiles) + L"\\" + name;
}

// A profile service's personal-folders path: its registry type and its text.
struct PathValue {
  DWORD type = REG_NONE;
  std::wstring text;
  bool operator==(const PathValue&) const = default;
};

// The folder part of a path, with its final separator.
std::wstring FolderPart(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Where a direct restore puts the personal-folders files of a profile: a file stays in its
// folder when that is one of Outlook's here (below `outlook_folders`, or a folder the profile
// in use names); any other comes back into the local Outlook folder's folder of its number
// in the archive's list (`numbered`, 1-based).
std::map<std::wstring, std::wstring> ExpectedPlaces(const std::vector<std::wstring>& paths,
                                                    const std::vector<std::wstring>& numbered,
                                                    const std::vector<std::wstring>& own,
                                                    const std::wstring& local_outlook) {
  std::map<std::wstring, std::wstring> places;
  for (const std::wstring& path : paths) {
    const std::wstring folder = FolderPart(path);
    const bool outlooks = std::any_of(own.begin(), own.end(), [&](const std::wstring& o) {
      return EqualsIgnoreCase(std::wstring_view(folder).substr(0, o.size()), o);
    });
    const auto number = std::find_if(numbered.begin(), numbered.end(), [&](const std::wstring& f) {
      return EqualsIgnoreCase(f, folder);
    });
    places[path] = outlooks || number == numbered.end()
                       ? path
                       : local_outlook + L"Dir" + std::to_wstring(number - numbered.begin() + 1) +
                             L"\\" + path.substr(folder.size());
  }
  return places;
}

// Every service of a profile that names a personal-folders file, by service key.
std::map<std::wstring, PathValue> PersonalFolders(const std::wstring& profile_path) {
  std::map<std::wstring, PathValue> values;
  RegistryKey profile;
  if (!profile.Open(HKEY_CURRENT_USER, profile_path, false, KEY_READ)) return values;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(profile.handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    BYTE data[2048] = {};
    DWORD size = sizeof(data) - 2;
    DWORD type = 0;
    if (RegGetValueW(profile.handle(), name, L"001e6700", RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                     &size) != ERROR_SUCCESS) {
      continue;
    }
    values[name] = {type, type == REG_BINARY ? FromAnsi(reinterpret_cast<const char*>(data))
                                             : std::wstring(reinterpret_cast<wchar_t*>(data))};
  }
  return values;
}

class OutlookTest : public ClientRoundTrip {
 protected:
  OutlookTest() : ClientRoundTrip({L"RadioButton4", L"outlook", L"Outlook", 7}) {}

  void SetUp() override {
    app_data_ = ShellFolder(L"AppData");
    local_ = ShellFolder(L"Local AppData");
    ASSERT_FALSE(local_.empty());
    ClientRoundTrip::SetUp();
    for (const wchar_t* folder : {L"C:\\Moved", L"C:\\Evil"}) RemoveTree(folder);
  }

  void TearDown() override {
    ClientRoundTrip::TearDown();
    RegistryKey shell;
    if (shell.Open(HKEY_CURRENT_USER, kShellFolders, true)) {
      shell.WriteString(L"Local AppData", local_);
    }
  }

  // One fixed identity; the five items are all ticked and cannot be changed.
  void ExpectFixedLists() {
    EXPECT_EQ(shown_.identities, std::vector<std::wstring>{L"Default user"});
    EXPECT_FALSE(shown_.items_enabled);
    ASSERT_EQ(shown_.items.size(), 5u);
    EXPECT_EQ(shown_.items_ticked, std::vector<bool>(5, true));
    EXPECT_EQ(shown_.items[2], L"Personal Store");
  }

  void BackupProfile(const std::wstring& archive) {
    Backup(archive);
    ExpectFixedLists();
  }

  // Opens the archive for a restore; ends on the restore-location page.
  void OpenProfile(const std::wstring& archive) {
    OpenForRestore(archive, {L"Default user"});
    ExpectFixedLists();
  }

  void RestoreDirect(const std::wstring& archive) {
    OpenProfile(archive);
    RestoreDirectly();
  }

  // The personal-folders files of the backed-up profile, as the world made them.
  std::map<std::wstring, PathValue> Files() const {
    return PersonalFolders(ProfilePath(kProfiles, kProfile));
  }

  std::wstring app_data_;
  std::wstring local_;
};

TEST_F(OutlookTest, RoundTripLosesNothingKeepsTheSecondProfileAndAnotherFolderGetsTheLayout) {
  const std::wstring local_outlook = local_ + L"\\Microsoft\\Outlook\\";
  const std::wstring beside = local_ + L"\\Pers\u00f6nliche Ordner\\";
  const std::map<std::wstring, PathValue> files = Files();
  ASSERT_EQ(files.size(), 6u);
  const Snapshot before = TakeSnapshot(scope_);

  const std::wstring archive = L"C:\\Backups\\outlook.ebk";
  BackupProfile(archive);

  // Files directly in the local Outlook folder are packed with it; every other one, in a
  // sub-folder of it, beside it or elsewhere, is packed by its folder's number.
  const std::vector<std::wstring> folders =
      SectionValues(ArchiveIni(archive, L"Others.ini"), L"Directory");
  EXPECT_EQ(folders, (std::vector<std::wstring>{local_outlook + L"Archiv 2005\\", beside,
                                                L"C:\\Mail Archive\\", L"C:\\Daten\\Outlook\\"}));
  const std::vector<std::wstring> stored = ArchiveMembers(archive);
  const std::set<std::wstring> members(stored.begin(), stored.end());
  for (const wchar_t* member :
       {L"setting.reg", L"accounts1.reg", L"accounts2.reg", L"Others.ini", L"infobak.ini",
        L"local\\Outlook.pst", L"app\\outlook.FAV", L"Signatures\\Gesch\u00e4ftlich.htm",
        L"Others\\Dir1\\archive.pst", L"Others\\Dir2\\Privat J\u00f6rg.pst",
        L"Others\\Dir3\\Alte Post.pst", L"Others\\Dir3\\Projekte 2004.pst",
        L"Others\\Dir4\\Backup Kopie.pst"}) {
    EXPECT_TRUE(members.contains(member)) << ToUtf8(member);
  }
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.ReadString(L"Backup", L"EmailClient", L""), L"Outlook");
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Dir2", L""), local_);

  // The backed-up profile, the Outlook branch and every folder are lost; the second profile
  // and the profiles key's own values stay.
  std::vector<std::set<std::wstring>> others_before;
  for (const std::wstring& folder : folders) others_before.push_back(Listed(folder));
  ASSERT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, ProfilePath(kProfiles, kProfile)));
  ASSERT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, kOfficeOutlook));
  for (const std::wstring& folder : scope_.folders) RemoveTree(folder);
  ASSERT_NE(ChangesSince(before), "");

  // Outlook's folders here: its local and roaming folders and those the profile in use (the
  // second one) names.
  std::vector<std::wstring> own = {local_outlook, app_data_ + L"\\Microsoft\\Outlook\\"};
  for (const auto& [service, value] : PersonalFolders(ProfilePath(kProfiles, kSecondProfile))) {
    own.push_back(FolderPart(value.text));
  }
  std::vector<std::wstring> paths;
  for (const auto& [service, value] : files) paths.push_back(value.text);
  const std::map<std::wstring, std::wstring> places =
      ExpectedPlaces(paths, folders, own, local_outlook);
  ASSERT_TRUE(std::any_of(places.begin(), places.end(), [](const auto& place) {
    return place.first != place.second;
  })) << "the world has files in folders that are not Outlook's";

  RestoreDirect(archive);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");

  // Every file is back, where Outlook's folders keep it, and both profile locations name it
  // there with its type.
  std::map<std::wstring, PathValue> expected_files = files;
  for (auto& [service, value] : expected_files) value.text = places.at(value.text);
  EXPECT_EQ(Files(), expected_files);
  EXPECT_EQ(PersonalFolders(ProfilePath(kOldProfiles, kProfile)), expected_files);
  for (const auto& [was, now] : places) {
    EXPECT_TRUE(FileExists(now)) << ToUtf8(now);
    if (was != now) {
      EXPECT_TRUE(LogHolds({L"Personal folders of " + FolderPart(was) + L" restored into "}));
    }
  }
  std::vector<std::wstring> differences = Differences(before, TakeSnapshot(scope_));
  // By design the profile also comes back under the older location of mail profiles...
  const std::wstring old_location = L"HKEY_CURRENT_USER\\" + std::wstring(kOldProfiles);
  const size_t old_lines = std::erase_if(differences, [&](const std::wstring& line) {
    return line.find(old_location) != std::wstring::npos;
  });
  EXPECT_GT(old_lines, 0u);
  // ... the favourites cache of the replaced profile is dropped ...
  const std::wstring favourites = app_data_ + L"\\Microsoft\\Outlook\\outlook.FAV";
  EXPECT_EQ(std::erase(differences, L"file missing: " + favourites), 1u);
  // ... and the files from folders that are not Outlook's moved, with the profile's path values
  // (checked above).
  std::erase_if(differences, [&](const std::wstring& line) {
    if (line.starts_with(L"value data changed: ") &&
        line.find(L"[001e6700]") != std::wstring::npos) {
      return true;
    }
    return std::any_of(places.begin(), places.end(), [&](const auto& place) {
      const std::wstring from = FolderPart(place.first);
      const std::wstring to = FolderPart(place.second);
      return place.first != place.second &&
             (line.find(from.substr(0, from.size() - 1)) != std::wstring::npos ||
              line.find(to.substr(0, to.size() - 1)) != std::wstring::npos);
    });
  });
  EXPECT_EQ(Joined(differences), "");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kProfiles, L"DefaultProfile"), kProfile);

  // The same archive into another folder.
  OpenProfile(archive);
  RestoreInto(L"C:\\Restore");
  for (const wchar_t* dump : {L"setting.reg", L"accounts1.reg", L"accounts2.reg"}) {
    EXPECT_TRUE(FileExists(L"C:\\Restore\\" + std::wstring(dump))) << ToUtf8(dump);
  }
  std::set<std::wstring> local_files = Listed(local_outlook);
  std::erase_if(local_files, [](const std::wstring& name) { return name.starts_with(L"Dir"); });
  EXPECT_EQ(Listed(L"C:\\Restore\\local"), local_files);
  std::set<std::wstring> app_files = Listed(app_data_ + L"\\Microsoft\\Outlook");
  app_files.insert(L"outlook.FAV");
  EXPECT_EQ(Listed(L"C:\\Restore\\app"), app_files);
  EXPECT_EQ(Listed(L"C:\\Restore\\Signatures"), Listed(app_data_ + L"\\Microsoft\\Signatures"));
  for (size_t n = 1; n <= folders.size(); ++n) {
    const std::wstring restored = L"C:\\Restore\\Others\\Dir" + std::to_wstring(n);
    EXPECT_EQ(Listed(restored), others_before[n - 1]) << n;
  }
}

TEST_F(OutlookTest, DamagedProfileDumpLeavesProfilesAloneAndACraftedArchiveStaysInside) {
  const std::wstring archive = L"C:\\Backups\\outlook.ebk";
  BackupProfile(archive);
  std::vector<PackedMember> members;
  for (const std::wstring& name : ArchiveMembers(archive)) {
    if (name == L"local\\Archiv 2005") continue;  // a folder entry
    PackedMember member{name, {}};
    ASSERT_TRUE(ReadArchiveMember(archive, name, &member.bytes)) << ToUtf8(name);
    members.push_back(member);
  }
  auto member = [&members](const std::wstring& name) -> PackedMember& {
    for (PackedMember& m : members) {
      if (m.stored_name == name) return m;
    }
    ADD_FAILURE() << ToUtf8(name);
    return members.front();
  };

  // A damaged profile dump: nothing happens to any profile, nor to the favourites cache.
  const std::wstring damaged = L"C:\\Backups\\damaged.ebk";
  ASSERT_TRUE(PackMembers(damaged, members));
  ASSERT_TRUE(DamageMember(damaged, member(L"setting.reg").bytes));
  {
    RegistryKey profile;
    ASSERT_TRUE(profile.Open(HKEY_CURRENT_USER, ProfilePath(kProfiles, kProfile), false));
    profile.WriteString(L"Changed since the backup", L"yes");
  }
  const SnapshotSpec profiles{
      {{L"HKEY_CURRENT_USER", kProfiles}, {L"HKEY_CURRENT_USER", kOldProfiles}}, {}};
  const Snapshot profiles_before = TakeSnapshot(profiles);
  RestoreDirect(damaged);
  EXPECT_EQ(Joined(Differences(profiles_before, TakeSnapshot(profiles))), "");
  EXPECT_TRUE(FileExists(app_data_ + L"\\Microsoft\\Outlook\\outlook.FAV"));
  EXPECT_NE(Log().find(L"Registry dump not imported, it is damaged: setting.reg"),
            std::wstring::npos);

  // A crafted archive: the dump also writes into another profile, the profiles key and keys
  // outside the profiles; the folder list and member names try to leave their targets.
  const std::map<std::wstring, PathValue> files = Files();
  PackedMember& dump = member(L"setting.reg");
  const std::string profiles_line = "[HKEY_CURRENT_USER\\" + ToAnsi(kProfiles);
  dump.bytes += "\r\n" + profiles_line + "]\r\n\"DefaultProfile\"=\"Planted\"\r\n\r\n" +
                profiles_line + "\\" + ToAnsi(kSecondProfile) +
                "]\r\n\"Planted\"=\"yes\"\r\n\r\n[HKEY_CURRENT_USER\\" + ToAnsi(kRunKey) +
                "]\r\n\"Planted\"=\"C:\\\\planted.exe\"\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                ToAnsi(kRunKey) + "]\r\n\"Planted\"=\"C:\\\\planted.exe\"\r\n";
  member(L"Others.ini").bytes += "Dir5=C:\\Restore\\..\\Evil\\\r\nDir6=Evil\\\r\n..=C:\\Evil\\\r\n";
  members.push_back({L"Others\\Dir5\\evil.txt", "evil"});
  members.push_back({L"Others\\Dir6\\evil.txt", "evil"});
  members.push_back({L"Others\\..\\evil.txt", "evil"});
  members.push_back({L"local\\..\\..\\..\\evil.txt", "evil"});
  const std::wstring crafted = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted, members));
  const SnapshotSpec second{{{L"HKEY_CURRENT_USER", ProfilePath(kProfiles, kSecondProfile)}}, {}};
  const Snapshot second_before = TakeSnapshot(second);

  // This machine keeps its local application data elsewhere.
  const std::wstring moved = L"C:\\Moved\\Local";
  const std::vector<std::wstring> numbered =
      SectionValues(ArchiveIni(archive, L"Others.ini"), L"Directory");
  std::vector<std::wstring> own = {moved + L"\\Microsoft\\Outlook\\",
                                   app_data_ + L"\\Microsoft\\Outlook\\"};
  for (const auto& [service, value] : files) own.push_back(FolderPart(value.text));
  {
    RegistryKey shell;
    ASSERT_TRUE(shell.Open(HKEY_CURRENT_USER, kShellFolders, true));
    shell.WriteString(L"Local AppData", moved);
  }
  RestoreDirect(crafted);

  // The backed-up profile is back, its changes gone, its paths moved with the local folder.
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, ProfilePath(kProfiles, kProfile),
                           L"Changed since the backup"));
  const std::map<std::wstring, PathValue> restored = Files();
  ASSERT_EQ(restored.size(), files.size());
  for (const auto& [service, was] : files) {
    const PathValue& now = restored.at(service);
    EXPECT_EQ(now.type, was.type) << ToUtf8(was.text);
    // Moved with the local folder; then, when that is no folder of Outlook's here, into the
    // local Outlook folder's numbered folder.
    std::wstring expected = was.text;
    std::wstring listed_folder = FolderPart(was.text);
    if (expected.starts_with(local_ + L"\\")) expected = moved + expected.substr(local_.size());
    const std::wstring rebased_folder = FolderPart(expected);
    std::vector<std::wstring> rebased_numbered = numbered;
    for (std::wstring& folder : rebased_numbered) {
      if (EqualsIgnoreCase(folder, listed_folder)) folder = rebased_folder;
    }
    expected = ExpectedPlaces({expected}, rebased_numbered, own, moved + L"\\Microsoft\\Outlook\\")
                   .at(expected);
    EXPECT_EQ(now.text, expected);
    EXPECT_TRUE(FileExists(now.text)) << ToUtf8(now.text);
  }
  EXPECT_EQ(PersonalFolders(ProfilePath(kOldProfiles, kProfile)), restored);

  // Nothing planted, nothing outside its target.
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kProfiles, L"DefaultProfile"), kProfile);
  EXPECT_EQ(Joined(Differences(second_before, TakeSnapshot(second))), "");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, L"Planted"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, L"Planted"));
  EXPECT_FALSE(FileExists(L"C:\\Evil\\evil.txt"));
  EXPECT_FALSE(FileExists(L"C:\\evil.txt"));
  EXPECT_FALSE(FileExists(L"C:\\Moved\\evil.txt"));
  EXPECT_TRUE(
      LogHolds({L"Refused: Personal folders not restored, the folder is not valid: "
                L"C:\\Restore\\..\\Evil\\",
                L"Refused: Personal folders not restored, the folder is not valid: Evil\\"}));
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
}

}  // namespace
}  // namespace mailstow::e2e
