#include "base/archive_names.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(ArchiveNames, DefaultNameReplacesEveryNonDigitOfTheDate) {
  EXPECT_EQ(DefaultArchiveName(L"C:\\Docs\\", L"OExpressBackup ", L"06.12.2026"),
            L"C:\\Docs\\OExpressBackup 06-12-2026.ebk");
  EXPECT_EQ(DefaultArchiveName(L"C:\\", L"Mailstow ", L"2026/12/6 (Mo)"),
            L"C:\\Mailstow 2026-12-6-----.ebk");
}

TEST(ArchiveNames, SuggestionHasNoLeadingZeros) {
  EXPECT_EQ(SuggestedArchiveFileName(L"OExpressBackup ", 6, 12, 2026),
            L"OExpressBackup 6-12-2026.ebk");
}

TEST(ArchiveNames, FolderKeepsItsSeparator) {
  EXPECT_EQ(FolderOf(L"D:\\Backups\\a.ebk"), L"D:\\Backups\\");
  EXPECT_EQ(FolderOf(L"a.ebk"), L"");
}

}  // namespace
}  // namespace mailstow
