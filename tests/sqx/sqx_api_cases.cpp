// Behaviour of the library through its entry points; the same cases run natively and
// against the real Sqx.dll under Wine.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <fstream>
#include <iterator>
#include <map>

#include "tests/sqx/sqx_functions.h"
#include "tests/sqx/sqx_test_support.h"

namespace sqx::testing {
namespace {

// A small mailbox backup: files of many sizes, one that deflate cannot shrink, a folder.
struct Sources {
  ScratchFolder folder;
  std::vector<std::string> paths;
  std::map<std::string, std::string> contents;  // stored name -> data

  Sources() {
    Add("empty.txt", "");
    Add("one.txt", "x");
    Add("Inbox.mbx", MailText(700 * 1024, 1));
    Add("photo.jpg", NoiseBytes(300 * 1024, 2));
    Add("N\\identity.reg", MailText(5000, 3));
    std::filesystem::create_directories(folder.path() / "Stationery");
    paths.push_back(folder / "Stationery");
  }
  void Add(const std::string& name, const std::string& data) {
    std::string relative = name;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    paths.push_back(folder / relative);
    WriteFile(paths.back(), data);
    contents[name] = data;
  }
  // Stores every entry under its path relative to the source folder.
  std::function<std::string(const std::string&)> Relative() const {
    const std::string prefix = folder / "";
    return [prefix](const std::string& proposed) { return "\\" + proposed.substr(prefix.size()); };
  }
};

TEST(SqxApi, RoundTripKeepsEveryFileAndRaisesEventsPerEntryInListOrder) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "backup.ebk";
  Recorder packing;
  packing.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, sources.paths, CompressOptions(), &packing), kStatusOk);

  // Event 5 proposes each full source path, once per entry, in list order.
  const auto stored = packing.OfKind(kEventStoreEntry);
  ASSERT_EQ(stored.size(), sources.paths.size());
  for (size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(stored[i].first_name, sources.paths[i]);
  // Progress follows each file's event 5, never falls and ends at 100; none for the folder.
  int last_percent = -1;
  size_t files_finished = 0;
  for (const RecordedEvent& event : packing.events) {
    if (event.kind == kEventStoreEntry) last_percent = -1;
    if (event.kind != kEventProgress) continue;
    EXPECT_GE(event.amount, last_percent);
    last_percent = event.amount;
    if (event.amount == 100) ++files_finished;
  }
  EXPECT_EQ(files_finished, sources.contents.size());
  EXPECT_LT(packing.OfKind(kEventProgress).size(), 200u);

  std::vector<std::string> names;
  ASSERT_EQ(List(archive, &names), kStatusOk);
  EXPECT_EQ(names, (std::vector<std::string>{"empty.txt", "one.txt", "Inbox.mbx", "photo.jpg",
                                             "N\\identity.reg", "Stationery"}));

  // Plain variant: everything lands under its file name alone, where the callback says.
  const std::string staging = work / "Temp";
  const std::string target = work / "restored";
  Recorder extracting;
  extracting.extract_to = [&](const std::string& proposed) {
    return target + proposed.substr(staging.size());
  };
  ASSERT_EQ(Extract(archive, {"*.*"}, staging, false, &extracting), kStatusOk);
  const auto extracted = extracting.OfKind(kEventExtractEntry);
  ASSERT_EQ(extracted.size(), names.size());
  EXPECT_EQ(extracted[4].second_name, staging + "\\identity.reg");
  EXPECT_EQ(extracted[5].second_name, staging + "\\Stationery");
  for (const auto& [name, data] : sources.contents) {
    const std::string file = name.substr(name.find_last_of('\\') + 1);
    EXPECT_EQ(ReadFile(target + "/" + file), data) << name;
  }
  EXPECT_TRUE(std::filesystem::is_directory(target + "/Stationery"));
  EXPECT_FALSE(Exists(staging));
}

