#include "clients/mail_profile_dump.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

constexpr wchar_t kNt[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kOld[] = L"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";

TEST(MailProfileDump, TheProfileIsTakenFromTheFirstKeyLineOnly) {
  struct Case {
    const wchar_t* dump;
    std::optional<std::wstring> profile;
  };
  const Case cases[] = {
      {L"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
       L"Windows Messaging Subsystem\\Profiles\\Outlook]\r\n\"a\"=\"b\"\r\n",
       L"Outlook"},
      // Letter case of the path and the root is ignored; a sub-key line still names P.
      {L"REGEDIT4\r\n[hkey_current_user\\software\\microsoft\\windows nt\\currentversion\\"
       L"windows messaging subsystem\\profiles\\Privat J\u00f6rg\\9375CFF0]\r\n",
       L"Privat J\u00f6rg"},
      // The first key line decides: a later foreign profile is no help.
      {L"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n[HKEY_CURRENT_USER\\Software\\"
       L"Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\X]\r\n",
       std::nullopt},
      {L"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
       L"Windows Messaging Subsystem\\Profiles\\Outlook]\r\n",
       std::nullopt},
      // The Profiles key itself, a longer sibling name, a traversal name, no key at all.
      {L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
       L"Windows Messaging Subsystem\\Profiles]\r\n",
       std::nullopt},
      {L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
       L"Windows Messaging Subsystem\\ProfilesX\\Outlook]\r\n",
       std::nullopt},
      {L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
       L"Windows Messaging Subsystem\\Profiles\\..]\r\n",
       std::nullopt},
      {L"REGEDIT4\r\n\"a\"=\"[b]\"\r\n", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(DumpedProfile(c.dump, kNt), c.profile) << c.dump;
  EXPECT_EQ(DumpedProfile(L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Messaging "
                          L"Subsystem\\Profiles\\Old]\r\n",
                          kOld),
            L"Old");
}

TEST(MailProfileDump, RelocationMovesKeyLinesAndLeavesValueTextAlone) {
  const std::wstring nt_dump =
      L"REGEDIT4\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
      L"Subsystem\\Profiles\\Outlook]\r\n"
      L"\"Note\"=\"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
      L"Subsystem\\Profiles\"\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
      L"Subsystem\\Profiles\\Outlook\\9375CFF0]\r\n"
      L"\"001e6700\"=hex:43,3a,00\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Other]\r\n";
  const std::wstring old_dump =
      L"REGEDIT4\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\"
      L"Outlook]\r\n"
      L"\"Note\"=\"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
      L"Subsystem\\Profiles\"\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\"
      L"Outlook\\9375CFF0]\r\n"
      L"\"001e6700\"=hex:43,3a,00\r\n\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Other]\r\n";
  EXPECT_EQ(RelocatedDump(nt_dump, kNt, kOld), old_dump);
  EXPECT_EQ(RelocatedDump(old_dump, kOld, kNt), nt_dump);
  // Nothing below the source path: unchanged, without its final line break too.
  EXPECT_EQ(RelocatedDump(nt_dump, kOld, kNt), nt_dump);
  EXPECT_EQ(RelocatedDump(L"[-HKEY_CURRENT_USER\\" + std::wstring(kOld) + L"\\P]", kOld, kNt),
            L"[-HKEY_CURRENT_USER\\" + std::wstring(kNt) + L"\\P]");
}

TEST(MailProfileDump, RebasingKeepsTheRestBelowTheOldFolder) {
  struct Case {
    const wchar_t* path;
    const wchar_t* old_base;
    std::optional<std::wstring> rebased;
  };
  const Case cases[] = {
      {L"C:\\Old\\AppData\\Microsoft\\Outlook\\Archiv\\a.pst", L"c:\\old\\appdata",
       L"D:\\New\\Microsoft\\Outlook\\Archiv\\a.pst"},
      {L"C:\\Old\\AppData\\a.pst", L"C:\\Old\\AppData\\", L"D:\\New\\a.pst"},
      {L"C:\\Old\\AppData", L"C:\\Old\\AppData", L"D:\\New"},
      // A folder whose name merely begins with the old one, a path elsewhere, no old folder.
      {L"C:\\Old\\AppData2\\a.pst", L"C:\\Old\\AppData", std::nullopt},
      {L"E:\\Mail\\C:\\Old\\AppData\\a.pst", L"C:\\Old\\AppData", std::nullopt},
      {L"C:\\a.pst", L"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rebased(c.path, c.old_base, L"D:\\New\\"), c.rebased) << c.path;
  }
}

}  // namespace
}  // namespace mailstow
