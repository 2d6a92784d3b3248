#include "engine/job_rules.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(JobRules, ProgressRoundsHalvesToEven) {
  EXPECT_DOUBLE_EQ(ProgressScaleFor(0), 100.0);
  EXPECT_DOUBLE_EQ(ProgressScaleFor(8), 12.5);
  // 8 entries, 4% of the third: share 0.5 rounds to 0; 2 × 12.5 = 25.
  EXPECT_EQ(ProgressPosition(2, 12.5, 4), 25);
  // 12% of 12.5 = 1.5 rounds to 2; 1 × 12.5 + 2 = 14.5 rounds to 14.
  EXPECT_EQ(ProgressPosition(1, 12.5, 12), 14);
  EXPECT_EQ(ProgressPosition(3, 12.5, 100), 50);  // 37.5 + 12.5 exactly
  EXPECT_EQ(ProgressPosition(0, 100, 37), 37);
}

TEST(JobRules, StoredNamesDropTheStripPrefixAndGainTheFolder) {
  EXPECT_EQ(StoredNameFor(L"C:\\Store\\Inbox.dbx", L"Main Identity", L"C:\\Store\\"),
            L"Main Identity\\Inbox.dbx");
  // An empty folder leaves a leading backslash: the archiver stores such names at the root.
  EXPECT_EQ(StoredNameFor(L"C:\\Temp\\infobak.ini", L"", L"C:\\Temp\\"), L"\\infobak.ini");
  EXPECT_EQ(StoredNameFor(L"C:\\a", L"F", L"C:\\longer than the name"), L"F\\");
}

TEST(JobRules, OutputPathsStayInsideTheTargetFolder) {
  EXPECT_EQ(OutputPathFor(L"C:\\P\\Temp\\N\\identity.reg", L"C:\\P\\Temp", L"D:\\Restore\\"),
            L"D:\\Restore\\N\\identity.reg");
  EXPECT_EQ(OutputPathFor(L"c:\\p\\temp\\a.dbx", L"C:\\P\\Temp", L"D:\\R\\"), L"D:\\R\\a.dbx");
  for (const wchar_t* hostile :
       {L"C:\\P\\Temp\\..\\..\\Windows\\x.dll", L"C:\\P\\Temp\\\\x", L"C:\\P\\Temp\\a\\..\\..\\b",
        L"C:\\P\\Temp\\C:\\x", L"C:\\P\\Tempx\\a", L"C:\\Other\\a", L"C:\\P\\Temp\\a:stream"}) {
    EXPECT_FALSE(OutputPathFor(hostile, L"C:\\P\\Temp", L"D:\\R\\").has_value()) << hostile;
  }
  EXPECT_TRUE(StaysInside(L"a\\..b\\c"));  // a name that merely starts with dots is fine
}

TEST(JobRules, FolderPrefixMatchesWholeComponentsInAnyCase) {
  EXPECT_TRUE(InFolder(L"main\\Inbox.dbx", L"Main"));
  EXPECT_TRUE(InFolder(L"MAIN\\sub\\x", L"Main"));
  EXPECT_FALSE(InFolder(L"Main Identity\\Inbox.dbx", L"Main"));
  EXPECT_FALSE(InFolder(L"mainx\\a", L"Main"));
  EXPECT_FALSE(InFolder(L"Main", L"Main"));
}

TEST(JobRules, TreeTargetsKeepTheInnerFoldersBelowTheArchiveFolder) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* prefix;
    std::optional<std::wstring> target;
  };
  const Case cases[] = {
      // Directly in the archive folder: the target folder itself.
      {L"Signatures\\Work.htm", L"Signatures", L"D:\\Sig\\"},
      {L"signatures\\Work_files\\image001.png", L"Signatures", L"D:\\Sig\\Work_files\\"},
      // A folder entry lands in its parent, which the plain extraction joins with its name.
      {L"K\\Archive\\2019", L"K", L"D:\\Sig\\Archive\\"},
      {L"Others\\Dir1\\Sub\\a/b\\c.pst", L"Others\\Dir1", L"D:\\Sig\\Sub\\a\\b\\"},
      // Not in the folder, or an inner part that climbs out of the target.
      {L"SignaturesX\\a.htm", L"Signatures", std::nullopt},
      {L"Signatures", L"Signatures", std::nullopt},
      {L"Signatures\\..\\..\\x.dll", L"Signatures", std::nullopt},
      {L"Signatures\\C:\\x.dll", L"Signatures", std::nullopt},
      {L"Signatures\\a:stream\\x", L"Signatures", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TreeTargetFolder(c.stored, c.prefix, L"D:\\Sig\\"), c.target) << c.stored;
  }
}

}  // namespace
}  // namespace mailstow