TEST(SqxApi, FolderKeepingVariantProposesTheStoredPathAndCreatesParents) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "backup.ebk";
  Recorder packing;
  packing.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, sources.paths, CompressOptions(), &packing), kStatusOk);

  const std::string staging = work / "Temp";
  Recorder extracting;
  extracting.extract_to = [&](const std::string& proposed) {
    return work / "deep" + "\\" + "er" + proposed.substr(staging.size());
  };
  ASSERT_EQ(Extract(archive, {"n\\IDENTITY.REG"}, staging, true, &extracting), kStatusOk);
  ASSERT_EQ(extracting.OfKind(kEventExtractEntry).size(), 1u);
  EXPECT_EQ(extracting.OfKind(kEventExtractEntry)[0].second_name, staging + "\\N\\identity.reg");
  EXPECT_EQ(ReadFile(work / "deep/er/N/identity.reg"), sources.contents["N\\identity.reg"]);
}

TEST(SqxApi, RequestsAreServedInRequestOrderIgnoringCaseAndSkippingUnknownNames) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "backup.ebk";
  Recorder packing;
  packing.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, sources.paths, CompressOptions(), &packing), kStatusOk);

  Recorder extracting;
  const std::string staging = work / "out";
  ASSERT_EQ(Extract(archive, {"PHOTO.JPG", "missing.txt", "inbox.mbx", "n\\*.reg"}, staging, false,
                    &extracting),
            kStatusOk);
  const auto extracted = extracting.OfKind(kEventExtractEntry);
  ASSERT_EQ(extracted.size(), 3u);
  EXPECT_EQ(extracted[0].first_name, "photo.jpg");
  EXPECT_EQ(extracted[1].first_name, "Inbox.mbx");
  EXPECT_EQ(extracted[2].first_name, "N\\identity.reg");
  EXPECT_EQ(FolderEntries(staging),
            (std::vector<std::string>{"Inbox.mbx", "identity.reg", "photo.jpg"}));
}

TEST(SqxApi, PasswordProtectedArchiveAsksOnceAndRefusesAWrongPasswordBeforeWriting) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "secret.ebk";
  Recorder packing;
  packing.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, sources.paths, CompressOptions("s3cret pass"), &packing), kStatusOk);
  EXPECT_TRUE(packing.OfKind(kEventPassword).empty());
  EXPECT_EQ(ReadFile(archive).find("Subject:"), std::string::npos);

  Recorder wrong;
  wrong.password = "s3cret Pass";
  EXPECT_EQ(Extract(archive, {"*.*"}, work / "wrong", false, &wrong), kStatusWrongPassword);
  EXPECT_FALSE(Exists(work / "wrong"));

  Recorder refused;
  refused.abort_on_kind = kEventPassword;
  EXPECT_EQ(Extract(archive, {"*.*"}, work / "refused", false, &refused), kStatusAborted);
  EXPECT_FALSE(Exists(work / "refused"));

  Recorder right;
  right.password = "s3cret pass";
  ASSERT_EQ(Extract(archive, {"*.*"}, work / "right", false, &right), kStatusOk);
  EXPECT_EQ(right.OfKind(kEventPassword).size(), 1u);
  EXPECT_EQ(ReadFile(work / "right/Inbox.mbx"), sources.contents["Inbox.mbx"]);
  EXPECT_EQ(ReadFile(work / "right/empty.txt"), "");
  EXPECT_EQ(TestAll(archive, &right), kStatusOk);
}

