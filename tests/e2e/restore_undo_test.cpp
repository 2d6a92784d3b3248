// Undoing a direct restore through the real wizard, for three clients of different kinds
// (Outlook Express: registry and store; Mozilla: a profile list and its trees; Pegasus Mail:
// several users): state A is backed up, the world changes to state B (mail added to a mailbox
// and as a new file, files and registry keys and values of A gone, values changed), the archive
// brings A back, and the undo brings B back byte for byte, registry included, with nothing of
// A's left. Then the limits: a safety copy that cannot be written, and a drive too small for
// it, stop the restore before anything changes unless the user chooses to go on without undo.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <thread>

#include "base/registry_key.h"
#include "base/text_case.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kUndone[] =
    L"The restore was undone: the E-mail Client data is back as it was before it.";
constexpr wchar_t kKept[] =
    L"The data this restore replaced was kept first: the restore can be undone.";
constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool EndsWithName(const std::wstring& path, const std::wstring& member) {
  return path.size() > member.size() && path[path.size() - member.size() - 1] == L'\\' &&
         EqualsIgnoreCase(std::wstring_view(path).substr(path.size() - member.size()), member);
}

// The text of a registry dump member, in either of the encodings dumps are written in.
std::wstring DumpText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  }
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(),
                                                      static_cast<int>(bytes.size()), text.data(),
                                                      static_cast<int>(text.size()))));
  return text;
}

// The keys the archive's registry dumps name, as snapshots name them ("ROOT\path").
std::vector<std::wstring> DumpedKeys(const std::wstring& archive) {
  std::vector<std::wstring> keys;
  for (const std::wstring& member : ArchiveMembers(archive)) {
    std::string bytes;
    if (!member.ends_with(L".reg") || !ReadArchiveMember(archive, member, &bytes)) continue;
    const std::wstring text = DumpText(bytes);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(L'\n', start);
      if (end == std::wstring::npos) end = text.size();
      std::wstring line = text.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
        keys.push_back(line.substr(1, line.size() - 2));
      }
    }
  }
  return keys;
}

// A snapshot's key by its dump name, or null.
const KeyShot* KeyNamed(const Snapshot& shot, const std::wstring& name) {
  for (const KeyShot& key : shot.keys) {
    if (EqualsIgnoreCase(key.path, name)) return &key;
  }
  return nullptr;
}

