// Archive jobs when things go wrong: archives that cannot be opened, targets that cannot
// be written, sources missing or vanishing, and damaged members on restore.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "engine/archive_opening.h"
#include "tests/engine/job_test_support.h"

namespace mailstow::testing {
namespace {

using Names = std::vector<std::wstring>;

class OpeningTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    WriteBytes(staging_ + L"\\infobak.ini", "[Backup]\r\nEmailClient=Eudora\r\n");
    archive_ = root_ + L"\\locked.ebk";
    host_.password = L"secret";
    Pack(archive_, {{staging_ + L"\\infobak.ini", L"", staging_ + L"\\"}});
    DeleteFileW((staging_ + L"\\infobak.ini").c_str());
    host_.password.clear();
  }

  void ExpectShown(const std::wstring& text) {
    ASSERT_EQ(host_.shown.size(), 1u);
    EXPECT_EQ(host_.shown[0].kind, PromptKind::kError);
    EXPECT_EQ(host_.shown[0].buttons, PromptButtons::kOk);
    EXPECT_EQ(host_.shown[0].text, text);
    host_.shown.clear();
  }

  std::wstring archive_;
};

TEST_F(OpeningTest, WrongOrCancelledPasswordFailsAndForgetsThePassword) {
  host_.password_answers = {L"wrong"};
  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, archive_), OpenOutcome::kWrongPassword);
  ExpectShown(L"Incorrect password!");
  EXPECT_TRUE(host_.password.empty());
  EXPECT_TRUE(job_->flags().password_asked);
  EXPECT_FALSE(Exists(staging_ + L"\\infobak.ini"));

  // Cancel at the prompt: the same failure, without the message.
  host_.password_answers = {std::nullopt};
  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, archive_), OpenOutcome::kWrongPassword);
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_TRUE(host_.password.empty());

  // A typed password that was not cleared would be tried again without asking.
  host_.password = L"typed wrong";
  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, archive_), OpenOutcome::kWrongPassword);
  ExpectShown(L"Incorrect password!");
  EXPECT_TRUE(host_.password.empty());
  EXPECT_EQ(host_.password_prompts, 2);

  host_.password_answers = {L"secret"};
  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, archive_), OpenOutcome::kOpened);
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(host_.password, L"secret");
  EXPECT_EQ(ReadBytes(staging_ + L"\\infobak.ini"), "[Backup]\r\nEmailClient=Eudora\r\n");
  EXPECT_EQ(host_.password_prompts, 3);
}

TEST_F(OpeningTest, ForeignAndMissingFilesAreNamedAsSuch) {
  const std::wstring foreign = root_ + L"\\letter.ebk";
  WriteBytes(foreign, "Dear reader, this is not an archive at all.\r\n");
  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, foreign), OpenOutcome::kNotAnArchive);
  ExpectShown(L"Invalid filename!");

  EXPECT_EQ(OpenArchiveForRestore(*job_, host_, root_ + L"\\absent.ebk"), OpenOutcome::kMissing);
  ExpectShown(L"This filename doesn\u2019t exist!");
  EXPECT_EQ(host_.password_prompts, 0);
}

// Reports of write failures: the message box, the job flag and the page to return to.
class WriteFailureTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    source_ = root_ + L"\\mail.dbx";
    WriteBytes(source_, "messages");
    archive_ = root_ + L"\\backup.ebk";
  }

  int PackOne() {
    job_->PrepareBackup(false, 0);
    job_->AddJobEntry(source_, L"K", root_ + L"\\");
    const int status = job_->PackJob(archive_, {});
    job_->ReleaseFileList();
    return status;
  }

  int UnpackOne(const std::wstring& target) {
    job_->PrepareExtract();
    job_->AddExtractEntry(L"K\\mail.dbx", target);
    const int status = job_->UnpackJob(archive_);
    job_->ReleaseFileList();
    return status;
  }

  void ExpectReported(const std::wstring& text, int backup_returns, int restore_returns) {
    ASSERT_EQ(host_.shown.size(), 1u);
    EXPECT_EQ(host_.shown[0].kind, PromptKind::kError);
    EXPECT_EQ(host_.shown[0].text, text);
    EXPECT_TRUE(job_->flags().job_failed);
    EXPECT_EQ(host_.backup_page_returns, backup_returns);
    EXPECT_EQ(host_.restore_page_returns, restore_returns);
    host_.shown.clear();
  }

  std::wstring source_;
  std::wstring archive_;
};