TEST(SqxApi, VolumesSplitTheArchiveIntoPartsThatReadBackAsOne) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "split.ebk";
  for (const std::string password : {"", "pw"}) {
    Recorder packing;
    packing.store_as = sources.Relative();
    // Read back before it takes its name: every entry once, in list order, under its name.
    std::vector<unsigned char> options = CompressOptions(password, 64 * 1024);
    options[compress::kVerify] = 1;
    ASSERT_EQ(Pack(archive, sources.paths, options, &packing), kStatusOk);
    const auto verified = packing.OfKind(kEventVerifyEntry);
    ASSERT_EQ(verified.size(), sources.paths.size());
    EXPECT_EQ(verified.front().first_name, "empty.txt");
    EXPECT_EQ(verified.back().first_name, "Stationery");
    EXPECT_TRUE(packing.OfKind(kEventMemberDamaged).empty());
    EXPECT_TRUE(packing.OfKind(kEventNextVolume).empty());  // fixed disk: nobody is asked
    const auto parts = FolderEntries(HostPath(work.path()));
    ASSERT_GE(parts.size(), 7u);
    EXPECT_EQ(parts.front(), "split.ebk");
    EXPECT_EQ(parts[1], "split.z01");
    for (const std::string& part : parts) {
      EXPECT_LE(std::filesystem::file_size(work.path() / part), 64u * 1024) << part;
    }
    Recorder extracting;
    extracting.password = password;
    const std::string out = work / ("out" + password);
    ASSERT_EQ(Extract(archive, {"*.*"}, out, true, &extracting), kStatusOk);
    EXPECT_EQ(ReadFile(out + "/photo.jpg"), sources.contents["photo.jpg"]);
    EXPECT_EQ(ReadFile(out + "/N/identity.reg"), sources.contents["N\\identity.reg"]);
    std::filesystem::remove_all(out);
  }
}

TEST(SqxApi, MissingForeignAndDamagedArchivesAreNotArchives) {
  ScratchFolder work;
  Recorder recorder;
  std::vector<std::string> names;
  EXPECT_EQ(List(work / "absent.ebk", &names), kStatusNotAnArchive);
  EXPECT_EQ(Extract(work / "absent.ebk", {"*.*"}, work / "out", false, &recorder),
            kStatusNotAnArchive);
  WriteFile(work / "letter.ebk", MailText(3000, 9));
  EXPECT_EQ(Extract(work / "letter.ebk", {"*.*"}, work / "out", false, &recorder),
            kStatusNotAnArchive);

  // A member whose bytes changed after packing is caught by its checksum, one whose local
  // header is broken before any data is read; either way the caller is told which one.
  WriteFile(work / "a.txt", MailText(20000, 4));
  Recorder packing;
  packing.store_as = [](const std::string&) { return "Dir1\\a.txt"; };
  ASSERT_EQ(Pack(work / "good.ebk", {work / "a.txt"}, CompressOptions(), &packing), kStatusOk);
  const std::string good = ReadFile(work / "good.ebk");
  for (const size_t at : {size_t{200}, size_t{0}}) {
    std::string damaged = good;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
    WriteFile(work / "damaged.ebk", damaged);
    Recorder extracting, testing;
    EXPECT_EQ(Extract(work / "damaged.ebk", {"*.*"}, work / "out", false, &extracting),
              kStatusNotAnArchive);
    EXPECT_EQ(TestAll(work / "damaged.ebk", &testing), kStatusNotAnArchive);
    EXPECT_FALSE(Exists(work / "out/a.txt"));
    for (const Recorder* told : {&extracting, &testing}) {
      const auto named = told->OfKind(kEventMemberDamaged);
      ASSERT_EQ(named.size(), 1u) << at;
      EXPECT_EQ(named[0].first_name, "Dir1\\a.txt");
    }
  }
  EXPECT_TRUE(recorder.OfKind(kEventMemberDamaged).empty()) << "no member to name";
  WriteFile(work / "cut.ebk", good.substr(0, good.size() / 2));
  EXPECT_EQ(List(work / "cut.ebk", &names), kStatusNotAnArchive);
}