HKEY RootOf(const std::wstring& name, std::wstring* path) {
  const size_t cut = name.find(L'\\');
  *path = name.substr(cut + 1);
  return name.starts_with(L"HKEY_LOCAL_MACHINE") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

RegistryKey OpenForChange(const std::wstring& name) {
  std::wstring path;
  const HKEY root = RootOf(name, &path);
  RegistryKey key;
  key.Open(root, path, false, KEY_READ | KEY_SET_VALUE);
  return key;
}

// What state B changed against A, for the checks after the restore.
struct StateChanges {
  std::wstring appended;  // a mailbox with new mail
  std::wstring deleted;   // a file of A that B lacks
  std::wstring added;     // a file only B has
  std::wstring changed_key, changed_value;
  std::wstring removed_key, removed_value;  // a value of A that B lacks
  std::wstring removed_sub_key;             // a key of A that B lacks
};

struct UndoCase {
  const char* name;
  ClientSetup client;
  bool undo_from_restore_path;  // the undo is started on page 9, not on the completion page
};

const UndoCase kCases[] = {
    {"OutlookExpress", {L"RadioButton3", L"undo_outlook_express", L"OutlookExpress", 5}, false},
    {"Mozilla", {L"RadioButton6", L"undo_mozilla", L"Netscape", 7, 0.05}, false},
    {"PegasusMail", {L"RadioButton8", L"undo_pegasus_mail", L"PegasusMail", 6}, true},
};

std::string CaseName(const ::testing::TestParamInfo<UndoCase>& info) { return info.param.name; }

class RestoreUndoTest : public ClientRoundTrip {
 protected:
  explicit RestoreUndoTest(const ClientSetup& client) : ClientRoundTrip(client) {}

  // Changes the world from state A (backed up in the archive) to state B, touching only what
  // the archive holds, so that the restore has something to bring back in each kind.
  StateChanges ChangeToStateB(const std::wstring& archive, const Snapshot& state_a) {
    StateChanges changes;
    const std::vector<std::wstring> members = ArchiveMembers(archive);
    std::vector<const FileShot*> covered;
    for (const FileShot& file : state_a.files) {
      if (file.folder || file.size == 0) continue;
      if (std::any_of(members.begin(), members.end(),
                      [&](const std::wstring& member) { return EndsWithName(file.path, member); }))
        covered.push_back(&file);
    }
    EXPECT_GE(covered.size(), 2u) << "the archive holds too few of the world's files";
    if (covered.size() < 2) return changes;
    std::sort(covered.begin(), covered.end(),
              [](const FileShot* a, const FileShot* b) { return a->size > b->size; });
    changes.appended = covered.front()->path;
    changes.deleted = covered.back()->path;
    EXPECT_TRUE(WriteBytes(changes.appended,
                           FileBytes(changes.appended) + "\r\nFrom: state B\r\n\r\nNew mail\r\n"));
    EXPECT_TRUE(DeleteFileW(changes.deleted.c_str()));
    changes.added =
        changes.appended.substr(0, changes.appended.find_last_of(L'\\')) + L"\\state b mail.txt";
    EXPECT_TRUE(WriteBytes(changes.added, "mail that came after the backup"));

    std::vector<const KeyShot*> dumped;
    for (const std::wstring& name : DumpedKeys(archive)) {
      const KeyShot* key = KeyNamed(state_a, name);
      if (key != nullptr) dumped.push_back(key);
    }
    for (const KeyShot* key : dumped) {
      if (key->values.empty() || !changes.changed_key.empty()) continue;
      changes.changed_key = key->path;
      changes.changed_value = key->values.front().name;
      RegistryKey open = OpenForChange(key->path);
      EXPECT_TRUE(open.WriteString(changes.changed_value, L"changed in state B"));
    }
    for (const KeyShot* key : dumped) {
      if (key->values.size() < 2 || !changes.removed_key.empty()) continue;
      changes.removed_key = key->path;
      changes.removed_value = key->values.back().name;
      RegistryKey open = OpenForChange(key->path);
      EXPECT_TRUE(open.DeleteValue(changes.removed_value));
    }
    // A key of A below another dumped key, with no dumped key below it.
    for (const KeyShot* key : dumped) {
      const bool has_parent = std::any_of(dumped.begin(), dumped.end(), [&](const KeyShot* other) {
        return key->path.size() > other->path.size() + 1 &&
               EqualsIgnoreCase(std::wstring_view(key->path).substr(0, other->path.size() + 1),
                                other->path + L"\\");
      });
      const bool has_child = std::any_of(dumped.begin(), dumped.end(), [&](const KeyShot* other) {
        return other->path.size() > key->path.size() + 1 &&
               EqualsIgnoreCase(std::wstring_view(other->path).substr(0, key->path.size() + 1),
                                key->path + L"\\");
      });
      if (!has_parent || has_child || key->path == changes.changed_key ||
          key->path == changes.removed_key) {
        continue;
      }
      changes.removed_sub_key = key->path;
      std::wstring path;
      const HKEY root = RootOf(key->path, &path);
      EXPECT_TRUE(DeleteRegistryTree(root, path));
      break;
    }
    return changes;
  }

  // What the restore of A must have brought back of B's changes.
  void ExpectStateABack(const StateChanges& changes, const Snapshot& state_a) {
    const Snapshot now = TakeSnapshot(scope_);
    for (const std::wstring& path : {changes.appended, changes.deleted}) {
      const auto was = std::find_if(state_a.files.begin(), state_a.files.end(),
                                    [&](const FileShot& f) { return f.path == path; });
      const auto is = std::find_if(now.files.begin(), now.files.end(),
                                   [&](const FileShot& f) { return f.path == path; });
      ASSERT_NE(is, now.files.end()) << ToUtf8(path) << " was not restored";
      EXPECT_EQ(is->hash, was->hash) << ToUtf8(path) << " is not as it was in state A";
    }
    if (!changes.changed_key.empty()) {
      EXPECT_EQ(KeyNamed(now, changes.changed_key)->values,
                KeyNamed(state_a, changes.changed_key)->values);
    }
    if (!changes.removed_key.empty()) {
      EXPECT_EQ(KeyNamed(now, changes.removed_key)->values,
                KeyNamed(state_a, changes.removed_key)->values);
    }
    if (!changes.removed_sub_key.empty()) {
      EXPECT_NE(KeyNamed(now, changes.removed_sub_key), nullptr);
    }
  }

  // Backs up state A into the archive and turns the world into state B.
  void BackUpAThenChangeToB() {
    Backup(kArchive);
    state_a_ = TakeSnapshot(scope_);
    changes_ = ChangeToStateB(kArchive, state_a_);
    state_b_ = TakeSnapshot(scope_);
  }

  // Waits until the undo's run has ended on the completion page.
  bool WaitForUndo() {
    for (int tries = 0; tries < 600; ++tries) {
      if (wizard_.ActivePage() == 14 && wizard_.Text(L"Label33") == kUndone) return true;
      if (wizard_.ActivePage() == 14 && wizard_.Text(L"Label30") == L"Restore not completed!")
        return false;
      std::this_thread::sleep_for(200ms);
    }
    return false;
  }

  static constexpr wchar_t kArchive[] = L"C:\\Backups\\state a.ebk";
  Snapshot state_a_, state_b_;
  StateChanges changes_;
};

class RestoreUndoRoundTrip : public RestoreUndoTest,
                             public ::testing::WithParamInterface<UndoCase> {
 protected:
  RestoreUndoRoundTrip() : RestoreUndoTest(GetParam().client) {}
};

TEST_P(RestoreUndoRoundTrip, UndoBringsBackWhatTheRestoreReplacedAndNothingOfTheArchiveStays) {
  BackUpAThenChangeToB();
  ASSERT_NE(Joined(Differences(state_a_, state_b_)), "");

  Restore(kArchive, {});
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!") << ToUtf8(Log());
  EXPECT_EQ(wizard_.Text(L"Label37"), kKept);
  ASSERT_TRUE(IsShown(wizard_.Control(L"Button12")));
  wizard_.Screenshot(std::wstring(GetParam().client.program_name) + L"_restored");
  ExpectStateABack(changes_, state_a_);
  EXPECT_TRUE(LogHolds({L"Keeping the data this restore replaces: "}));

  if (GetParam().undo_from_restore_path) {
    wizard_.Close();
    StartAt(L"RadioButton2");
    ASSERT_EQ(wizard_.ActivePage(), 9);
    ASSERT_TRUE(IsShown(wizard_.Control(L"Button11")));
    wizard_.Screenshot(std::wstring(GetParam().client.program_name) + L"_undo_offer");
    EXPECT_TRUE(wizard_.Text(L"Button11").starts_with(L"Undo the last restore of Pegasus Mail ("))
        << ToUtf8(wizard_.Text(L"Button11"));
    wizard_.Press(L"Button11");
  } else {
    wizard_.Press(L"Button12");
  }
  EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
  ASSERT_TRUE(WaitForUndo()) << ToUtf8(Log());
  EXPECT_TRUE(wizard_.NoBox());
  EXPECT_EQ(Joined(Differences(state_b_, TakeSnapshot(scope_))), "") << ToUtf8(Log());
  EXPECT_FALSE(FileExists(changes_.deleted)) << "a file of A stayed";
  EXPECT_FALSE(IsShown(wizard_.Control(L"Button12")));

  // The undo is used up: the restore path offers none.
  wizard_.Close();
  StartAt(L"RadioButton2");
  EXPECT_FALSE(IsShown(wizard_.Control(L"Button11")));
}

INSTANTIATE_TEST_SUITE_P(Clients, RestoreUndoRoundTrip, ::testing::ValuesIn(kCases), CaseName);

// The user's local application data folder, where the undo is kept.
std::wstring LocalAppData() {
  return ReadRegistryString(HKEY_CURRENT_USER, kShellFolders, L"Local AppData");
}

// The client the limits are tried on.
const UndoCase kLimitsCase = {
    "Limits", {L"RadioButton8", L"undo_limits", L"PegasusMail", 6}, false};

class SafetyCopyLimits : public RestoreUndoTest, public ::testing::WithParamInterface<UndoCase> {
 protected:
  SafetyCopyLimits() : RestoreUndoTest(GetParam().client) {}
  void TearDown() override {
    RestoreUndoTest::TearDown();
    RegistryKey folders;
    if (folders.Open(HKEY_CURRENT_USER, kShellFolders, false)) {
      folders.WriteString(L"Local AppData", saved_local_);
    }
  }
  std::wstring saved_local_;
};

TEST_P(SafetyCopyLimits, NoRoomOrNoPlaceForTheCopyStopsTheRestoreBeforeAnyChange) {
  BackUpAThenChangeToB();

  // The undo folder cannot be made: a file stands in its place.
  const std::wstring mailstow = LocalAppData() + L"\\Mailstow";
  RemoveTree(mailstow);
  ASSERT_TRUE(CreateDirectoryW(mailstow.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(mailstow + L"\\Undo", "not a folder"));
  OpenForRestore(kArchive, {});
  ConfirmDirectRestore();
  wizard_.Next();
  HWND box = wizard_.WaitForBox(60s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"The data this restore would replace could not be kept for an undo, so nothing was "
            L"restored. Log.txt tells why.");
  PressButton(box, L"OK");
  EXPECT_TRUE(wizard_.WaitForPage(12));
  EXPECT_EQ(Joined(Differences(state_b_, TakeSnapshot(scope_))), "");
  RemoveTree(mailstow);

  // The undo folder lies on a drive too small for the copy: No keeps page 12 and changes
  // nothing, Yes restores without an undo.
  RegistryKey folders;
  ASSERT_TRUE(folders.Open(HKEY_CURRENT_USER, kShellFolders, false));
  saved_local_ = folders.ReadString(L"Local AppData").value;
  ULARGE_INTEGER small_drive{};
  if (!GetDiskFreeSpaceExW(L"S:\\", nullptr, &small_drive, nullptr) ||
      small_drive.QuadPart > (1ULL << 20)) {
    GTEST_SKIP() << "no small drive S: here (mounting needs a mount namespace)";
  }
  ASSERT_TRUE(folders.WriteString(L"Local AppData", L"S:\\Local"));
  ASSERT_TRUE(CreateDirectoryW(L"S:\\Local", nullptr));
  wizard_.Next();
  box = wizard_.WaitForBox(60s);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(MessageBoxText(box).starts_with(
      L"There is not enough free space in S:\\Local\\Mailstow\\Undo to keep the data this "
      L"restore replaces ("))
      << ToUtf8(MessageBoxText(box));
  PressButton(box, L"No");
  EXPECT_TRUE(wizard_.WaitForPage(12));
  EXPECT_EQ(Joined(Differences(state_b_, TakeSnapshot(scope_))), "");
  wizard_.Next();
  box = wizard_.WaitForBox(60s);
  ASSERT_NE(box, nullptr);
  PressButton(box, L"Yes");
  ASSERT_TRUE(wizard_.WaitForPage(14, 120s));
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  EXPECT_FALSE(IsShown(wizard_.Control(L"Button12")));
  EXPECT_TRUE(LogHolds({L"Restoring without the possibility to undo it."}));
  ExpectStateABack(changes_, state_a_);
}

INSTANTIATE_TEST_SUITE_P(Drive, SafetyCopyLimits, ::testing::Values(kLimitsCase), CaseName);

}  // namespace
}  // namespace mailstow::e2e
