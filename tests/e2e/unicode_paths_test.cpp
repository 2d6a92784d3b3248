// Favorites whose names lie outside the ANSI code page, in a folder whose map entry does too,
// and one at the end of a path of more than 300 characters: backed up and restored through the
// real wizard on code page 1252, byte for byte; the same archive restored on another code page
// (the run registered with a Russian locale, code page 1251) and listed by 7-Zip (a script).
#include <gtest/gtest.h>

#include <map>

#include "base/ansi_text.h"
#include "base/registry_key.h"
#include "tests/e2e/client_round_trip.h"

namespace mailstow::e2e {
namespace {

// Below a folder chain that takes its path past 300 characters.
std::wstring DeepFavorite() {
  std::wstring path = L"Deep";
  for (wchar_t c = L'a'; c < L'g'; ++c) path += L"\\" + std::wstring(50, c);
  return path + L"\\\u041f\u043e\u0447\u0442\u0430 deep.url";
}

// The favourites: ASCII, Latin-1, Cyrillic, Greek and Japanese names; a Greek folder, which
// the directory map names; the deep one.
Contents Favorites() {
  return {
      {L"Home.url", "[InternetShortcut]\r\nURL=http://home.example/\r\n"},
      {L"Caf\u00e9 J\u00fcrgen.url", "[InternetShortcut]\r\nURL=http://cafe.example/\r\n"},
      {L"\u041f\u043e\u0447\u0442\u0430.url",
       "[InternetShortcut]\r\nURL=http://pochta.example/\r\n"},
      {L"\u03a4\u03b1\u03c7\u03c5\u03b4\u03c1\u03bf\u03bc\u03b5\u03af\u03bf.url",
       "[InternetShortcut]\r\nURL=http://taxydromeio.example/\r\n"},
      {L"\u03a4\u03b1\u03be\u03af\u03b4\u03b9\u03b1\\\u30e1\u30fc\u30eb.url",
       "[InternetShortcut]\r\nURL=http://meeru.example/\r\n"},
      {DeepFavorite(), "[InternetShortcut]\r\nURL=http://deep.example/\r\n"},
  };
}

// Paths in the extended form, so that the deep one needs no help from the file API.
std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

void WriteFavorite(const std::wstring& path, const std::string& content) {
  for (size_t i = 3; i < path.size(); ++i) {
    if (path[i] == L'\\') CreateDirectoryW(Extended(path.substr(0, i)).c_str(), nullptr);
  }
  ASSERT_TRUE(WriteBytes(Extended(path), content)) << EncodeUtf8(path);
}

std::string Described(const Contents& tree) {
  std::string text;
  for (const auto& [path, content] : tree) text += EncodeUtf8(path) + "\n";
  return text;
}

// The folder shared with the other runs (a Linux path), as this prefix sees it.
std::wstring Exchange() {
  const char* folder = std::getenv("MAILSTOW_EXCHANGE");
  if (folder == nullptr) return L"";
  std::wstring path = L"Z:" + DecodeUtf8(folder);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

class UnicodePathsTest : public ClientRoundTrip {
 protected:
  UnicodePathsTest()
      : ClientRoundTrip(
            {.radio_button = L"RadioButton16", .program_name = L"favorites", .choose = true}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    favorites_ = ReadRegistryString(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        L"Favorites");
    ASSERT_FALSE(favorites_.empty());
    Wipe();
  }

  void Wipe() {
    ASSERT_TRUE(favorites_.size() > 3 && favorites_[1] == L':');
    RemoveTree(favorites_);
    CreateDirectoryW(favorites_.c_str(), nullptr);
    ASSERT_TRUE(ContentsBelow(favorites_).empty());
  }

  // Opens the archive and restores everything directly; the favourites must come back whole.
  void RestoreAndCompare(const std::wstring& archive) {
    OpenForRestore(archive, {L"Default"});
    RestoreDirectly();
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
    const Contents restored = ContentsBelow(favorites_);
    EXPECT_EQ(restored, Favorites()) << "restored:\n" << Described(restored);
  }

  std::wstring favorites_;
};

TEST_F(UnicodePathsTest, NamesOfEveryScriptAndALongPathComeBackByteForByte) {
  ASSERT_EQ(GetACP(), 1252u);
  for (const auto& [path, content] : Favorites()) WriteFavorite(favorites_ + L"\\" + path, content);
  ASSERT_GT((favorites_ + L"\\" + DeepFavorite()).size(), 300u);
  ASSERT_EQ(ContentsBelow(favorites_), Favorites());

  const std::wstring archive =
      L"C:\\Backups\\\u30e1\u30fc\u30eb \u041f\u043e\u0447\u0442\u0430.ebk";
  Backup(archive);
  EXPECT_TRUE(wizard_.NoBox());
  EXPECT_TRUE(LogHolds({L"Error code: 0", L"File: " + favorites_ + L"\\" + DeepFavorite()}));
  EXPECT_EQ(Log().find(L"Not found"), std::wstring::npos);
  EXPECT_EQ(Log().find(L"Not backed up"), std::wstring::npos);

  ASSERT_TRUE(FileExists(archive));

  Wipe();
  RestoreAndCompare(archive);

  // For the run on another code page and for 7-Zip.
  const std::wstring exchange = Exchange();
  if (!exchange.empty()) {
    CreateDirectoryW(exchange.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(archive.c_str(), (exchange + L"\\favorites.ebk").c_str(), FALSE));
  }
}

TEST_F(UnicodePathsTest, OnAnotherCodePageTheSameArchiveRestoresWhole) {
  const std::wstring exchange = Exchange();
  if (exchange.empty()) GTEST_SKIP() << "runs after the backup run, which leaves its archive";
  // The locale of this run decides Wine's ANSI code page: it must really be another one.
  ASSERT_EQ(GetACP(), 1251u);
  RestoreAndCompare(exchange + L"\\favorites.ebk");
  // Restored into another folder, the Greek folder of the map keeps its name.
  OpenForRestore(exchange + L"\\favorites.ebk", {L"Default"});
  RestoreInto(L"C:\\Restore");
  const Contents elsewhere = ContentsBelow(L"C:\\Restore");
  EXPECT_EQ(elsewhere, Favorites()) << "restored:\n" << Described(elsewhere);
}

}  // namespace
}  // namespace mailstow::e2e
