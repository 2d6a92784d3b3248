// Backup and restore jobs against the real archiver library and the real file system:
// stored names, log blocks, callback events and progress, selection by folder, both
// extraction variants, long job lists and Exit during packing.
#include <windows.h>

#include <algorithm>
#include <set>

#include "tests/engine/job_test_support.h"

namespace mailstow::testing {
namespace {

using Names = std::vector<std::wstring>;

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

// The bar rises to 100 once per phase: a restore has one, a backup two (the entries are
// stored, then read back), each starting from where the bar fell.
void ExpectRisesTo100(const std::vector<int>& positions, int phases) {
  ASSERT_FALSE(positions.empty());
  std::vector<std::vector<int>> runs(1);
  for (size_t i = 0; i < positions.size(); ++i) {
    if (i > 0 && positions[i] < positions[i - 1]) runs.emplace_back();
    runs.back().push_back(positions[i]);
  }
  ASSERT_EQ(runs.size(), static_cast<size_t>(phases));
  for (const std::vector<int>& run : runs) {
    EXPECT_LE(*std::max_element(run.begin(), run.end()), 100);
    EXPECT_EQ(run.back(), 100);
  }
}

std::wstring Today() {
  wchar_t date[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
  return date;
}

class ArchiveJobTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    src_ = root_ + L"\\src";
    folder_s_ = src_ + L"\\S";
    MakeFolder(folder_s_ + L"\\sub\\deeper");
    WriteBytes(folder_s_ + L"\\F.txt", "file F");
    WriteBytes(folder_s_ + L"\\notes.dat", "notes");
    WriteBytes(folder_s_ + L"\\sub\\G.txt", "file G in sub");
    WriteBytes(staging_ + L"\\infobak.ini", "[Backup]\r\nEmailClient=OutlookExpress\r\n");
    archive_ = root_ + L"\\backup.ebk";
  }

