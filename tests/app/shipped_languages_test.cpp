// The shipped language files against the shipped English.lng: every language that start-up
// can choose has its file, each file is UTF-8 with a byte-order mark (so that it reads the
// same on every system code page), holds every key of English, and nothing a translation must
// keep (multi-line separators, accelerators, placeholders) is lost.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "base/ini_text.h"
#include "app/language_files.h"
#include "base/settings.h"

namespace mailstow {
namespace {

const std::filesystem::path kDist = std::filesystem::path(MAILSTOW_SOURCE_DIR) / "dist";

// The ANSI code page of a language's users: every letter of its file has a character there
// (which a file converted from the wrong code page would not).
UINT CodePageOf(const std::wstring& language) { return language == L"Romana" ? 1250 : 1252; }

bool RepresentableIn(const std::wstring& text, UINT code_page) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                      nullptr, 0, nullptr, &lossy);
  return !lossy;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Strict decoding: nullopt when a byte has no character in the code page.
std::optional<std::wstring> Decode(const std::string& bytes, UINT code_page) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
  return text;
}

// The text of a file that must be UTF-8 with a byte-order mark; nullopt when it is not.
std::optional<std::wstring> DecodeMarkedUtf8(const std::string& bytes) {
  if (!bytes.starts_with("\xEF\xBB\xBF")) return std::nullopt;
  return Decode(bytes.substr(3), CP_UTF8);
}

std::vector<std::wstring> ShippedLanguages() {
  std::vector<std::wstring> languages;
  for (const auto& entry : std::filesystem::directory_iterator(kDist)) {
    if (entry.path().extension() == L".lng") languages.push_back(entry.path().stem().wstring());
  }
  std::sort(languages.begin(), languages.end());
  return languages;
}

// Multi-line separators, accelerators and placeholders, in order: a translation keeps them all.
std::vector<std::wstring> Markers(const std::wstring& value) {
  static const std::wregex marker(LR"(\"|&[^&\s]|%[0-9A-Za-z]|\{[0-9A-Za-z_]*\})");
  std::vector<std::wstring> found;
  for (auto it = std::wsregex_iterator(value.begin(), value.end(), marker);
       it != std::wsregex_iterator(); ++it) {
    const std::wstring text = it->str();
    found.push_back(text[0] == L'&' ? L"&" : text);
  }
  return found;
}

TEST(ShippedLanguagesTest, EveryStartUpLanguageHasItsFile) {
  const std::vector<std::wstring> shipped = ShippedLanguages();
  std::set<std::wstring> chosen;
  for (unsigned primary = 0; primary <= 0x3FF; ++primary)
    chosen.insert(DefaultLanguageFor(primary));
  for (const std::wstring& language : chosen) {
    EXPECT_NE(std::find(shipped.begin(), shipped.end(), language), shipped.end())
        << "no file for the start-up language " << ::testing::PrintToString(language);
  }
}

TEST(ShippedLanguagesTest, EveryFileIsMarkedUtf8AndHoldsEveryEnglishKey) {
  const std::optional<std::wstring> english_text =
      DecodeMarkedUtf8(ReadBytes(kDist / "English.lng"));
  ASSERT_TRUE(english_text);
  const IniText english = IniText::Parse(*english_text);
  ASSERT_GE(english.KeyNames(L"Messages").size(), 37u);  // the file was read

  for (const std::wstring& language : ShippedLanguages()) {
    SCOPED_TRACE(::testing::PrintToString(language));
    const std::optional<std::wstring> text =
        DecodeMarkedUtf8(ReadBytes(kDist / (language + L".lng")));
    ASSERT_TRUE(text) << "not UTF-8 with a byte-order mark";
    EXPECT_TRUE(RepresentableIn(*text, CodePageOf(language)))
        << "letters outside code page " << CodePageOf(language);
    const IniText file = IniText::Parse(*text);

    // Listed under its own name, so that choosing it finds this file.
    EXPECT_EQ(file.ReadString(L"Language", L"Language", kMissingText), language);
    EXPECT_EQ(file.SectionNames(), english.SectionNames());
    for (const std::wstring& section : english.SectionNames()) {
      std::vector<std::wstring> keys = file.KeyNames(section);
      std::vector<std::wstring> english_keys = english.KeyNames(section);
      std::sort(keys.begin(), keys.end());
      std::sort(english_keys.begin(), english_keys.end());
      EXPECT_EQ(keys, english_keys) << "in [" << ::testing::PrintToString(section) << "]";
      for (const std::wstring& key : english.KeyNames(section)) {
        const std::wstring original = english.ReadString(section, key, kMissingText);
        const std::wstring translated = file.ReadString(section, key, kMissingText);
        if (translated == kMissingText) continue;  // reported above
        EXPECT_FALSE(translated.empty() && !original.empty()) << ::testing::PrintToString(key);
        EXPECT_EQ(Markers(translated), Markers(original)) << ::testing::PrintToString(key);
      }
    }
  }
}

}  // namespace
}  // namespace mailstow
