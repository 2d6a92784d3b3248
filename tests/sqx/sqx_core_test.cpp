// The portable archiver core on a file system in memory: media that fill up, removable
// volumes, the read-back of every archive written, sources held by other programs, ZIP64
// entry counts, and the name rules.
#include <gcrypt.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "sqx/aes_cipher.h"
#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "sqx/member_names.h"
#include "sqx/option_records.h"
#include "tests/sqx/memory_file_system.h"
#include "tests/sqx/sqx_test_support.h"

namespace sqx::testing {
namespace {

// Records events and answers them like the caller would.
struct CoreEvents : EventSink {
  std::vector<Event> seen;
  std::string password;
  int abort_on_kind = -1;
  std::function<void(const Event&)> on_event;
  int32_t Raise(Event* event) override {
    seen.push_back(*event);
    if (on_event) on_event(*event);
    if (event->kind == abort_on_kind) return kAnswerAbort;
    if (event->kind == kEventStoreEntry) event->first_name = LastComponent(event->first_name);
    if (event->kind == kEventPassword) event->second_name = password;
    return event->kind == kEventOverwrite ? kAnswerOverwrite : kAnswerContinue;
  }
  std::vector<Event> OfKind(EventKind kind) const {
    std::vector<Event> matching;
    for (const Event& event : seen) {
      if (event.kind == kind) matching.push_back(event);
    }
    return matching;
  }
};

MemoryFileSystem WithSources() {
  MemoryFileSystem files;
  files.files["C:\\src\\Inbox.mbx"] = MailText(300000, 1);
  files.files["C:\\src\\photo.jpg"] = NoiseBytes(200000, 2);
  files.files["C:\\src\\note.txt"] = "note";
  return files;
}

const std::vector<std::string> kSources = {"C:\\src\\Inbox.mbx", "C:\\src\\photo.jpg",
                                           "C:\\src\\note.txt"};

TEST(SqxCore, FullDiskFailsThePackAndLeavesTheOldArchiveAlone) {
  MemoryFileSystem files = WithSources();
  files.files["C:\\out\\b.ebk"] = "old archive";
  for (uint64_t volume_bytes : {uint64_t{0}, uint64_t{65536}}) {
    files.written = 0;
    files.capacity = 150000;
    CoreEvents events;
    PackSettings settings;
    settings.volume_bytes = volume_bytes;
    EXPECT_EQ(PackArchive(files, events, "C:\\out\\b.ebk", kSources, settings), kStatusDiskFull);
    EXPECT_EQ(files.files["C:\\out\\b.ebk"], "old archive");
    EXPECT_EQ(files.files.size(), 4u) << "temporary parts were left behind";
  }
}

TEST(SqxCore, RemovableMediaAskForEveryFurtherVolumeAndCanBeCancelled) {
  MemoryFileSystem files = WithSources();
  files.media = kMediaRemovable;
  CoreEvents events;
  PackSettings settings;
  settings.volume_bytes = 65536;
  ASSERT_EQ(PackArchive(files, events, "A:\\b.ebk", kSources, settings), kStatusOk);
  const auto asked = events.OfKind(kEventNextVolume);
  ASSERT_GE(asked.size(), 3u);
  for (size_t i = 0; i < asked.size(); ++i) {
    EXPECT_EQ(asked[i].disk_number, static_cast<int32_t>(i + 2));
    EXPECT_EQ(asked[i].amount, 65536);
    EXPECT_EQ(asked[i].media_kind, kMediaRemovable);
    char part[16];
    std::snprintf(part, sizeof(part), "A:\\b.z%02d", static_cast<int>(i + 2));
    EXPECT_EQ(asked[i].second_name, part);
  }
  EXPECT_TRUE(files.files.count("A:\\b.z01"));
  EXPECT_TRUE(files.files.count("A:\\b.ebk"));

  // Reading asks for a part that is not there (another disk) until it appears.
  const std::string first_part = files.files["A:\\b.z01"];
  files.files.erase("A:\\b.z01");
  CoreEvents reading;
  reading.on_event = [&](const Event& event) {
    if (event.kind == kEventNextVolume) files.files["A:\\b.z01"] = first_part;
  };
  ExtractSettings extract;
  extract.staging = "C:\\restore";
  ASSERT_EQ(ExtractArchive(files, reading, "A:\\b.ebk", {"*.*"}, extract), kStatusOk);
  ASSERT_EQ(reading.OfKind(kEventNextVolume).size(), 1u);
  EXPECT_EQ(reading.OfKind(kEventNextVolume)[0].disk_number, 1);
  EXPECT_EQ(files.files["C:\\restore\\photo.jpg"], files.files["C:\\src\\photo.jpg"]);

  MemoryFileSystem again = WithSources();
  again.media = kMediaRemovable;
  CoreEvents cancelling;
  cancelling.abort_on_kind = kEventNextVolume;
  EXPECT_EQ(PackArchive(again, cancelling, "A:\\b.ebk", kSources, settings), kStatusAborted);
  EXPECT_FALSE(again.files.count("A:\\b.ebk"));
}

bool IsTemporaryPart(const std::string& path) { return path.find(".~sqx") != std::string::npos; }

// Flips one byte, where `where` points, of the first part of the new archive (the only one
// of an archive that is not split) when it is read back.
std::function<void(const std::string&, std::string*)> FlipOnReadBack(
    std::function<size_t(const std::string& bytes)> where) {
  auto done = std::make_shared<bool>(false);
  return [where, done](const std::string& path, std::string* bytes) {
    if (*done || !path.ends_with(".~sqx00")) return;
    const size_t at = where(*bytes);
    if (at >= bytes->size()) return;
    (*bytes)[at] = static_cast<char>((*bytes)[at] ^ 0x5A);
    *done = true;
  };
}

struct ReadBackFault {
  const char* what;
  std::string password;
  uint64_t volume_bytes;
  // Where to flip a byte of the new archive's first part as it is read back, or how many
  // bytes of each write to a part reach the medium; one of the two.
  std::function<size_t(const std::string& bytes)> flip_at;
  std::function<size_t(const std::string& path, size_t size)> kept_of_write;
  std::string named;  // what the failure names; empty: any member or the archive
};

// Whatever goes wrong between the write and the read-back, the pack fails, names what it
// found damaged and leaves the older archive of that name (and its parts) as they were.
TEST(SqxCore, AnArchiveThatDoesNotReadBackNeverReplacesTheOldOne) {
  const auto in_first_member = [](const std::string&) { return size_t{200}; };
  // The authentication code lies just before the first member's data descriptor.
  const auto in_first_code = [](const std::string& bytes) {
    const size_t descriptor = bytes.find("PK\x07\x08");
    return descriptor == std::string::npos ? bytes.size() : descriptor - 1;
  };
  const auto in_directory = [](const std::string& bytes) { return bytes.rfind("PK\x01\x02"); };
  const std::vector<ReadBackFault> faults = {
      {"a byte flipped on the medium", "", 0, in_first_member, {}, "Inbox.mbx"},
      {"a byte flipped in an earlier volume", "", 65536, in_first_member, {}, "Inbox.mbx"},
      {"an encrypted byte flipped", "pw", 0, in_first_member, {}, "Inbox.mbx"},
      {"a wrong authentication code over intact data", "pw", 0, in_first_code, {}, "Inbox.mbx"},
      {"a damaged directory", "", 0, in_directory, {}, "C:\\out\\b.ebk"},
      {"a short write that reported success",
       "",
       0,
       {},
       [](const std::string& path, size_t size) {
         return IsTemporaryPart(path) && size > 1000 ? size - 100 : size;
       },
       ""},
      {"a short write in a split archive",
       "pw",
       65536,
       {},
       [](const std::string& path, size_t size) {
         return path.ends_with(".~sqx01") && size > 1000 ? size - 1 : size;
       },
       ""},
  };
  for (const ReadBackFault& fault : faults) {
    SCOPED_TRACE(fault.what);
    MemoryFileSystem files = WithSources();
    files.files["C:\\out\\b.ebk"] = "old archive";
    files.files["C:\\out\\b.z01"] = "old first part";
    const size_t before = files.files.size();
    if (fault.flip_at) files.before_read = FlipOnReadBack(fault.flip_at);
    files.kept_of_write = fault.kept_of_write;
    CoreEvents events;
    PackSettings settings;
    settings.password = fault.password;
    settings.volume_bytes = fault.volume_bytes;
    settings.verify = true;
    EXPECT_EQ(PackArchive(files, events, "C:\\out\\b.ebk", kSources, settings),
              kStatusVerifyFailed);
    EXPECT_EQ(files.files["C:\\out\\b.ebk"], "old archive");
    EXPECT_EQ(files.files["C:\\out\\b.z01"], "old first part");
    EXPECT_EQ(files.files.size(), before) << "parts of the new archive were left behind";
    const auto damaged = events.OfKind(kEventMemberDamaged);
    ASSERT_EQ(damaged.size(), 1u);
    if (!fault.named.empty()) {
      EXPECT_EQ(damaged[0].first_name, fault.named);
    } else {
      EXPECT_TRUE(damaged[0].first_name == "Inbox.mbx" || damaged[0].first_name == "photo.jpg" ||
                  damaged[0].first_name == "note.txt" || damaged[0].first_name == "C:\\out\\b.ebk")
          << damaged[0].first_name;
    }
  }
}

// Every member of every part is read back before the archive takes its name; callers that
// do not ask for it (older ones leave the field 0) get the pack they always got.
TEST(SqxCore, TheReadBackCoversEveryMemberOfEveryVolume) {
  for (const std::string password : {"", "pw"}) {
    SCOPED_TRACE(password);
    MemoryFileSystem files = WithSources();
    std::set<std::string> read_back;
    files.before_read = [&](const std::string& path, std::string*) {
      if (IsTemporaryPart(path)) read_back.insert(path);
    };
    PackSettings settings;
    settings.password = password;
    settings.volume_bytes = 65536;
    CoreEvents unverified;
    ASSERT_EQ(PackArchive(files, unverified, "C:\\out\\b.ebk", kSources, settings), kStatusOk);
    EXPECT_TRUE(read_back.empty());
    EXPECT_TRUE(unverified.OfKind(kEventVerifyEntry).empty());

    settings.verify = true;
    CoreEvents verified;
    ASSERT_EQ(PackArchive(files, verified, "C:\\out\\b.ebk", kSources, settings), kStatusOk);
    std::vector<std::string> names;
    for (const Event& event : verified.OfKind(kEventVerifyEntry)) names.push_back(event.first_name);
    EXPECT_EQ(names, (std::vector<std::string>{"Inbox.mbx", "photo.jpg", "note.txt"}));
    size_t parts = 0;
    for (const auto& [path, bytes] : files.files) {
      parts += path.starts_with("C:\\out\\b.") ? 1 : 0;
      EXPECT_FALSE(IsTemporaryPart(path)) << path;
    }
    EXPECT_GE(parts, 3u);
    EXPECT_EQ(read_back.size(), parts) << "every volume is read back";
    EXPECT_TRUE(verified.OfKind(kEventPassword).empty()) << "the writer's keys are reused";

    // Stopping during the read-back is a stop, not damage, and keeps the older archive too.
    const std::string kept = files.files["C:\\out\\b.ebk"];
    CoreEvents stopping;
    stopping.abort_on_kind = kEventVerifyEntry;
    EXPECT_EQ(PackArchive(files, stopping, "C:\\out\\b.ebk", kSources, settings), kStatusAborted);
    EXPECT_EQ(files.files["C:\\out\\b.ebk"], kept);
    EXPECT_TRUE(stopping.OfKind(kEventMemberDamaged).empty());
  }
}

TEST(SqxCore, ASourceHeldByAnotherProgramIsNamedAndFailsThePack) {
  MemoryFileSystem files = WithSources();
  files.files["C:\\out\\b.ebk"] = "old archive";
  files.in_use.insert("C:\\src\\photo.jpg");
  CoreEvents events;
  EXPECT_EQ(PackArchive(files, events, "C:\\out\\b.ebk", kSources, PackSettings()), kStatusInUse);
  const auto named = events.OfKind(kEventSourceInUse);
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].first_name, "C:\\src\\photo.jpg");
  EXPECT_EQ(files.files["C:\\out\\b.ebk"], "old archive");
  EXPECT_EQ(files.files.size(), 4u);
}