TEST(SqxApi, AbortedPackLeavesTheOldArchiveAndNoTemporaryFiles) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "backup.ebk";
  Recorder first;
  first.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, {sources.paths[1]}, CompressOptions(), &first), kStatusOk);
  const std::string old = ReadFile(archive);

  for (int kind : {kEventStoreEntry, kEventProgress}) {
    Recorder aborting;
    aborting.abort_on_kind = kind;
    aborting.abort_after = 3;
    EXPECT_EQ(Pack(archive, sources.paths, CompressOptions("", 64 * 1024), &aborting),
              kStatusAborted);
    EXPECT_EQ(FolderEntries(HostPath(work.path())), std::vector<std::string>{"backup.ebk"});
    EXPECT_EQ(ReadFile(archive), old);
  }
  // A successful second pack replaces the archive instead of adding to it.
  Recorder second;
  second.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, {sources.paths[2]}, CompressOptions(), &second), kStatusOk);
  std::vector<std::string> names;
  ASSERT_EQ(List(archive, &names), kStatusOk);
  EXPECT_EQ(names, std::vector<std::string>{"Inbox.mbx"});
}

TEST(SqxApi, AbortedExtractionLeavesNoPartialFile) {
  Sources sources;
  ScratchFolder work;
  const std::string archive = work / "backup.ebk";
  Recorder packing;
  packing.store_as = sources.Relative();
  ASSERT_EQ(Pack(archive, sources.paths, CompressOptions(), &packing), kStatusOk);
  Recorder aborting;
  aborting.abort_on_kind = kEventProgress;
  aborting.abort_after = 2;
  EXPECT_EQ(Extract(archive, {"Inbox.mbx"}, work / "out", false, &aborting), kStatusAborted);
  EXPECT_TRUE(FolderEntries(work / "out").empty());
}

TEST(SqxApi, ExistingOutputIsReplacedOnlyWhenTheCallbackSaysSo) {
  ScratchFolder work;
  WriteFile(work / "src/a.txt", "new contents");
  Recorder packing;
  packing.store_as = [](const std::string&) { return "a.txt"; };
  ASSERT_EQ(Pack(work / "x.ebk", {work / "src/a.txt"}, CompressOptions(), &packing), kStatusOk);
  WriteFile(work / "out/a.txt", "old");
  Recorder keep;
  keep.overwrite_answer = 1;
  ASSERT_EQ(Extract(work / "x.ebk", {"a.txt"}, work / "out", false, &keep), kStatusOk);
  EXPECT_EQ(keep.OfKind(kEventOverwrite).size(), 1u);
  EXPECT_EQ(ReadFile(work / "out/a.txt"), "old");
  Recorder replace;
  ASSERT_EQ(Extract(work / "x.ebk", {"a.txt"}, work / "out", false, &replace), kStatusOk);
  EXPECT_EQ(ReadFile(work / "out/a.txt"), "new contents");
}

TEST(SqxApi, NamesThatWouldLeaveTheTargetFolderAreRefused) {
  ScratchFolder work;
  for (const std::string hostile :
       {"../evil.txt", "sub/../../evil.txt", "/evil.txt", "C:/evil.txt", "\\evil.txt"}) {
    WriteFile(work / "hostile.ebk", HandMadeArchive({{"fine.txt", "fine"}, {hostile, "evil"}}));
    std::vector<std::string> names;
    EXPECT_EQ(List(work / "hostile.ebk", &names), kStatusOk);
    Recorder recorder;
    EXPECT_EQ(Extract(work / "hostile.ebk", {"*.*"}, work / "a/b", true, &recorder),
              kStatusNotAnArchive)
        << hostile;
    EXPECT_FALSE(Exists(work / "a")) << hostile;
    EXPECT_FALSE(Exists(work / "evil.txt")) << hostile;
  }
  // The stored name the caller leaves is cleaned the same way before it is written.
  WriteFile(work / "src.txt", "data");
  Recorder packing;
  packing.store_as = [](const std::string&) { return "\\..\\N\\.\\src.txt"; };
  ASSERT_EQ(Pack(work / "clean.ebk", {work / "src.txt"}, CompressOptions(), &packing), kStatusOk);
  std::vector<std::string> names;
  ASSERT_EQ(List(work / "clean.ebk", &names), kStatusOk);
  EXPECT_EQ(names, std::vector<std::string>{"N\\src.txt"});
}

