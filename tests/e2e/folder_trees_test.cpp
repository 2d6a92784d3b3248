// Folder trees below the folders that backups name, through the real wizard. Each client's
// world gains sub-folders under every kind of folder its backup names (signature pictures,
// attachments, nested mailbox folders, an empty folder); backed up, wiped and restored
// directly, every file comes back byte for byte into its sub-folder, and a restore into
// another folder keeps the trees. The IncrediMail world has two identities of one display
// name, and both come back.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <ostream>

#include "base/folders.h"
#include "base/registry_key.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kImIdentities[] = L"SOFTWARE\\incredimail\\identities";
constexpr wchar_t kTwinName[] = L"Zwilling";

// A file (or, ending with "\", an empty folder) put below every folder of the world whose path
// ends with `below` (every folder of the world's scope when it is empty).
struct NestedFile {
  const wchar_t* below;
  const wchar_t* path;
};

// What a restore into another folder must hold: the nested file of that index (byte for byte)
// or, for none, just a file, at a path below the chosen folder.
struct OtherFolderFile {
  int nested;
  const wchar_t* path;
};

struct TreeCase {
  const char* name;
  const wchar_t* client;
  const wchar_t* radio_button;
  const wchar_t* program_name;
  std::vector<NestedFile> nested;
  std::vector<OtherFolderFile> other_folder;
  // Changes the installed world before the nested files are added.
  std::function<void()> prepare;
  // Registry keys below HKEY_CURRENT_USER that are wiped with the folders and must come back.
  std::vector<std::wstring> keys;
  // A file that the direct restore deletes on purpose (a cache naming the replaced data).
  const wchar_t* dropped = nullptr;
};

void PrintTo(const TreeCase& c, std::ostream* out) { *out << c.name; }

// The identity keys in registry order.
std::vector<std::wstring> ImIdentityKeys() {
  RegistryKey list;
  if (!list.Open(HKEY_CURRENT_USER, kImIdentities, false, KEY_READ)) return {};
  return list.SubKeyNames();
}

// Every identity the client would skip made valid, so that all of them are backed up, and the
// first `twins` given one display name.
void ValidateImIdentities(size_t twins) {
  const std::vector<std::wstring> keys = ImIdentityKeys();
  ASSERT_GE(keys.size(), twins);
  for (size_t i = 0; i < keys.size(); ++i) {
    RegistryKey identity;
    ASSERT_TRUE(
        identity.Open(HKEY_CURRENT_USER, std::wstring(kImIdentities) + L"\\" + keys[i], true));
    identity.WriteInteger(L"IsValid", 1);
    if (i < twins) identity.WriteString(L"Identity", kTwinName);
  }
}

const TreeCase kCases[] = {
    {"Outlook",
     L"Outlook",
     L"RadioButton4",
     L"outlook",
     {{L"\\Microsoft\\Signatures", L"Work_files\\image001.png"},
      {L"\\Microsoft\\Signatures", L"Work_files\\filelist.xml"},
      {L"\\Microsoft\\Outlook", L"Offline Address Books\\Sub\\udetails.oab"},
      {L"\\Microsoft\\Outlook", L"Empty\\"}},
     {{0, L"Signatures\\Work_files\\image001.png"},
      {2, L"local\\Offline Address Books\\Sub\\udetails.oab"}},
     nullptr,
     {},
     L"outlook.FAV"},
    {"OutlookExpress",
     L"OutlookExpress",
     L"RadioButton3",
     L"outlook_express",
     {{L"", L"Archive\\2019\\January.dbx"}, {L"", L"Archive\\Empty\\"}},
     {},
     nullptr,
     {}},
    {"IncrediMail",
     L"IncrediMail",
     L"RadioButton7",
     L"incredimail",
     {{L"\\Message Store\\Attachments", L"2019\\invoice.pdf"},
      {L"\\Message Store", L"Archive\\2018\\Old.imm"},
      {L"\\AddressBook", L"Groups\\Family.imb"},
      {L"\\Letter", L"Images\\flower.jpg"}},
     // Each twin's dumps in a folder of its own.
     {{3, L"Stationery\\Letter\\Images\\flower.jpg"},
      {-1, L"Zwilling\\identity.reg"},
      {-1, L"Zwilling (2)\\identity.reg"}},
     [] { ValidateImIdentities(2); },
     {kImIdentities}},
    {"PocoMail",
     L"PocoMail",
     L"RadioButton10",
     L"pocomail",
     {{L"\\Attachments", L"2004\\invoice.pdf"},
      {L"\\Signatures", L"Pictures\\logo.png"},
      {L"\\Address", L"Groups\\family.grp"},
      {L"\\Scripts", L"Lib\\helpers.pms"},
      {L"\\Mail\\Work", L"notes\\readme.txt"},
      {L"\\Mail\\Work", L"extra.txt"},
      {L"\\Anna\\Attach", L"2004\\invoice.pdf"},
      {L"\\Anna\\Mail", L"Archive\\2004.mbx"},
      {L"\\Anna\\Mail", L"Archive\\Empty\\"}},
     {{4, L"Mail\\Work\\notes\\readme.txt"}, {7, L"users\\Anna\\Mail\\Archive\\2004.mbx"}},
     nullptr,
     {}},
};

