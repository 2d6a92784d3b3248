// Archives written by the library open in 7-Zip (7zz), and archives 7-Zip writes open in
// the library: listing, testing and extracting, with and without a password.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "tests/sqx/sqx_functions.h"
#include "tests/sqx/sqx_test_support.h"

namespace sqx::testing {
namespace {

namespace fs = std::filesystem;

int SevenZip(const std::string& arguments, const std::string& log) {
  const std::string command = "7zz " + arguments + " >'" + log + "' 2>&1 </dev/null";
  const int result = std::system(command.c_str());
  return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

struct Contents {
  ScratchFolder folder;
  std::vector<std::string> paths;
  std::map<std::string, std::string> data;  // name relative to the folder -> contents

  Contents() {
    Add("Inbox.mbx", MailText(900 * 1024, 11));
    Add("attachment.jpg", NoiseBytes(200 * 1024, 12));
    Add("empty.txt", "");
    Add("Entwürfe/Notiz.txt", MailText(3000, 13));
    // Larger members are compressed in chunks on several threads: the chunks' outputs must
    // join into one stream, and a member whose start does not shrink is stored whole.
    Add("Archive.mbx", MailText(3 * 1024 * 1024 + 12345, 14));
    Add("mixed.bin", NoiseBytes(1024 * 1024, 15) + MailText(1536 * 1024, 16));
  }
  void Add(const std::string& name, const std::string& contents) {
    paths.push_back(folder / name);
    WriteFile(paths.back(), contents);
    data[name] = contents;
  }
  void ExpectIn(const std::string& root) const {
    for (const auto& [name, contents] : data) {
      EXPECT_EQ(ReadFile(root + "/" + name), contents) << name;
    }
  }
};

Recorder KeepRelativeNames(const Contents& contents) {
  Recorder recorder;
  const std::string prefix = contents.folder / "";
  recorder.store_as = [prefix](const std::string& path) { return path.substr(prefix.size()); };
  return recorder;
}

TEST(SqxInterop, SevenZipTestsAndExtractsOurArchives) {
  Contents contents;
  ScratchFolder work;
  for (const std::string password : {"", "Pässword 1"}) {
    const std::string archive = work / "ours.ebk";
    Recorder packing = KeepRelativeNames(contents);
    ASSERT_EQ(Pack(archive, contents.paths, CompressOptions(password), &packing), kStatusOk);
    const std::string switches = " -tzip -p'" + password + "'";
    EXPECT_EQ(SevenZip("t" + switches + " '" + archive + "'", work / "t.log"), 0)
        << ReadFile(work / "t.log");
    const std::string out = work / "out";
    ASSERT_EQ(SevenZip("x" + switches + " -o'" + out + "' '" + archive + "'", work / "x.log"), 0)
        << ReadFile(work / "x.log");
    contents.ExpectIn(out);
    ASSERT_EQ(SevenZip("l -slt" + switches + " '" + archive + "'", work / "l.log"), 0);
    const std::string listing = ReadFile(work / "l.log");
    EXPECT_NE(listing.find("Path = Entwürfe/Notiz.txt"), std::string::npos) << listing;
    if (!password.empty()) {
      EXPECT_NE(listing.find("AES-256"), std::string::npos) << listing;
    }
    fs::remove_all(out);
  }
}

// 7-Zip finds the earlier parts (name.z01, ...) only when the last part is called name.zip;
// a copy of the last part under that name is enough.
TEST(SqxInterop, SevenZipReadsOurSplitArchives) {
  Contents contents;
  ScratchFolder work;
  const std::string archive = work / "split.ebk";
  Recorder packing = KeepRelativeNames(contents);
  ASSERT_EQ(Pack(archive, contents.paths, CompressOptions("pw", 100 * 1024), &packing), kStatusOk);
  ASSERT_TRUE(Exists(work / "split.z02"));
  fs::copy_file(archive, work / "split.zip");
  const std::string out = work / "out";
  ASSERT_EQ(SevenZip("x -ppw -o'" + out + "' '" + (work / "split.zip") + "'", work / "x.log"), 0)
      << ReadFile(work / "x.log");
  contents.ExpectIn(out);

  // Asked for volumes, a pack that fits in one part is one archive that opens as it is.
  ASSERT_EQ(Pack(work / "one.ebk", contents.paths, CompressOptions("", 10 << 20), &packing),
            kStatusOk);
  EXPECT_FALSE(Exists(work / "one.z01"));
  EXPECT_EQ(SevenZip("t '" + (work / "one.ebk") + "'", work / "t.log"), 0)
      << ReadFile(work / "t.log");
}

TEST(SqxInterop, LibraryReadsArchivesMadeBySevenZip) {
  Contents contents;
  ScratchFolder work;
  // 7zz refuses to write AES members under a password that is not plain ASCII.
  for (const std::string password : {"", "Password 2"}) {
    const std::string archive = work / "theirs.zip";
    fs::remove(archive);
    std::string switches = "-tzip -mm=Deflate -mx=5 -mmt=1";
    if (!password.empty()) switches += " -mem=AES256 -p'" + password + "'";
    ASSERT_EQ(SevenZip("a " + switches + " '" + archive + "' '" + (contents.folder / "") + "'*",
                       work / "a.log"),
              0)
        << ReadFile(work / "a.log");
    std::vector<std::string> names;
    ASSERT_EQ(List(archive, &names), kStatusOk);
    EXPECT_NE(std::find(names.begin(), names.end(), "Entwürfe\\Notiz.txt"), names.end());
    Recorder extracting;
    extracting.password = password;
    const std::string out = work / "out";
    ASSERT_EQ(Extract(archive, {"*.*"}, out, true, &extracting), kStatusOk);
    EXPECT_EQ(extracting.OfKind(kEventPassword).size(), password.empty() ? 0u : 1u);
    contents.ExpectIn(out);
    EXPECT_EQ(TestAll(archive, &extracting), kStatusOk);
    if (!password.empty()) {
      Recorder wrong;
      wrong.password = "not it";
      EXPECT_EQ(Extract(archive, {"*.*"}, work / "wrong", true, &wrong), kStatusWrongPassword);
      EXPECT_FALSE(Exists(work / "wrong"));
    }
    fs::remove_all(out);
  }
}

}  // namespace
}  // namespace sqx::testing