  std::wstring src_;
  std::wstring folder_s_;
  std::wstring archive_;
};

TEST_F(ArchiveJobTest, EntriesAreStoredUnderFolderAndSourceLessStripPrefix) {
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(folder_s_ + L"\\F.txt", L"K", folder_s_ + L"\\");
  // The prefix may end above the file: the inner folders stay in the name.
  job_->AddJobEntry(folder_s_ + L"\\sub\\G.txt", L"K", folder_s_ + L"\\");
  job_->AddJobEntry(folder_s_ + L"\\F.txt", L"Deep\\er", src_ + L"\\");
  // Only the prefix's length counts, not its letters.
  job_->AddJobEntry(folder_s_ + L"\\notes.dat", L"Len", std::wstring(folder_s_.size() + 1, L'?'));
  // An empty folder puts the entry at the root.
  job_->AddJobEntry(staging_ + L"\\infobak.ini", L"", staging_ + L"\\");
  job_->AddFolderEntries(folder_s_, L"All", folder_s_ + L"\\", L"*");
  job_->AddFolderEntries(folder_s_, L"Txt", folder_s_ + L"\\", L"txt");
  ASSERT_EQ(job_->entries().size(), 11u);  // 5 single entries, 5 of "*", 1 of "*.txt"
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();

  const Names names = Listed(archive_);
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(Names(names.begin(), names.begin() + 5),
            (Names{L"K\\F.txt", L"K\\sub\\G.txt", L"Deep\\er\\S\\F.txt", L"Len\\notes.dat",
                   L"infobak.ini"}));
  // "*" takes the folder whole: every sub-folder with everything below it, the empty one as a
  // folder entry; a pattern takes only what matches directly in the folder.
  EXPECT_EQ(Sorted(Names(names.begin() + 5, names.end())),
            (Names{L"All\\F.txt", L"All\\notes.dat", L"All\\sub", L"All\\sub\\G.txt",
                   L"All\\sub\\deeper", L"Txt\\F.txt"}));

  // A second pack to the same path replaces the archive.
  Pack(archive_, {{folder_s_ + L"\\notes.dat", L"Again", folder_s_ + L"\\"}});
  EXPECT_EQ(Listed(archive_), Names{L"Again\\notes.dat"});
}

TEST_F(ArchiveJobTest, BackupAndRestoreWriteTheirLogBlocksLineForLine) {
  const std::wstring log_path = root_ + L"\\Log.txt";
  WriteBytes(log_path, "an older log that the new one replaces\r\n");
  const std::wstring day_before = Today();
  ASSERT_TRUE(log_.Open(log_path));

  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(folder_s_ + L"\\F.txt", L"K", folder_s_ + L"\\");
  job_->AddJobEntry(staging_ + L"\\infobak.ini", L"", staging_ + L"\\");
  BackupDescription description;
  description.identities = {L"Main Identity", L"Second"};
  description.items = {L"Accounts Settings", L"Mail Folders"};
  description.client_index = 1;
  ASSERT_EQ(job_->PackJob(archive_, description), 0);
  job_->ReleaseFileList();

  const std::wstring target = root_ + L"\\restored\\";
  job_->PrepareExtract();
  job_->AddExtractEntry(L"infobak.ini", staging_ + L"\\");
  job_->AddExtractEntry(L"k\\f.TXT", target);
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();

  // A job without entries still calls the archiver.
  const std::wstring empty_archive = root_ + L"\\empty.ebk";
  job_->PrepareBackup(false, 0);
  EXPECT_EQ(job_->PackJob(empty_archive, {}), 0);
  job_->ReleaseFileList();
  EXPECT_DOUBLE_EQ(job_->progress_scale(), 100.0);
  EXPECT_TRUE(Exists(empty_archive));
  log_.Close();

  const Names lines = CrLfLines(log_path);
  ASSERT_FALSE(lines.empty());
  const std::wstring& first = lines.front();
  EXPECT_TRUE(first.starts_with(day_before + L" ") || first.starts_with(Today() + L" ")) << first;
  EXPECT_GT(first.size(), day_before.size() + 1) << "the time follows the date";
  const Names expected = {
      L"",
      L"Backup",
      L"",
      L"Identity:",
      L"  Main Identity",
      L"  Second",
      L"Items:",
      L"  Accounts Settings",
      L"  Mail Folders",
      L"Destination file: " + archive_,
      L"EmailClient: 1",
      L"",
      L"File number: 1",
      L"File: " + folder_s_ + L"\\F.txt",
      L"Folder: K",
      L"Del Folder: " + folder_s_ + L"\\",
      L"",
      L"File number: 2",
      L"File: " + staging_ + L"\\infobak.ini",
      L"Folder: ",
      L"Del Folder: " + staging_ + L"\\",
      L"",
      L"Total lines: 2",
      L"Error code: 0",
      L"Error line: 2",
      L"Verified: 2 of 2 entries read back",
      // The restore block.
      L"",
      L"File number: 1",
      L"File: infobak.ini",
      L"Folder: " + staging_ + L"\\",
      L"",
      L"File number: 2",
      L"File: k\\f.TXT",
      L"Folder: " + target,
      L"",
      L"Total lines: 2",
      L"Error code: 0",
      L"Error line: 2",
      // The empty backup.
      L"",
      L"Backup",
      L"",
      L"Identity:",
      L"Items:",
      L"Destination file: " + empty_archive,
      L"EmailClient: 0",
      L"",
      L"Total lines: 0",
      L"Error code: 0",
      L"Error line: 0",
  };
  EXPECT_EQ(Names(lines.begin() + 1, lines.end()), expected);
  EXPECT_EQ(ReadBytes(target + L"F.txt"), "file F");
}

TEST_F(ArchiveJobTest, EventsFollowTheEntriesAndProgressEndsAtTheTop) {
  // One file large enough for several progress reports of its own (one per MiB read).
  std::string large(2600 * 1024, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 7919) >> 5);
  WriteBytes(src_ + L"\\large.bin", large);
  WriteBytes(src_ + L"\\two.txt", "two");
  WriteBytes(src_ + L"\\three.txt", "three");
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(folder_s_ + L"\\F.txt", L"D1", folder_s_ + L"\\");
  job_->AddJobEntry(src_ + L"\\large.bin", L"D2", src_ + L"\\");
  job_->AddJobEntry(src_ + L"\\two.txt", L"D3\\x", root_ + L"\\");
  job_->AddJobEntry(src_ + L"\\three.txt", L"D4", src_ + L"\\");
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(job_->current_entry(), 4);
  EXPECT_GT(host_.backup_progress.size(), 4u) << "the large file reports its own progress";
  ExpectRisesTo100(host_.backup_progress, 2);
  EXPECT_EQ(Listed(archive_),
            (Names{L"D1\\F.txt", L"D2\\large.bin", L"D3\\x\\src\\two.txt", L"D4\\three.txt"}));