TEST(SqxCore, MoreMembersThanSixteenBitsCountUseZip64EndRecords) {
  MemoryFileSystem files;
  std::vector<std::string> sources;
  for (int i = 0; i < 70000; ++i) {
    sources.push_back("C:\\m\\" + std::to_string(i) + ".eml");
    files.files[sources.back()] = std::to_string(i);
  }
  CoreEvents events;
  ASSERT_EQ(PackArchive(files, events, "C:\\many.ebk", sources, PackSettings()), kStatusOk);
  NameList names;
  ASSERT_EQ(ListArchive(files, events, "C:\\many.ebk", {}, &names), kStatusOk);
  ASSERT_EQ(names.size(), 70000u);
  std::string last;
  names.ForEach([&](std::string_view name) { last = name; });
  EXPECT_EQ(last, "69999.eml");
  ExtractSettings extract;
  extract.staging = "C:\\x";
  ASSERT_EQ(ExtractArchive(files, events, "C:\\many.ebk", {"6999?.eml"}, extract), kStatusOk);
  EXPECT_EQ(files.files["C:\\x\\69993.eml"], "69993");
  // The library's own writer and the standard agree: 7-Zip reads the same bytes.
  ScratchFolder work;
  WriteFile(work / "many.zip", files.files["C:\\many.ebk"]);
  EXPECT_EQ(std::system(("7zz t '" + (work / "many.zip") + "' >/dev/null").c_str()), 0);
}