TEST_F(WriteFailureTest, FilesHeldByOtherProgramsOnARealFileSystem) {
  ASSERT_EQ(PackOne(), 0);
  const std::string old_bytes = ReadBytes(archive_);

  // A source file that another program holds open without sharing is named, in a box and in
  // the log, each time; the older archive stays.
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  HANDLE held = CreateFileW(source_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(PackOne(), sqx::kStatusInUse);
  ExpectReported(source_ +
                     L" is in use by another program. Close that program and start the "
                     L"backup again.",
                 1, 0);
  host_.shown.clear();
  EXPECT_EQ(PackOne(), sqx::kStatusInUse);
  CloseHandle(held);
  EXPECT_EQ(host_.shown.size(), 1u);
  host_.shown.clear();
  EXPECT_TRUE(job_->flags().job_failed);
  EXPECT_EQ(ReadBytes(archive_), old_bytes);
  log_.Close();
  const Names lines = CrLfLines(log_path);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"In use by another program: " + source_), 2);
  EXPECT_EQ(host_.backup_page_returns, 2);
  host_.backup_page_returns = 1;

  // An old archive held open cannot be replaced, and stays as it was.
  held = CreateFileW(archive_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(PackOne(), sqx::kStatusAccessDenied);
  CloseHandle(held);
  ExpectReported(L"Access denied!", 2, 0);
  EXPECT_EQ(ReadBytes(archive_), old_bytes);

  // A successful job clears the flag.
  ASSERT_EQ(PackOne(), 0);
  EXPECT_FALSE(job_->flags().job_failed);

  // A file in the way of an extracted member, held open by another program.
  const std::wstring target = root_ + L"\\restore\\";
  MakeFolder(target);
  WriteBytes(target + L"mail.dbx", "older");
  held = CreateFileW((target + L"mail.dbx").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(UnpackOne(target), sqx::kStatusAccessDenied);
  CloseHandle(held);
  ExpectReported(L"Access denied!", 2, 1);
  EXPECT_EQ(TreeOf(target), Names{L"mail.dbx"});
  EXPECT_EQ(ReadBytes(target + L"mail.dbx"), "older");
}

class StandInFailureTest : public WriteFailureTest {
 protected:
  std::wstring LibraryFolder() override { return WindowsFolderFromEnv("MAILSTOW_STANDIN"); }
  void TearDown() override {
    SetEnvironmentVariableW(L"MAILSTOW_STANDIN_STATUS", nullptr);
    SetEnvironmentVariableW(L"MAILSTOW_STANDIN_DAMAGED", nullptr);
  }
  void Fail(int status) {
    SetEnvironmentVariableW(L"MAILSTOW_STANDIN_STATUS", std::to_wstring(status).c_str());
  }
};

TEST_F(StandInFailureTest, FullDiskAndWriteProtectionAreReportedOnBothSides) {
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  Fail(sqx::kStatusDiskFull);
  EXPECT_EQ(PackOne(), sqx::kStatusDiskFull);
  ExpectReported(L"Disk is full. Replace or select other!", 1, 0);
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusDiskFull);
  ExpectReported(L"Disk is full. Replace or select other!", 1, 1);

  Fail(sqx::kStatusWriteProtected);
  EXPECT_EQ(PackOne(), sqx::kStatusWriteProtected);
  ExpectReported(L"Drive is write protected!", 2, 1);
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusWriteProtected);
  ExpectReported(L"Drive is write protected!", 2, 2);

  // Any other pack failure wrote no archive either: it fails the run with a box naming it.
  Fail(sqx::kStatusIoError);
  EXPECT_EQ(PackOne(), sqx::kStatusIoError);
  ExpectReported(L"The backup could not be written (error 9991).", 3, 2);

  // The restore reported its three write failures at once; the others wait for the end of
  // the restore, where the first of them gets its box.
  EXPECT_EQ(job_->unpack_failures().size(), 2u);
  Fail(sqx::kStatusIoError);
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusIoError);
  Fail(sqx::kStatusWrongPassword);
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusWrongPassword);
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_TRUE(job_->ReportUnpackFailures());
  ASSERT_EQ(host_.shown.size(), 1u);
  EXPECT_EQ(host_.shown[0].text, L"The backup could not be restored (error 9991).");
  host_.shown.clear();
  EXPECT_TRUE(job_->ReportUnpackFailures());
  EXPECT_TRUE(host_.shown.empty()) << "each failure is reported once";

  // An extraction stopped by Exit is the user's choice, not a failure; one that the callback
  // stopped for another reason is.
  job_->ClearUnpackFailures();
  Fail(sqx::kStatusAborted);
  host_.set_cancel_requested(1);
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusAborted);
  host_.set_cancel_requested(0);
  EXPECT_TRUE(job_->flags().archive_incomplete);
  EXPECT_FALSE(job_->flags().job_failed);
  EXPECT_FALSE(job_->ReportUnpackFailures());
  EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusAborted);
  EXPECT_EQ(job_->unpack_failures().size(), 1u);
  job_->ClearUnpackFailures();
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(host_.backup_page_returns, 3);
  EXPECT_EQ(host_.restore_page_returns, 2);
  log_.Close();

  Names codes;
  for (const std::wstring& line : CrLfLines(log_path)) {
    if (line.starts_with(L"Error code: ")) codes.push_back(line);
  }
  EXPECT_EQ(codes, (Names{L"Error code: 101", L"Error code: 101", L"Error code: 150",
                          L"Error code: 150", L"Error code: 9991", L"Error code: 9991",
                          L"Error code: 9964", L"Error code: 2926", L"Error code: 2926"}));
}

