#include <gtest/gtest.h>

#include "tools/sha256.h"
#include "tools/snapshot.h"
#include "tools/snapshot_file.h"
#include "tools/utf_text.h"

namespace mailstow {
namespace {

ValueShot Text(std::wstring name, std::wstring_view text) {
  std::vector<uint8_t> data = ToUtf16Bytes(text);
  data.insert(data.end(), {0, 0});
  return {std::move(name), kTypeString, std::move(data)};
}

ValueShot Number(std::wstring name, uint32_t number) {
  return {std::move(name),
          kTypeDword,
          {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
           static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
}

Snapshot Sample() {
  Snapshot snapshot;
  snapshot.keys.push_back({L"HKEY_CURRENT_USER\\Identities",
                           {Text(L"Default User ID", L"{1}"), Number(L"Migrated5", 1)}});
  snapshot.keys.push_back({L"HKEY_CURRENT_USER\\Identities\\{1}",
                           {Text(L"Username", L"Main Identity"),
                            {L"Password", kTypeBinary, {1, 2, 3}},
                            Text(L"", L"default text")}});
  snapshot.files.push_back({L"C:\\Store", true, 0, ""});
  snapshot.files.push_back({L"C:\\Store\\Inbox.dbx", false, 10, Sha256::HexOf("0123456789")});
  snapshot.files.push_back({L"C:\\Store\\Sub", true, 0, ""});
  return snapshot;
}

TEST(SnapshotDifferences, EqualSnapshotsHaveNoDifferences) {
  EXPECT_TRUE(Differences(Sample(), Sample()).empty());
  EXPECT_TRUE(Differences(Snapshot(), Snapshot()).empty());
}

TEST(SnapshotDifferences, EveryKindOfChangeIsReportedOnceWithItsPlace) {
  const Snapshot before = Sample();
  Snapshot after = Sample();
  after.keys[0].values[1] = Number(L"Migrated5", 2);                  // data
  after.keys[1].values[1].type = kTypeExpandString;                   // type
  after.keys[1].values.erase(after.keys[1].values.begin() + 2);       // default value gone
  after.keys[1].values.push_back(Number(L"Identity Ordinal", 3));     // value added
  after.keys.push_back({L"HKEY_CURRENT_USER\\Identities\\{2}", {}});  // key added
  after.files[1].hash = Sha256::HexOf("0123456780");                  // one byte altered
  after.files.erase(after.files.begin() + 2);                         // folder gone
  after.files.push_back({L"C:\\Store\\Drafts.dbx", false, 4, Sha256::HexOf("abcd")});

  const std::vector<std::wstring> expected = {
      L"value data changed: HKEY_CURRENT_USER\\Identities [Migrated5] 1 -> 2",
      L"value missing: HKEY_CURRENT_USER\\Identities\\{1} [(default)]",
      L"value added: HKEY_CURRENT_USER\\Identities\\{1} [Identity Ordinal] = REG_DWORD 3",
      L"value type changed: HKEY_CURRENT_USER\\Identities\\{1} [Password] REG_BINARY -> "
      L"REG_EXPAND_SZ",
      L"key added: HKEY_CURRENT_USER\\Identities\\{2}",
      L"file added: C:\\Store\\Drafts.dbx (4 bytes)",
      L"file content changed: C:\\Store\\Inbox.dbx",
      L"folder missing: C:\\Store\\Sub",
  };
  EXPECT_EQ(Differences(before, after), expected);
}

TEST(SnapshotDifferences, RemovedKeysListTheirValuesAndSizesAreReportedBeforeHashes) {
  const Snapshot before = Sample();
  Snapshot after = Sample();
  after.keys.erase(after.keys.begin() + 1);
  after.files[1].size = 9;
  after.files[1].hash = Sha256::HexOf("012345678");
  after.files[2].folder = false;
  const std::vector<std::wstring> expected = {
      L"key missing: HKEY_CURRENT_USER\\Identities\\{1}",
      L"value missing: HKEY_CURRENT_USER\\Identities\\{1} [Username]",
      L"value missing: HKEY_CURRENT_USER\\Identities\\{1} [Password]",
      L"value missing: HKEY_CURRENT_USER\\Identities\\{1} [(default)]",
      L"file size changed: C:\\Store\\Inbox.dbx 10 -> 9 bytes",
      L"folder became a file: C:\\Store\\Sub",
  };
  EXPECT_EQ(Differences(before, after), expected);
}

TEST(SnapshotDifferences, NamesPairWithoutRegardToCaseButAChangedSpellingIsReported) {
  const Snapshot before = Sample();
  Snapshot after = Sample();
  after.keys[0].path = L"HKEY_CURRENT_USER\\IDENTITIES";
  after.keys[1].values[0].name = L"username";
  after.files[1].path = L"C:\\Store\\INBOX.DBX";
  const std::vector<std::wstring> expected = {
      L"key spelled differently: HKEY_CURRENT_USER\\Identities is now "
      L"HKEY_CURRENT_USER\\IDENTITIES",
      L"value name spelled differently: HKEY_CURRENT_USER\\Identities\\{1} [Username] is now "
      L"[username]",
      L"file spelled differently: C:\\Store\\Inbox.dbx is now C:\\Store\\INBOX.DBX",
  };
  EXPECT_EQ(Differences(before, after), expected);
}

TEST(SnapshotDifferences, ChangedTextIsShownAndLongDataShortened) {
  Snapshot before = Sample();
  Snapshot after = Sample();
  after.keys[1].values[0] = Text(L"Username", L"Zo\u00eb");
  before.keys[1].values[1].data.assign(40, 0xAB);
  const std::vector<std::wstring> lines = Differences(before, after);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            L"value data changed: HKEY_CURRENT_USER\\Identities\\{1} [Password] <ab ab ab ab ab ab "
            L"ab ab ab ab ab ab ab ab ab ab ...> (40 bytes) -> <01 02 03> (3 bytes)");
  EXPECT_EQ(lines[1],
            L"value data changed: HKEY_CURRENT_USER\\Identities\\{1} [Username] "
            L"\"Main Identity\" -> \"Zo\u00eb\"");
}

TEST(SnapshotFile, SnapshotsSurviveTheTripThroughTheirTextForm) {
  Snapshot snapshot = Sample();
  snapshot.keys[1].values.push_back(Text(L"Tab\tand\nnewline %41", L"x"));
  snapshot.keys[1].values.push_back({L"Empty", kTypeBinary, {}});
  snapshot.files.push_back({L"C:\\Fav\\Caf\u00e9 \u2615.url", false, 0, Sha256::HexOf("")});
  const std::string text = SerializeSnapshot(snapshot);
  Snapshot parsed;
  std::wstring error;
  ASSERT_TRUE(ParseSnapshot(text, &parsed, &error)) << ToUtf8(error);
  EXPECT_EQ(parsed, snapshot);
  EXPECT_TRUE(Differences(snapshot, parsed).empty());
  // One record per line: names with line breaks cannot split a record.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14);
}

TEST(SnapshotFile, MalformedTextIsRefusedWithTheLine) {
  const std::string header = "mailstow-snapshot 1\n";
  const std::string hash(64, 'a');
  const std::vector<std::pair<std::string, std::wstring>> cases = {
      {"", L"line 0: empty file"},
      {"something else\n", L"line 1: not a snapshot file"},
      {header + "V\tname\t1\t00\n", L"line 2: value outside a key"},
      {header + "K\tk\nV\tname\tone\t00\n", L"line 3: malformed value"},
      {header + "K\tk\nV\tname\t1\t0\n", L"line 3: malformed value"},
      {header + "K\tk%4\n", L"line 2: malformed key path"},
      {header + "K\tk%zz\n", L"line 2: malformed key path"},
      {header + "F\tf\t12\t" + hash.substr(1) + "\n", L"line 2: malformed file"},
      {header + "F\tf\t-1\t" + hash + "\n", L"line 2: malformed file"},
      {header + "F\tf\t1\n", L"line 2: unknown line"},
      {header + "X\tf\n", L"line 2: unknown line"},
  };
  for (const auto& [text, message] : cases) {
    Snapshot parsed;
    std::wstring error;
    EXPECT_FALSE(ParseSnapshot(text, &parsed, &error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

TEST(Sha256, KnownDigestsAndPiecewiseFeeding) {
  EXPECT_EQ(Sha256::HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256::HexOf("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Sha256::HexOf(two_blocks),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  Sha256 pieces;
  const std::string million(1000000, 'a');
  for (size_t i = 0; i < million.size(); i += 999) {
    pieces.Update(million.data() + i, std::min<size_t>(999, million.size() - i));
  }
  EXPECT_EQ(pieces.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(UtfText, TextsSurviveEveryEncodingAndMalformedBytesAreReplaced) {
  const std::wstring text = L"Zo\u00eb \u20ac \U0001F600 end";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(L"\u00e9"), "\xc3\xa9");
  std::vector<uint8_t> utf16 = ToUtf16Bytes(text);
  EXPECT_EQ(utf16.size(), 2 * 12u);  // the emoji takes two code units
  EXPECT_EQ(FromUtf16Bytes(utf16), text);
  utf16.insert(utf16.end(), {0, 0, 'x', 0});
  EXPECT_EQ(FromUtf16Bytes(utf16), text);
  EXPECT_EQ(FromUtf8("a\xff"
                     "b\xc3"),
            L"a\ufffdb\ufffd");
  EXPECT_EQ(FromUtf8("\xc0\xaf"), L"\ufffd");  // overlong
  EXPECT_EQ(FoldCase(L"Inbox.dbx \u00e9\u00f7"), L"INBOX.DBX \u00c9\u00f7");
}

}  // namespace
}  // namespace mailstow