TEST(SqxCore, StoredNamesAreCleanedAndCheckedBeforeWriting) {
  EXPECT_EQ(StoredNameFor("\\infobak.ini"), "infobak.ini");
  EXPECT_EQ(StoredNameFor("C:\\Mail\\..\\.\\Inbox.mbx"), "Mail/Inbox.mbx");
  EXPECT_EQ(StoredNameFor("\\\\server\\share\\a"), "server/share/a");
  EXPECT_EQ(StoredNameFor("\\..\\"), "");
  EXPECT_TRUE(IsSafeStoredName("N/identity.reg"));
  EXPECT_TRUE(IsSafeStoredName("Stationery/"));
  for (const char* bad : {"../a", "a/../b", "/a", "\\a", "C:/a", "a//b", "a/./b", "a:b", ""}) {
    EXPECT_FALSE(IsSafeStoredName(bad)) << bad;
  }
}

TEST(SqxCore, RequestsMatchWithoutRegardToCaseInEveryScript) {
  EXPECT_TRUE(MatchesRequest("others.ini", "Others.ini"));
  EXPECT_TRUE(MatchesRequest("ÄRGER\\ÜBER.TXT", "ärger\\über.txt"));
  EXPECT_TRUE(MatchesRequest("ПОЧТА.dbx", "почта.DBX"));
  EXPECT_TRUE(MatchesRequest("main\\*", "Main\\Inbox.mbx"));
  EXPECT_TRUE(MatchesRequest("*.*", "noextension"));
  EXPECT_FALSE(MatchesRequest("main\\*", "Main Identity\\Inbox.mbx"));
  EXPECT_FALSE(MatchesRequest("inbox.mb?", "inbox.mbxx"));
  EXPECT_EQ(Cp437ToUtf8("\x8e\x81"
                        "ber"),
            "Äüber");
}