// Bytes that differ for every nested file and do not compress.
std::string ContentFor(const std::wstring& path) {
  std::string bytes = ToUtf8(path) + "\n";
  uint32_t state = static_cast<uint32_t>(std::hash<std::wstring>{}(path));
  for (int i = 0; i < 20000; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes.push_back(static_cast<char>(state >> 24));
  }
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  if (!CreateFolderTree(path.substr(0, path.find_last_of(L'\\')))) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  return CloseHandle(file) && ok;
}

bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& end) {
  if (text.size() < end.size()) return false;
  return CompareStringOrdinal(text.c_str() + text.size() - end.size(), static_cast<int>(end.size()),
                              end.c_str(), static_cast<int>(end.size()), TRUE) == CSTR_EQUAL;
}

class FolderTreesTest : public ClientRoundTrip, public ::testing::WithParamInterface<TreeCase> {
 protected:
  FolderTreesTest() : ClientRoundTrip({GetParam().radio_button, GetParam().program_name}) {}

  // The existing folders of the world's scope and every folder below them whose path ends
  // with the text, each once.
  std::vector<std::wstring> FoldersEndingWith(const std::wstring& end) const {
    std::vector<std::wstring> found;
    auto take = [&found](const std::wstring& folder) {
      if (std::find(found.begin(), found.end(), folder) == found.end()) found.push_back(folder);
    };
    for (const std::wstring& root : scope_.folders) {
      if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
      if (end.empty()) {
        take(root);
        continue;
      }
      if (EndsWithIgnoringCase(root, end)) take(root);
      for (const auto& [path, hash] : TreeOf(root)) {
        if (hash.empty() && EndsWithIgnoringCase(L"\\" + path, end)) take(root + L"\\" + path);
      }
    }
    return found;
  }

  SnapshotSpec scope_;
};