// A volume that cannot be found must not hold the user: on every kind of drive each request
// offers Cancel, which ends the extraction as cancelled; without a free-space check (reading
// needs none) on a CD-ROM, where it once asked again for ever.
TEST_F(StandInFailureTest, EveryNextVolumeRequestCanBeCancelled) {
  for (const int media : {DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_FIXED, DRIVE_REMOTE}) {
    SCOPED_TRACE(media);
    SetEnvironmentVariableW(L"MAILSTOW_STANDIN_VOLUME_MEDIA", std::to_wstring(media).c_str());
    host_.shown.clear();
    host_.answers = {PromptAnswer::kOk, PromptAnswer::kCancel};
    EXPECT_EQ(UnpackOne(root_ + L"\\t\\"), sqx::kStatusAborted);
    ASSERT_EQ(host_.shown.size(), 2u);
    for (const ShownPrompt& prompt : host_.shown) {
      EXPECT_EQ(prompt.buttons, PromptButtons::kOkCancel);
      EXPECT_EQ(prompt.text, L"Insert next volume! Disk number 2");
    }
    EXPECT_TRUE(job_->flags().volume_cancelled);
    EXPECT_TRUE(host_.answers.empty());
    job_->ClearUnpackFailures();
  }
  SetEnvironmentVariableW(L"MAILSTOW_STANDIN_VOLUME_MEDIA", nullptr);
}

TEST_F(StandInFailureTest, AFailedReadBackNamesTheMemberAndFailsTheRun) {
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  Fail(sqx::kStatusVerifyFailed);
  SetEnvironmentVariableW(L"MAILSTOW_STANDIN_DAMAGED", L"K\\mail.dbx");
  EXPECT_EQ(PackOne(), sqx::kStatusVerifyFailed);
  ExpectReported(
      L"The backup file did not read back correctly: K\\mail.dbx. It was not saved; an "
      L"older backup file of the same name was left as it was.",
      1, 0);
  // The progress said "Verifying" while the archive was read back, and then no more.
  EXPECT_EQ(host_.verifying_shown, (std::vector<bool>{true, false}));

  // Damage the library cannot pin on one member names the archive.
  SetEnvironmentVariableW(L"MAILSTOW_STANDIN_DAMAGED", nullptr);
  host_.shown.clear();
  EXPECT_EQ(PackOne(), sqx::kStatusVerifyFailed);
  ASSERT_EQ(host_.shown.size(), 1u);
  EXPECT_NE(host_.shown[0].text.find(archive_), std::wstring::npos);
  EXPECT_TRUE(job_->flags().job_failed);
  log_.Close();
  const Names lines = CrLfLines(log_path);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Verification failed: K\\mail.dbx"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Verification failed: " + archive_), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Error code: 9993"), 2);
}