// The derivation is the library's PBKDF2-HMAC-SHA1 rebuilt from plain SHA-1; it must agree
// with the library's own for every key strength and for passwords shorter, as long as and
// longer than the hash block, which HMAC hashes first.
TEST(SqxCore, KeyDerivationAgreesWithTheCryptoLibrary) {
  const unsigned char salt[16] = {0x5a, 0x01, 0xff, 0x80, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 0x10, 0x20};
  for (const size_t length : {size_t{0}, size_t{9}, size_t{64}, size_t{65}, size_t{300}}) {
    std::string password;
    for (size_t i = 0; i < length; ++i) password.push_back(static_cast<char>('!' + i % 90));
    for (int strength = 1; strength <= 3; ++strength) {
      AesKeys keys;
      ASSERT_EQ(DeriveAesKeys(password, strength, salt, &keys), kStatusOk);
      const size_t salt_size = AesKeys::SaltBytes(strength);
      const size_t size = 4 * salt_size + AesCipher::kVerifierSize;
      unsigned char expected[sizeof(keys.bytes)] = {};
      ASSERT_EQ(gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1,
                                salt, salt_size, 1000, size, expected),
                0u);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(keys.bytes), size),
                std::string(reinterpret_cast<char*>(expected), size))
          << "password of " << length << " bytes, strength " << strength;
    }
  }
}

TEST(SqxCore, VolumeSizesFollowTheMediaCodes) {
  EXPECT_EQ(VolumeBytesFor(kVolumeFloppyBytes), 1357664u);
  EXPECT_EQ(VolumeBytesFor(kVolumeZip100), kZip100Bytes);
  EXPECT_EQ(VolumeBytesFor(kVolumeCd700), kCd700Bytes);
  EXPECT_EQ(VolumeBytesFor(10), 0u);
  EXPECT_EQ(VolumeBytesFor(100), 0u);  // too small to hold a header
  EXPECT_EQ(VolumeBytesFor(65536), 65536u);
}

}  // namespace
}  // namespace sqx::testing

namespace sqx::testing {
namespace {

// Names come back in order and whole, however much each shares with the one before.
TEST(SqxNameList, NamesComeBackWholeWhateverTheyShare) {
  std::vector<std::string> names = {"C:\\a\\b\\one.eml", "C:\\a\\b\\two.eml",
                                    "C:\\a\\b",          "",
                                    "C:\\a\\c\\x",       std::string("nul\0inside", 10),
                                    "C:\\a\\b\\one.eml"};
  names.push_back(std::string(300000, 'x'));  // longer than a block
  names.push_back(std::string(300000, 'x') + "y");
  NameList list;
  for (const std::string& name : names) list.Add(name);
  std::vector<std::string> read;
  list.ForEach([&](std::string_view name) { read.emplace_back(name); });
  EXPECT_EQ(list.size(), names.size());
  EXPECT_EQ(read, names);
}

}  // namespace
}  // namespace sqx::testing