// With the UTF-8 option every text of a call is UTF-8 and names of any length travel through
// the callback's name buffers: names outside every ANSI code page and paths far beyond 260
// characters go in and come back out. A source that cannot be read is named and left out.
TEST(SqxApi, Utf8TextsCarryAnyNameAndLongPathAndSkipAnUnreadableSource) {
  namespace fs = std::filesystem;
  ScratchFolder work;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"\xd0\x9f\xd0\xbe\xd1\x87\xd1\x82\xd0\xb0.url", "Cyrillic"},
      {"\xce\xa4\xce\xb1\xcf\x87\xcf\x85\xce\xb4\xcf\x81\xce\xbf\xce\xbc\xce\xb5\xce\xaf\xce\xbf."
       "url",
       "Greek"},
      {"\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab.url", "CJK"},
      {"J\xc3\xbcrgen Weber.txt", MailText(90000, 7)},
  };
  const std::string source_folder = ToUtf8(work.path() / "src");
  std::vector<std::string> sources;
  for (const auto& [name, data] : files) {
    sources.push_back(source_folder + ToUtf8(fs::path("/")) + name);
    fs::create_directories(FromUtf8(source_folder));
    std::ofstream(FromUtf8(sources.back()), std::ios::binary) << data;
  }
  const std::string gone = source_folder + ToUtf8(fs::path("/")) + "gone.txt";
  sources.insert(sources.begin() + 2, gone);

  const std::string archive = ToUtf8(work.path() / "\xd0\x90\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.ebk");
  std::vector<unsigned char> options = CompressOptions();
  options[compress::kUtf8Texts] = 1;
  Recorder packing;
  packing.utf8 = true;
  packing.store_as = [&](const std::string& proposed) {
    return proposed.substr(source_folder.size());
  };
  ASSERT_EQ(Pack(archive, sources, options, &packing), kStatusOk);
  std::vector<std::string> proposed;
  for (const RecordedEvent& event : packing.OfKind(kEventStoreEntry)) {
    proposed.push_back(event.first_name);
  }
  EXPECT_EQ(proposed, sources);
  const auto skipped = packing.OfKind(kEventSourceSkipped);
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].first_name, gone);
  EXPECT_EQ(skipped[0].amount, kStatusIoError);

  // The listing speaks UTF-8 too; the ANSI listing of the same archive still answers.
  Recorder listing;
  listing.utf8 = true;
  std::vector<std::string> names;
  ASSERT_EQ(List(archive, &names, &listing), kStatusOk);
  std::vector<std::string> expected;
  for (const auto& file : files) expected.push_back(file.first);
  EXPECT_EQ(names, expected);
  std::vector<std::string> ansi_names;
  fs::copy_file(FromUtf8(archive), work.path() / "plain.ebk");
  ASSERT_EQ(List(work / "plain.ebk", &ansi_names), kStatusOk);
  EXPECT_EQ(ansi_names.size(), files.size());

  // Extracted below a folder chain of 330 characters and packed again from there.
  std::string deep = ToUtf8(work.path() / "deep");
  for (int i = 0; i < 6; ++i) deep += ToUtf8(fs::path("/")) + std::string(50, char('a' + i));
  Recorder extracting;
  extracting.utf8 = true;
  const std::string staging = ToUtf8(work.path() / "Temp");
  extracting.extract_to = [&](const std::string& proposed_path) {
    EXPECT_GT((deep + proposed_path.substr(staging.size())).size(), kNameChars);
    return deep + proposed_path.substr(staging.size());
  };
  ASSERT_EQ(Extract(archive, {"*.*"}, staging, false, &extracting), kStatusOk);
  std::vector<std::string> deep_sources;
  for (const auto& file : files) deep_sources.push_back(deep + ToUtf8(fs::path("/")) + file.first);
  const std::string again = ToUtf8(work.path() / "again.ebk");
  Recorder repacking;
  repacking.utf8 = true;
  repacking.store_as = [&](const std::string& path) { return path.substr(deep.size()); };
  ASSERT_EQ(Pack(again, deep_sources, options, &repacking), kStatusOk);
  EXPECT_TRUE(repacking.OfKind(kEventSourceSkipped).empty());
  Recorder back;
  back.utf8 = true;
  const std::string restored = ToUtf8(work.path() / "restored");
  back.extract_to = [&](const std::string& path) { return restored + path.substr(staging.size()); };
  ASSERT_EQ(Extract(again, {"*.*"}, staging, false, &back), kStatusOk);
  for (const auto& [name, data] : files) {
    std::ifstream in(FromUtf8(restored + ToUtf8(fs::path("/")) + name), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), data) << name;
  }