TEST_F(WriteFailureTest, MissingSourcesAreLeftOutAndAVanishingOneFailsThePack) {
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  const std::wstring later = root_ + L"\\later.txt";
  WriteBytes(later, "written after the first file");
  const std::wstring absent = root_ + L"\\absent.ini", gone = root_ + L"\\gone";

  // Entries whose source does not exist when the pack starts are named in the log and left
  // out; the rest is written (archive_job_native_check has 7-Zip test this archive).
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(absent, L"", root_ + L"\\");
  job_->AddJobEntry(source_, L"K", root_ + L"\\");
  job_->AddJobEntry(gone + L"\\folder", L"K", root_ + L"\\");
  job_->AddJobEntry(later, L"L", root_ + L"\\");
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();
  EXPECT_FALSE(job_->flags().job_failed);
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(Listed(archive_), (Names{L"K\\mail.dbx", L"L\\later.txt"}));
  EXPECT_DOUBLE_EQ(job_->progress_scale(), 50.0);
  const std::string old_bytes = ReadBytes(archive_);

  // A source that vanishes while the pack reads it leaves no archive: the run fails with its
  // box and the older archive stays byte for byte. Sources are read ahead of the writer, a
  // bounded number of MiB at a time, so the vanishing one is made larger than that; it is
  // deleted once its first part was written (the bar is past the first entry), as soon as no
  // read holds it open.
  std::string large;
  for (int i = 0; large.size() < (40u << 20); ++i) large += "line " + std::to_string(i) + "\r\n";
  WriteBytes(later, large);
  host_.on_backup_progress = [this, &later] {
    if (host_.backup_progress.back() > 50) DeleteFileW(later.c_str());
  };
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(source_, L"K", root_ + L"\\");
  job_->AddJobEntry(later, L"L", root_ + L"\\");
  EXPECT_EQ(job_->PackJob(archive_, {}), sqx::kStatusIoError);
  job_->ReleaseFileList();
  host_.on_backup_progress = nullptr;
  ExpectReported(L"The backup could not be written (error 9991).", 1, 0);
  EXPECT_EQ(ReadBytes(archive_), old_bytes);
  log_.Close();

  const Names lines = CrLfLines(log_path);
  const auto at = [&lines](const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  // The missing ones are named before the entries, which are numbered without them.
  ASSERT_LT(at(L"Not found: " + absent), at(L"Not found: " + gone + L"\\folder"));
  EXPECT_EQ(at(L"Not found: " + gone + L"\\folder") + 2, at(L"File number: 1"));
  EXPECT_EQ(lines[static_cast<size_t>(at(L"File number: 1") + 1)], L"File: " + source_);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Total lines: 2"), 2);
  EXPECT_EQ(lines.back(), L"Error line: 2");
}

// Names outside the code page and paths beyond 260 characters are packed like any other; a
// source that exists for the job but that the archiver cannot read under its name (here one
// the file system refuses) is left out, named in the log and in one box, and the archive holds
// the rest. The backup is marked so that an unattended run keeps older archives.
TEST_F(WriteFailureTest, ASourceTheArchiverCannotReadIsLeftOutAndReported) {
  std::wstring deep = root_ + L"\\deep";
  for (int i = 0; i < 6; ++i) deep += L"\\" + std::wstring(50, static_cast<wchar_t>(L'a' + i));
  const std::wstring cyrillic = deep + L"\\\u041f\u043e\u0447\u0442\u0430.mbx";
  ASSERT_GT(cyrillic.size(), 300u);
  for (size_t i = 3; i < cyrillic.size(); ++i) {
    if (cyrillic[i] == L'\\')
      CreateDirectoryW((L"\\\\?\\" + cyrillic.substr(0, i)).c_str(), nullptr);
  }
  WriteBytes(L"\\\\?\\" + cyrillic, "deep mail");
  const std::wstring refused = root_ + L"\\bad|name.txt";
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  job_->PrepareBackup(false, 0);
  job_->AddJobEntry(source_, L"K", root_ + L"\\");
  job_->AddJobEntry(refused, L"K", root_ + L"\\");
  job_->AddJobEntry(cyrillic, L"K", deep + L"\\");
  ASSERT_EQ(job_->PackJob(archive_, {}), 0);
  job_->ReleaseFileList();
  log_.Close();
  EXPECT_FALSE(job_->flags().job_failed);
  EXPECT_TRUE(job_->flags().sources_skipped);
  EXPECT_EQ(Listed(archive_), (Names{L"K\\mail.dbx", L"K\\\u041f\u043e\u0447\u0442\u0430.mbx"}));
  ASSERT_EQ(host_.shown.size(), 1u);
  EXPECT_EQ(host_.shown[0].text,
            L"Some files could not be backed up and are not in the backup file (Log.txt names "
            L"them):\n" +
                refused);
  const Names lines = CrLfLines(log_path);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Not backed up: " + refused), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"File: " + cyrillic), 1);
}

TEST_F(WriteFailureTest, DamagedMembersAreNamedInTheLogAndInOneBox) {
  // Three stored members; the middle one's data is overwritten in the archive.
  const std::wstring first = root_ + L"\\a.txt", third = root_ + L"\\c.txt";
  WriteBytes(first, "first member, intact");
  WriteBytes(third, "third member, intact");
  // Noise that deflate cannot shrink, so that the member is stored as it is.
  std::mt19937 random(5);
  std::string middle(8000, '\0');
  for (char& c : middle) c = static_cast<char>(random());
  WriteBytes(source_, middle);
  Pack(
      archive_,
      {{first, L"D", root_ + L"\\"}, {source_, L"D", root_ + L"\\"}, {third, L"D", root_ + L"\\"}});
  std::string bytes = ReadBytes(archive_);
  const size_t data = bytes.find("D/c.txt");
  ASSERT_NE(data, std::string::npos);
  for (size_t i = data - 2000; i < data - 1000; ++i) bytes[i] = 0;
  WriteBytes(archive_, bytes);

  const std::wstring target = root_ + L"\\restore\\";
  MakeFolder(target);
  WriteBytes(target + L"mail.dbx", "newer, kept");
  const std::wstring log_path = root_ + L"\\Log.txt";
  ASSERT_TRUE(log_.Open(log_path));
  job_->PrepareExtract();
  for (const wchar_t* name : {L"D\\a.txt", L"D\\mail.dbx", L"D\\c.txt"}) {
    job_->AddExtractEntry(name, target);
  }
  EXPECT_EQ(job_->UnpackJob(archive_), sqx::kStatusNotAnArchive);
  job_->ReleaseFileList();
  log_.Close();

  // Nothing was shown yet; the file in the damaged member's way is as it was.
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(ReadBytes(target + L"mail.dbx"), "newer, kept");
  EXPECT_FALSE(Exists(target + L"mail.dbx.~sqx"));
  const Names lines = CrLfLines(log_path);
  EXPECT_EQ(Names(lines.end() - 5, lines.end()),
            (Names{L"", L"Total lines: 3", L"Error code: 9977", L"Error line: 2",
                   L"Damaged member: D\\mail.dbx"}));
  ASSERT_EQ(job_->unpack_failures().size(), 1u);
  EXPECT_TRUE(job_->ReportUnpackFailures());
  ASSERT_EQ(host_.shown.size(), 1u);
  EXPECT_EQ(host_.shown[0].kind, PromptKind::kError);
  EXPECT_EQ(host_.shown[0].text, L"The backup file is damaged: D\\mail.dbx");
}

// ZIP bytes with stored (uncompressed) members of the given names and contents.
uint32_t Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string body, directory;
  for (const auto& [name, data] : members) {
    const uint32_t offset = static_cast<uint32_t>(body.size());
    const uint32_t crc = Crc32(data);
    const auto size = static_cast<uint32_t>(data.size());
    const auto name_size = static_cast<uint32_t>(name.size());
    Put(&body, 0x04034b50, 4);
    for (uint32_t v : {20u, 0u, 0u, 0u, 0x21u}) Put(&body, v, 2);  // version ... date
    Put(&body, crc, 4);
    Put(&body, size, 4);
    Put(&body, size, 4);
    Put(&body, name_size, 2);
    Put(&body, 0, 2);
    body += name + data;
    Put(&directory, 0x02014b50, 4);
    for (uint32_t v : {20u, 20u, 0u, 0u, 0u, 0x21u}) Put(&directory, v, 2);
    Put(&directory, crc, 4);
    Put(&directory, size, 4);
    Put(&directory, size, 4);
    for (uint32_t v : {name_size, 0u, 0u, 0u, 0u}) Put(&directory, v, 2);
    Put(&directory, 0, 4);
    Put(&directory, offset, 4);
    directory += name;
  }
  std::string zip = body + directory;
  Put(&zip, 0x06054b50, 4);
  Put(&zip, 0, 4);
  Put(&zip, static_cast<uint32_t>(members.size()), 2);
  Put(&zip, static_cast<uint32_t>(members.size()), 2);
  Put(&zip, static_cast<uint32_t>(directory.size()), 4);
  Put(&zip, static_cast<uint32_t>(body.size()), 4);
  Put(&zip, 0, 2);
  return zip;
}

