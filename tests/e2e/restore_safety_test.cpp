// Restores of archives that someone altered, through the real wizard, one row per value an
// archive gives that could place data outside the client's places: nothing appears outside
// them (a sentinel file is looked for over the whole drive), no folder the archive names is
// made, the log says what happened, and a refused part ends the restore as not completed with
// its box. The genuine archive of the same world restores completely first (the control).
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <regex>

#include "base/text_case.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSentinel[] = L"mailstow-sentinel.bat";
constexpr char kSentinelBytes[] = "@echo a file an archive placed\r\n";
constexpr wchar_t kOutside[] = L"C:\\Outside";

// Every file of that name below a folder, by full path.
void FindNamed(const std::wstring& folder, const std::wstring& name,
               std::vector<std::wstring>* found) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring child = entry.cFileName;
    if (child == L"." || child == L"..") continue;
    const std::wstring path = folder + L"\\" + child;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        FindNamed(path, name, found);
      }
    } else if (EqualsIgnoreCase(child, name)) {
      found->push_back(path);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

bool Below(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
         EqualsIgnoreCase(std::wstring_view(path).substr(0, folder.size()), folder);
}

// The member of the genuine archive of that name (any letter case), or empty.
std::string MemberBytes(const std::wstring& archive, const std::wstring& name) {
  for (const std::wstring& member : ArchiveMembers(archive)) {
    std::string bytes;
    if (EqualsIgnoreCase(member, name) && ReadArchiveMember(archive, member, &bytes)) return bytes;
  }
  return {};
}

// The genuine archive with members replaced (by name, any letter case) or added.
bool Craft(const std::wstring& genuine, const std::wstring& crafted,
           const std::vector<PackedMember>& changes) {
  std::vector<PackedMember> members;
  for (const std::wstring& name : ArchiveMembers(genuine)) {
    const bool replaced = std::any_of(changes.begin(), changes.end(), [&](const PackedMember& c) {
      return EqualsIgnoreCase(c.stored_name, name);
    });
    std::string bytes;
    if (!replaced && ReadArchiveMember(genuine, name, &bytes)) members.push_back({name, bytes});
  }
  members.insert(members.end(), changes.begin(), changes.end());
  return PackMembers(crafted, members);
}

struct CraftedCase {
  const char* name;
  ClientSetup client;
  // The members that make the genuine archive a crafted one.
  std::function<std::vector<PackedMember>(const std::wstring& genuine)> changes;
  // A line the log holds afterwards.
  std::wstring log_line;
  // Whether the restore refuses a part: it then ends as not completed with a box.
  bool refused;
};

std::string WithLine(std::string text, const std::string& section, const std::string& line) {
  const size_t at = text.find("[" + section + "]\r\n");
  if (at == std::string::npos) return text + "[" + section + "]\r\n" + line + "\r\n";
  return text.insert(at + section.size() + 4, line + "\r\n");
}

const CraftedCase kCases[] = {
    // Opera's signature note names an absolute folder: the file goes into the account's folder.
    {"OperaSignatureFolder",
     {L"RadioButton13", L"crafted_opera", L"Opera", 9},
     [](const std::wstring&) {
       return std::vector<PackedMember>{
           {L"account1\\signatures.ini",
            "[Directory]\r\nDir=C:\\Outside\\\r\n[Files]\r\nFile=mailstow-sentinel.bat\r\n"},
           {L"account1\\Signatures\\mailstow-sentinel.bat", kSentinelBytes}};
     },
     L"Signature restored into ",
     false},
    // Outlook's personal-folders list names a folder Outlook here does not use: its files come
    // back below the local Outlook folder.
    {"OutlookPersonalFolders",
     {L"RadioButton4", L"crafted_outlook", L"Outlook", 7},
     [](const std::wstring& genuine) {
       return std::vector<PackedMember>{
           {L"others.ini",
            WithLine(MemberBytes(genuine, L"others.ini"), "Directory", "Dir9=C:\\Outside\\")},
           {L"Others\\Dir9\\mailstow-sentinel.bat", kSentinelBytes}};
     },
     L"Personal folders of C:\\Outside\\ restored into ",
     false},
    // The Bat!'s manifest names folders of its own for the users: they stay where they are.
    {"TheBatUserFolders",
     {L"RadioButton9", L"crafted_the_bat", L"TheBat", 5},
     [](const std::wstring& genuine) {
       const std::string manifest = std::regex_replace(
           MemberBytes(genuine, L"infobak.ini"),
           std::regex("(\\[Directory\\][^\\[]*?Item1=)[^\\r]*"), "$1C:\\Outside\\Bat");
       return std::vector<PackedMember>{{L"infobak.ini", manifest}};
     },
     L"not into C:\\Outside\\Bat named by the backup",
     false},
    // PocoMail's settings file points the mail folder outside the program folder: refused.
    {"PocoMailSettingsFile",
     {L"RadioButton10", L"crafted_pocomail", L"PocoMail", 8},
     [](const std::wstring& genuine) {
       const std::string settings =
           std::regex_replace(MemberBytes(genuine, L"poco.ini"), std::regex("MailPath=[^\\r]*"),
                              "MailPath=..\\..\\Outside\\");
       return std::vector<PackedMember>{{L"poco.ini", settings}};
     },
     L"Refused: Settings file not restored, it names a folder outside the user's folder: ",
     true},
    // Pegasus Mail's user-mode dump writes a key besides the user mode: not written, and the
    // restore says the registry data did not all come back.
    {"PegasusUserDump",
     {L"RadioButton8", L"crafted_pegasus", L"PegasusMail", 6},
     [](const std::wstring&) {
       return std::vector<PackedMember>{{L"user.reg",
                                         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mailstow "
                                         "Sentinel]\r\n\"x\"=\"y\"\r\n"}};
     },
     L"Registry dump imported in part: user.reg",
     true},
};

class CraftedRestoreTest : public ClientRoundTrip,
                           public ::testing::WithParamInterface<CraftedCase> {
 protected:
  CraftedRestoreTest() : ClientRoundTrip(GetParam().client) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    RemoveTree(kOutside);
  }

  // Opens an archive and restores everything it offers directly.
  void RestoreAll(const std::wstring& archive) {
    StartAt(L"RadioButton2");
    wizard_.Type(L"Edit4", archive);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 10);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 11);
    RestoreDirectly();
  }
};

