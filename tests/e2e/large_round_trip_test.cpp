// One large mailbox (8 GiB; past every 32-bit size of the archive format) through the real
// wizard: backed up into one archive, deleted, restored directly, and read back with the same
// content, hashed in pieces on both sides. Mailstow's peak memory stays under 64 MiB in both
// runs. Labelled "large" and left out of the default run; MAILSTOW_LARGE_GIB sets another size
// for a quicker check (e.g. 3).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/archive_access.h"
#include "tests/e2e/bulk_mail.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

constexpr unsigned long long kPeakLimit = 64ull << 20;
constexpr wchar_t kArchive[] = L"C:\\Backups\\large.ebk";

unsigned long long MailboxBytes() {
  const char* gib = std::getenv("MAILSTOW_LARGE_GIB");
  const double size = gib != nullptr && std::atof(gib) > 0 ? std::atof(gib) : 8.0;
  return static_cast<unsigned long long>(size * 1073741824.0);
}

class LargeRoundTripTest : public ClientRoundTrip {
 protected:
  LargeRoundTripTest()
      : ClientRoundTrip({L"RadioButton3", L"large", L"OutlookExpress", 1, 0.001, true}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    mailbox_ = MachineIdentities().at(0).store + L"\\Large.dbx";
  }

  // The large files are not left in the prefix.
  void TearDown() override {
    ClientRoundTrip::TearDown();
    wizard_.program().WaitForExit();
    DeleteFileW(mailbox_.c_str());
    DeleteFileW(kArchive);
  }

  // Presses Next on the ready page and waits for the completion page as long as a run of this
  // size may take; returns Mailstow's peak working set, read while it still runs.
  unsigned long long RunToCompletion(int ready_page, int completion_page) {
    EXPECT_EQ(wizard_.ActivePage(), ready_page);
    wizard_.Next();
    EXPECT_TRUE(wizard_.WaitForPage(completion_page, std::chrono::hours(2)))
        << "the run ended on page " << wizard_.ActivePage();
    return PeakWorkingSet(wizard_.program().handle());
  }

  std::wstring mailbox_;
};

TEST_F(LargeRoundTripTest, MailboxComesBackWholeWithinBoundedMemory) {
  const std::optional<std::string> written = WriteMailbox(mailbox_, MailboxBytes());
  ASSERT_TRUE(written.has_value()) << "cannot write " << ToUtf8(mailbox_);

  StartAt(L"RadioButton1");
  ASSERT_EQ(wizard_.ActivePage(), 4);
  wizard_.Next();
  wizard_.FillArchivePage(kArchive, L"", false);
  wizard_.Next();
  const unsigned long long backup_peak = RunToCompletion(6, 8);
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  EXPECT_GT(backup_peak, 0u);
  EXPECT_LT(backup_peak, kPeakLimit) << backup_peak / 1048576 << " MiB";
  const std::vector<std::wstring> members = ArchiveMembers(kArchive);
  EXPECT_EQ(std::count_if(members.begin(), members.end(),
                          [](const std::wstring& name) { return name.ends_with(L"\\Large.dbx"); }),
            1);

  // Deleted first, so that the restore must write it all and keeps no copy of it.
  ASSERT_TRUE(DeleteFileW(mailbox_.c_str()));
  ASSERT_NO_FATAL_FAILURE(OpenForRestore(kArchive, {}));
  ASSERT_NO_FATAL_FAILURE(ConfirmDirectRestore());
  const unsigned long long restore_peak = RunToCompletion(12, 14);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  EXPECT_GT(restore_peak, 0u);
  EXPECT_LT(restore_peak, kPeakLimit) << restore_peak / 1048576 << " MiB";
  EXPECT_EQ(FileSha256(mailbox_), written);
}

}  // namespace
}  // namespace mailstow::e2e