  // A restore in two runs: the extracted-entry counter runs on across them, and every
  // extracted member goes to the target folder of its own entry.
  const std::wstring a = root_ + L"\\A\\", b = root_ + L"\\B\\", c = root_ + L"\\C\\";
  job_->ResetExtractedEntries();
  job_->set_progress_scale(100.0 / 4);
  host_.restore_progress.clear();
  job_->PrepareExtract();
  job_->AddExtractEntry(L"D2\\large.bin", a);
  job_->AddExtractEntry(L"D1\\F.txt", b);
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(job_->current_entry(), 2);
  EXPECT_EQ(job_->extracted_entries(), 2);
  job_->PrepareExtract();
  job_->AddExtractEntry(L"D4\\three.txt", c);
  job_->AddExtractEntry(L"D3\\x\\src\\two.txt", a);
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(job_->current_entry(), 2);
  EXPECT_EQ(job_->extracted_entries(), 4);
  ExpectRisesTo100(host_.restore_progress, 1);
  EXPECT_EQ(TreeOf(a), (Names{L"large.bin", L"two.txt"}));
  EXPECT_EQ(TreeOf(b), Names{L"F.txt"});
  EXPECT_EQ(TreeOf(c), Names{L"three.txt"});
  EXPECT_EQ(ReadBytes(a + L"large.bin"), large);
  EXPECT_EQ(ReadBytes(c + L"three.txt"), "three");
}

TEST_F(ArchiveJobTest, SelectByPrefixTakesWholeFolderNamesInAnyCase) {
  const std::wstring f = folder_s_ + L"\\F.txt", g = folder_s_ + L"\\sub\\G.txt";
  const std::wstring n = folder_s_ + L"\\notes.dat", prefix = folder_s_ + L"\\";
  Pack(archive_, {{f, L"main", prefix},
                  {f, L"Main Identity", prefix},
                  {n, L"Main", prefix},
                  {f, L"mainx", prefix},
                  {g, L"MAIN", prefix},
                  {n, L"", prefix},
                  {f, L"other\\main", prefix}});
  ASSERT_EQ(Listed(archive_).size(), 7u);

  const std::wstring target = root_ + L"\\main-restore\\";
  job_->PrepareExtract();
  job_->SelectByPrefix(L"Main", target);
  Names selected;
  for (const JobEntry& entry : job_->entries()) {
    selected.push_back(entry.source());
    EXPECT_EQ(entry.folder(), target);
  }
  EXPECT_EQ(selected, (Names{L"main\\F.txt", L"Main\\notes.dat", L"MAIN\\sub\\G.txt"}));
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(TreeOf(target), (Names{L"F.txt", L"G.txt", L"notes.dat"}));
}

TEST_F(ArchiveJobTest, AWholeFolderComesBackAsATreeBelowItsTarget) {
  MakeFolder(folder_s_ + L"\\sub\\deeper\\empty");
  MakeFolder(folder_s_ + L"\\stored elsewhere");
  WriteBytes(folder_s_ + L"\\sub\\deeper\\image001.png", "picture");
  WriteBytes(folder_s_ + L"\\stored elsewhere\\x.txt", "left out");
  job_->PrepareBackup(false, 0);
  job_->AddFolderEntries(
      folder_s_, L"Tree", folder_s_ + L"\\", L"*",
      [this](const std::wstring& path) { return path == folder_s_ + L"\\stored elsewhere"; });
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();
  auto expected = TreeOf(folder_s_);
  std::erase_if(expected, [](const std::wstring& path) { return path.starts_with(L"stored"); });

  // Extracted plainly with the inner folders added to each member's target folder.
  const std::wstring target = root_ + L"\\tree\\";
  job_->ReadArchiveNames(archive_);
  job_->PrepareExtract();
  job_->SelectByPrefix(L"tree", target, true);
  EXPECT_EQ(job_->entries().size(), expected.size());
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(TreeOf(target), expected);
  EXPECT_EQ(ReadBytes(target + L"sub\\deeper\\image001.png"), "picture");
}