TEST_F(JobTest, RestoresNeverWriteOutsideTheirTargetFolder) {
  // Nested so that "..\.." from the target still lies inside the test's own folder.
  const std::wstring target = root_ + L"\\a\\b\\target\\";
  MakeFolder(target);
  const std::wstring archive = root_ + L"\\a\\b\\hostile.ebk";
  WriteBytes(archive, StoredZip({{"good/inner.txt", "good"},
                                 {"../../evil1.txt", "evil"},
                                 {"..\\..\\evil2.txt", "evil"},
                                 {"sub/../../../evil3.txt", "evil"},
                                 {"C:\\evil4.txt", "evil"},
                                 {"C:evil5.txt", "evil"},
                                 {"/evil6.txt", "evil"}}));
  const Names listed = Listed(archive);
  ASSERT_EQ(listed.size(), 7u) << "the listing shows what the archive holds";

  const auto extract = [&](bool keep_folders, const std::vector<std::wstring>& requests) {
    job_->PrepareExtract(keep_folders);
    for (const std::wstring& request : requests) job_->AddExtractEntry(request, target);
    job_->UnpackJob(archive);
    job_->ReleaseFileList();
  };
  for (bool keep_folders : {false, true}) {
    extract(keep_folders, {L"*.*"});
    for (const std::wstring& name : listed) extract(keep_folders, {name});
    job_->PrepareExtract(keep_folders);
    job_->SelectByPrefix(L"..", target);
    EXPECT_EQ(job_->entries().size(), 2u);
    job_->UnpackJob(archive);
    job_->ReleaseFileList();
  }

  for (const wchar_t* evil :
       {L"evil1.txt", L"evil2.txt", L"evil3.txt", L"evil4.txt", L"evil5.txt", L"evil6.txt"}) {
    EXPECT_FALSE(Exists(std::wstring(L"C:\\") + evil)) << evil;
    EXPECT_FALSE(Exists(std::wstring(L"Z:\\") + evil)) << evil;
  }
  // Everything that was written lies in the target folder, and only the harmless member.
  Names outside;
  for (const std::wstring& path : TreeOf(root_)) {
    if (!path.starts_with(L"a\\b\\target")) outside.push_back(path);
  }
  EXPECT_EQ(outside, (Names{L"Temp", L"a", L"a\\b", L"a\\b\\hostile.ebk"}));
  EXPECT_EQ(TreeOf(target), (Names{L"good", L"good\\inner.txt", L"inner.txt"}));
  EXPECT_EQ(ReadBytes(target + L"inner.txt"), "good");
  EXPECT_EQ(TreeOf(staging_), Names{});
}

}  // namespace
}  // namespace mailstow::testing