TEST_P(FolderTreesTest, EveryFolderBelowANamedFolderComesBackIntoItsPlace) {
  const TreeCase& c = GetParam();
  ASSERT_TRUE(InstallClientWorld(c.client, 24, 0.01, &scope_));
  if (c.prepare) {
    ASSERT_NO_FATAL_FAILURE(c.prepare());
  }

  // The nested files, and the named folders that hold them.
  std::vector<std::wstring> named;
  std::vector<std::wstring> first_copy;  // the first path of each nested file
  for (const NestedFile& nested : c.nested) {
    const std::vector<std::wstring> folders = FoldersEndingWith(nested.below);
    ASSERT_FALSE(folders.empty()) << "no folder of the world ends with " << ToUtf8(nested.below)
                                  << "; the world has " << Joined(scope_.folders);
    for (const std::wstring& folder : folders) {
      const std::wstring path = folder + L"\\" + nested.path;
      if (path.ends_with(L"\\")) {
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.size() - 1))) << ToUtf8(path);
      } else {
        ASSERT_TRUE(WriteFileBytes(path, ContentFor(path))) << ToUtf8(path);
      }
      if (std::find(named.begin(), named.end(), folder) == named.end()) named.push_back(folder);
    }
    first_copy.push_back(folders.front() + L"\\" + nested.path);
  }
  std::vector<std::map<std::wstring, std::string>> trees;
  for (const std::wstring& folder : named) trees.push_back(TreeOf(folder));
  SnapshotSpec registry;
  for (const std::wstring& key : c.keys) registry.branches.push_back({L"HKEY_CURRENT_USER", key});
  const Snapshot keys_before = TakeSnapshot(registry);

  const std::wstring archive = L"C:\\Backups\\trees.ebk";
  Backup(archive);
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  for (const NestedFile& nested : c.nested) {
    const std::wstring tail = std::wstring(L"\\") + nested.path;
    const bool stored = std::any_of(members.begin(), members.end(), [&](const std::wstring& m) {
      return EndsWithIgnoringCase(m + (tail.ends_with(L"\\") ? L"\\" : L""), tail);
    });
    EXPECT_TRUE(stored) << "not in the archive: " << ToUtf8(nested.path);
  }

  // Lost: every named folder, and the keys.
  for (const std::wstring& folder : named) RemoveTree(folder);
  for (const std::wstring& key : c.keys) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  OpenForRestore(archive, shown_.identities);
  RestoreDirectly();
  for (size_t i = 0; i < named.size(); ++i) {
    if (c.dropped != nullptr) trees[i].erase(c.dropped);
    EXPECT_EQ(TreeDifferences(trees[i], TreeOf(named[i])), "") << ToUtf8(named[i]);
  }
  EXPECT_EQ(Joined(Differences(keys_before, TakeSnapshot(registry))), "");

  if (c.other_folder.empty()) return;
  OpenForRestore(archive, shown_.identities);
  RestoreInto(L"C:\\Restore\\");
  for (const OtherFolderFile& file : c.other_folder) {
    const std::wstring path = std::wstring(L"C:\\Restore\\") + file.path;
    const std::string restored = FileBytes(path);
    EXPECT_FALSE(restored.empty()) << "missing: " << ToUtf8(path);
    if (file.nested >= 0) {
      EXPECT_TRUE(restored == FileBytes(first_copy[static_cast<size_t>(file.nested)]))
          << ToUtf8(path);
    }
  }
}

// An IncrediMail archive of the layout before identities of one display name were told apart
// (no [DumpFolders]: every identity's dumps lie under its display name) still restores.
using EarlierArchiveTest = FolderTreesTest;

TEST_P(EarlierArchiveTest, AnIncrediMailArchiveWithoutDumpFoldersRestoresEveryIdentity) {
  ASSERT_TRUE(InstallClientWorld(GetParam().client, 25, 0.01, &scope_));
  ASSERT_NO_FATAL_FAILURE(ValidateImIdentities(0));
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\im.ebk";
  Backup(archive);
  std::vector<PackedMember> earlier;
  for (const std::wstring& name : ArchiveMembers(archive)) {
    PackedMember member{name, {}};
    if (!ReadArchiveMember(archive, name, &member.bytes)) continue;  // a folder's own entry
    if (name == L"infobak.ini") {
      const size_t start = member.bytes.find("[DumpFolders]");
      ASSERT_NE(start, std::string::npos);
      const size_t end = member.bytes.find("\r\n[", start);
      member.bytes.erase(start, end == std::string::npos ? std::string::npos : end + 2 - start);
    }
    earlier.push_back(std::move(member));
  }
  const std::wstring earlier_archive = L"C:\\Backups\\earlier.ebk";
  ASSERT_TRUE(PackMembers(earlier_archive, earlier));
  EXPECT_TRUE(ArchiveIni(earlier_archive, L"infobak.ini").KeyNames(L"DumpFolders").empty());

  // Lost: every identity's keys and folders.
  for (const std::wstring& key : ImIdentityKeys()) {
    ASSERT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, std::wstring(kImIdentities) + L"\\" + key));
  }
  RemoveTree(scope_.folders.front() + L"\\Identities");
  OpenForRestore(earlier_archive, shown_.identities);
  RestoreDirectly();
  EXPECT_EQ(Joined(Differences(before, TakeSnapshot(scope_))), "");
}

std::string CaseName(const ::testing::TestParamInfo<TreeCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Clients, EarlierArchiveTest, ::testing::Values(kCases[2]), CaseName);

INSTANTIATE_TEST_SUITE_P(Clients, FolderTreesTest, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace mailstow::e2e