TEST_F(ArchiveJobTest, PlainExtractionDropsInnerFoldersAndTheOtherVariantKeepsThem) {
  Pack(archive_, {{folder_s_ + L"\\sub\\G.txt", L"K\\deep", src_ + L"\\"},
                  {folder_s_ + L"\\F.txt", L"K", folder_s_ + L"\\"}});
  // Neither target folder exists yet: the callback creates them.
  const std::wstring plain = root_ + L"\\plain\\target\\";
  job_->PrepareExtract();
  job_->AddExtractEntry(L"K\\deep\\S\\sub\\G.txt", plain);
  job_->AddExtractEntry(L"k\\F.TXT", plain);
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(TreeOf(plain), (Names{L"F.txt", L"G.txt"}));

  const std::wstring kept = root_ + L"\\kept\\target\\";
  job_->PrepareExtract(true);
  job_->AddExtractEntry(L"K\\deep\\S\\sub\\G.txt", kept);
  job_->AddExtractEntry(L"K\\F.txt", kept);
  ASSERT_EQ(job_->UnpackJob(archive_), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(TreeOf(kept), (Names{L"K", L"K\\F.txt", L"K\\deep", L"K\\deep\\S", L"K\\deep\\S\\sub",
                                 L"K\\deep\\S\\sub\\G.txt"}));
  EXPECT_EQ(ReadBytes(kept + L"K\\deep\\S\\sub\\G.txt"), "file G in sub");
  // Nothing was left in the staging folder the archiver proposed.
  EXPECT_EQ(TreeOf(staging_), Names{L"infobak.ini"});
}

TEST_F(ArchiveJobTest, JobListsGrowPastFourThousandNineHundredNinetyNine) {
  // 51 folders of 100 files: the file system makes small folders much faster than one
  // large one.
  constexpr int kFolders = 51, kFilesPerFolder = 100, kFiles = kFolders * kFilesPerFolder;
  std::set<std::wstring> expected;
  job_->PrepareBackup(false, 0);
  for (int f = 0; f < kFolders; ++f) {
    const std::wstring folder = L"d" + std::to_wstring(f);
    const std::wstring path = src_ + L"\\many\\" + folder;
    MakeFolder(path);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::wstring name = L"f" + std::to_wstring(i) + L".txt";
      WriteBytes(path + L"\\" + name, std::to_string(i));
      expected.insert(L"Many\\" + folder + L"\\" + name);
    }
    job_->AddFolderEntries(path, L"Many\\" + folder, path + L"\\", L"*");
  }
  ASSERT_EQ(job_->entries().size(), static_cast<size_t>(kFiles));
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();
  EXPECT_EQ(job_->current_entry(), kFiles);
  ExpectRisesTo100(host_.backup_progress, 2);

  const Names names = Listed(archive_);
  EXPECT_EQ(names.size(), static_cast<size_t>(kFiles));
  EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()), expected);
  job_->PrepareExtract();
  job_->SelectByPrefix(L"many", root_ + L"\\out\\");
  EXPECT_EQ(job_->entries().size(), static_cast<size_t>(kFiles));
  job_->ReleaseFileList();
}

TEST_F(ArchiveJobTest, ExitDuringPackingAbortsAndKeepsTheOldArchive) {
  Pack(archive_, {{folder_s_ + L"\\notes.dat", L"Old", folder_s_ + L"\\"}});
  const std::string old_bytes = ReadBytes(archive_);
  ASSERT_FALSE(old_bytes.empty());

  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  // The user presses Exit while the first file is being packed.
  host_.backup_progress.clear();
  host_.on_backup_progress = [this] { host_.set_cancel_requested(1); };
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(folder_s_ + L"\\F.txt", L"New", folder_s_ + L"\\");
  job_->AddJobEntry(folder_s_ + L"\\sub\\G.txt", L"New", folder_s_ + L"\\");
  job_->AddJobEntry(folder_s_ + L"\\notes.dat", L"New", folder_s_ + L"\\");
  EXPECT_EQ(job_->PackJob(archive_, {}), sqx::kStatusAborted);
  job_->ReleaseFileList();
  log_.Close();

  EXPECT_TRUE(job_->flags().archive_incomplete);
  EXPECT_FALSE(job_->flags().job_failed);
  EXPECT_EQ(host_.backup_progress.size(), 1u) << "no callback went on after the request";
  EXPECT_TRUE(host_.shown.empty());
  const Names lines = CrLfLines(log_path);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(Names(lines.end() - 4, lines.end()),
            (Names{L"", L"Total lines: 3", L"Error code: 2926", L"Error line: 1"}));
  EXPECT_EQ(ReadBytes(archive_), old_bytes);
  EXPECT_EQ(TreeOf(root_), (Names{L"Log.txt", L"Temp", L"Temp\\infobak.ini", L"backup.ebk", L"src",
                                  L"src\\S", L"src\\S\\F.txt", L"src\\S\\notes.dat", L"src\\S\\sub",
                                  L"src\\S\\sub\\G.txt", L"src\\S\\sub\\deeper"}))
      << "no partial archive is left beside the old one";

  // The next pack clears the flag.
  host_.on_backup_progress = nullptr;
  host_.set_cancel_requested(0);
  Pack(archive_, {{folder_s_ + L"\\F.txt", L"New", folder_s_ + L"\\"}});
  EXPECT_FALSE(job_->flags().archive_incomplete);
}

}  // namespace
}  // namespace mailstow::testing