#if defined(_WIN32)
  std::error_code ignored;  // the deep chain needs the extended form to be removed
  fs::remove_all(L"\\\\?\\" + fs::absolute(work.path()).wstring(), ignored);
#endif
}

TEST(SqxApi, RecordsAndListsAreChecked) {
  ScratchFolder work;
  WriteFile(work / "a.txt", "a");
  Recorder recorder;
  std::vector<unsigned char> options = CompressOptions();
  options[0] = 0;  // record size no longer 3740
  EXPECT_EQ(Pack(work / "a.ebk", {work / "a.txt"}, options, &recorder), kStatusBadArgument);
  EXPECT_EQ(Pack(work / "a.ebk", {work / "a.txt"}, CompressOptions("", 5), &recorder),
            kStatusBadArgument);
  // Without the UTF-8 option a source that cannot be read still fails the whole pack.
  EXPECT_EQ(Pack(work / "a.ebk", {work / "missing.txt"}, CompressOptions(), &recorder),
            kStatusIoError);
  EXPECT_FALSE(Exists(work / "a.ebk"));
  FileList empty = {};
  EXPECT_EQ(Sqx().add_file_list("x", &empty), kStatusBadArgument);
  EXPECT_EQ(Sqx().add_files("x", nullptr, nullptr, nullptr, nullptr), kStatusBadArgument);
  EXPECT_EQ(Sqx().repair_files((work / "a.ebk").c_str(), nullptr, nullptr), kStatusUnsupported);
  EXPECT_EQ(Sqx().add_archive_comment((work / "a.ebk").c_str(), "c"), kStatusUnsupported);
  EXPECT_EQ(Sqx().delete_files((work / "a.ebk").c_str(), &empty, nullptr, nullptr),
            kStatusBadArgument);
}

}  // namespace
}  // namespace sqx::testing

#if defined(_WIN32)
namespace sqx::testing {
namespace {

// A source another program holds open without sharing is named as in use, and the pack
// leaves nothing behind.
TEST(SqxApi, LockedSourceIsInUseAndNamed) {
  ScratchFolder work;
  WriteFile(work / "locked.pst", "mail store");
  const std::string locked = work / "locked.pst";
  const HANDLE handle = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  Recorder recorder;
  EXPECT_EQ(Pack(work / "b.ebk", {locked}, CompressOptions(), &recorder), kStatusInUse);
  CloseHandle(handle);
  ASSERT_EQ(recorder.OfKind(kEventSourceInUse).size(), 1u);
  EXPECT_EQ(recorder.OfKind(kEventSourceInUse)[0].first_name, locked);
  EXPECT_EQ(FolderEntries(HostPath(work.path())), std::vector<std::string>{"locked.pst"});
}

}  // namespace
}  // namespace sqx::testing
#endif