TEST_P(CraftedRestoreTest, NothingLandsOutsideTheClientsPlacesAndRefusalsAreTold) {
  const CraftedCase& c = GetParam();
  const std::wstring genuine = L"C:\\Backups\\genuine.ebk";
  Backup(genuine);
  RestoreAll(genuine);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!") << ToUtf8(Log());
  EXPECT_TRUE(wizard_.NoBox());

  const std::wstring crafted = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(Craft(genuine, crafted, c.changes(genuine)));
  RestoreAll(crafted);
  if (c.refused) {
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
    HWND box = wizard_.WaitForBox();
    ASSERT_NE(box, nullptr);
    const std::wstring told = MessageBoxText(box);
    EXPECT_TRUE(told.starts_with(L"This part of the backup file was not restored") ||
                told.starts_with(L"The registry data of this backup file"))
        << ToUtf8(told);
    PressButton(box, L"OK");
  } else {
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!") << ToUtf8(Log());
  }
  EXPECT_TRUE(LogHolds({c.log_line})) << ToUtf8(Log());
  EXPECT_FALSE(FileExists(kOutside));
  EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mailstow Sentinel", L"x", RRF_RT_ANY,
                         nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  std::vector<std::wstring> placed;
  FindNamed(L"C:", kSentinel, &placed);
  for (const std::wstring& path : placed) {
    EXPECT_TRUE(std::any_of(scope_.folders.begin(), scope_.folders.end(),
                            [&](const std::wstring& own) { return Below(path, own); }))
        << ToUtf8(path) << " lies outside the client's folders";
  }
}

INSTANTIATE_TEST_SUITE_P(Values, CraftedRestoreTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CraftedCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace mailstow::e2e
