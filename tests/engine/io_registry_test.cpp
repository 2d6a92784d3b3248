#include "engine/io_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/registry_key.h"

namespace mailstow {
namespace {

constexpr wchar_t kBase[] = L"Software\\MailstowTests\\IORegistry";
constexpr wchar_t kBranch[] = L"Software\\MailstowTests\\IORegistry\\Branch";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RecordingPrompts : public UserPrompts {
 public:
  PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) override {
    shown.push_back({kind, buttons, text});
    return PromptAnswer::kOk;
  }
  std::optional<std::wstring> AskPassword() override { return std::nullopt; }

  struct Shown {
    PromptKind kind;
    PromptButtons buttons;
    std::wstring text;
  };
  std::vector<Shown> shown;
};

// Every key of a tree, by path below its top, with every value as the registry holds it.
using TreeSnapshot = std::map<std::wstring, std::vector<RegistryValue>>;

void SnapshotInto(HKEY key, const std::wstring& path, TreeSnapshot& snapshot) {
  auto& values = snapshot[path];
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      break;
    }
    std::vector<uint8_t> data(size);
    RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    values.push_back({std::wstring(name, length), type, data});
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
    HKEY child;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    SnapshotInto(child, path + L"\\" + name, snapshot);
    RegCloseKey(child);
  }
}

TreeSnapshot Snapshot(const std::wstring& top) {
  TreeSnapshot snapshot;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, top.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    SnapshotInto(key, L"", snapshot);
    RegCloseKey(key);
  }
  return snapshot;
}

HKEY CreateKey(const std::wstring& path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

void SetValue(HKEY key, const RegistryValue& value) {
  ASSERT_EQ(RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())),
            ERROR_SUCCESS);
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name) {
  RegistryKey key;
  return key.Open(root, path, false, KEY_READ) && key.ValueExists(name);
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

RegistryValue Typed(std::wstring name, uint32_t type, std::vector<uint8_t> data) {
  return RegistryValue{std::move(name), type, std::move(data)};
}

std::string WithBranchKey(std::string text) {
  const std::string key = "[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch";
  for (size_t at; (at = text.find('@')) != text.npos;) text.replace(at, 1, key);
  return text;
}

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 1);
  return bytes;
}

class IORegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 1252u) << "the expected files are written in code page 1252";
    RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
    DeleteFileW(file_.c_str());
  }

  // The branch with nested sub-keys (made in an order the registry does not keep) and one
  // value of each kind, names chosen in the order the registry lists them.
  void BuildBranch() {
    HKEY top = CreateKey(kBranch);
    SetValue(top, StringValue(L"", L"Default"));
    SetValue(top, Typed(L"Blob", kTypeBinary, {0x00, 0x7F, 0xAB}));
    SetValue(top, DwordValue(L"Count", 0x2A));
    SetValue(top, Typed(L"Empty", kTypeBinary, {}));
    SetValue(top, Typed(L"Expand", kTypeExpandString, Utf16LeBytes(L"%TEMP%\\x", true)));
    SetValue(top, Typed(L"Long", kTypeBinary, Counting(20)));
    SetValue(top, DwordValue(L"Max", 0xFFFFFFFF));
    SetValue(top, StringValue(L"Path", L"C:\\Mail\\say \"hi\"\\caf\u00e9"));
    SetValue(top, StringValue(L"with=equals", L"a=b"));
    RegCloseKey(top);
    HKEY beta = CreateKey(std::wstring(kBranch) + L"\\Beta");
    SetValue(beta, StringValue(L"Name", L"beta"));
    RegCloseKey(beta);
    RegCloseKey(CreateKey(std::wstring(kBranch) + L"\\Alpha\\Deep\\Deeper"));
    HKEY one = CreateKey(std::wstring(kBranch) + L"\\Gamma\\One");
    SetValue(one, DwordValue(L"N", 1));
    RegCloseKey(one);
  }

  // Values the plain forms cannot carry; they must come back with type and bytes intact.
  void AddAwkwardValues() {
    HKEY top = CreateKey(kBranch);
    SetValue(top, StringValue(L"Cyrillic", L"\u0416\u0443\u0440"));
    SetValue(top, StringValue(L"Lines", L"one\r\n[HKEY_CURRENT_USER\\Planted]"));
    SetValue(top,
             Typed(L"Multi", kTypeMultiString, Utf16LeBytes(std::wstring(L"a\0b\0", 4), true)));
    SetValue(top, Typed(L"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}));
    SetValue(top, Typed(L"ShortDword", kTypeDword, {9, 8}));
    SetValue(top, Typed(L"Unterminated", kTypeString, {0x41, 0x00}));
    RegCloseKey(top);
  }

  std::vector<std::wstring> log_;
  RecordingPrompts prompts_;
  TIORegistry io_{&prompts_, [this](const std::wstring& line) { log_.push_back(line); }};
  std::wstring file_ = TempFile(L"mailstow_io_registry_test.reg");
};

TEST_F(IORegistryTest, ExportWritesTheBranchByteForByte) {
  BuildBranch();
  ASSERT_TRUE(io_.ExportKey(L"HKEY_CURRENT_USER", std::wstring(L"\\") + kBranch, true, file_));
  // "@" stands for the branch's key line without its closing bracket.
  const std::string expected = WithBranchKey(
      "REGEDIT4\r\n"
      "\r\n@]\r\n"
      "\"\"=\"Default\"\r\n"
      "\"Blob\"=hex:00,7F,AB\r\n"
      "\"Count\"=dword:0000002A\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Expand\"=hex(2):25,00,54,00,45,00,4D,00,50,00,25,00,5C,00,78,00,00,00\r\n"
      "\"Long\"=hex:01,26,4B,70,95,BA,DF,04,29,4E,73,98,BD,E2,07,2C,51,76,9B,C0\r\n"
      "\"Max\"=dword:FFFFFFFF\r\n"
      "\"Path\"=\"C:\\Mail\\say \"hi\"\\caf\xE9\"\r\n"
      "\"with=equals\"=\"a=b\"\r\n"
      "\r\n@\\Alpha]\r\n"
      "\r\n@\\Beta]\r\n"
      "\"Name\"=\"beta\"\r\n"
      "\r\n@\\Gamma]\r\n"
      "\r\n@\\Alpha\\Deep]\r\n"
      "\r\n@\\Alpha\\Deep\\Deeper]\r\n"
      "\r\n@\\Gamma\\One]\r\n"
      "\"N\"=dword:00000001\r\n");
  EXPECT_EQ(ReadBytes(file_), expected);
  EXPECT_TRUE(log_.empty());

  // The key alone: its values, none of its sub-keys.
  ASSERT_TRUE(
      io_.ExportKey(L"HKEY_CURRENT_USER", std::wstring(kBranch) + L"\\Gamma", false, file_));
  EXPECT_EQ(ReadBytes(file_), WithBranchKey("REGEDIT4\r\n\r\n@\\Gamma]\r\n"));
}

TEST_F(IORegistryTest, ImportRecreatesAWipedBranchWithTypesAndBytes) {
  BuildBranch();
  AddAwkwardValues();
  const TreeSnapshot before = Snapshot(kBranch);
  ASSERT_EQ(before.size(), 7u);
  ASSERT_TRUE(io_.ExportKey(L"HKEY_CURRENT_USER", kBranch, true, file_));
  EXPECT_TRUE(log_.empty());

  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kBase), ERROR_SUCCESS);
  ASSERT_TRUE(Snapshot(kBranch).empty());
  EXPECT_TRUE(io_.ImportFile(file_));
  EXPECT_EQ(Snapshot(kBranch), before);
  EXPECT_TRUE(log_.empty());
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, L"Planted", L""));
  HKEY planted;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Planted", 0, KEY_READ, &planted), ERROR_SUCCESS);
}

TEST_F(IORegistryTest, AllowedBranchesKeepAPlantedRunValueOut) {
  WriteBytes(file_,
             "REGEDIT4\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch\\Accounts]\r\n"
             "\"Server\"=\"mail.example\"\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
             "\"MailstowPlanted\"=\"C:\\planted.exe\"\r\n");
  const std::vector<RegistryBranch> allowed = {
      {TRootKeys::rkHKEY_CURRENT_USER, L"\\software\\mailstowtests\\ioregistry\\branch"}};

  EXPECT_FALSE(io_.ImportFile(file_, allowed));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, std::wstring(kBranch) + L"\\Accounts", L"Server"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, L"MailstowPlanted"));
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_NE(log_[0].find(L"CurrentVersion\\Run] lies outside"), std::wstring::npos);

  // Without the list the same file reaches the Run key: the list is what stops it.
  EXPECT_TRUE(io_.ImportFile(file_));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunKey, L"MailstowPlanted"));
  HKEY run = CreateKey(kRunKey);
  RegDeleteValueW(run, L"MailstowPlanted");
  RegCloseKey(run);
}

TEST_F(IORegistryTest, MalformedFileWritesOnlyWhatItNamesAndReportsTheRest) {
  WriteBytes(file_,
             "\"Orphan\"=\"into the root?\"\r\n"
             "REGEDIT4\r\n"
             "  [HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch]\r\n"
             "  \"Indented\"=dword:00000007\r\n"
             "\"Quoted\"=\"keeps \"inner\" quotes\"\r\n"
             "[HKEY_NOWHERE\\Software\\MailstowTests\\IORegistry\\Elsewhere]\r\n"
             "\"Lost\"=\"1\"\r\n"
             "[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Cut\r\n"
             "\"Lost2\"=\"2\"\r\n"
             "[-HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch]\r\n"
             "[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch\\Sub]\r\n"
             "\"Ok\"=hex:01,02\r\n"
             "\"Trunc\"=\"half a str");

  EXPECT_FALSE(io_.ImportFile(file_));
  const TreeSnapshot expected = {
      {L"", {DwordValue(L"Indented", 7), StringValue(L"Quoted", L"keeps \"inner\" quotes")}},
      {L"\\Sub", {Typed(L"Ok", kTypeBinary, {1, 2})}}};
  EXPECT_EQ(Snapshot(kBranch), expected);
  EXPECT_EQ(Snapshot(kBase).size(), 3u);  // Base, Branch, Branch\Sub: nothing else.
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, L"", L"Orphan"));
  EXPECT_EQ(log_.size(), 5u);
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(IORegistryTest, MissingFileShowsAPlainBox) {
  const std::wstring missing = TempFile(L"mailstow_no_such_dump.reg");
  EXPECT_FALSE(io_.ImportFile(missing));
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].kind, PromptKind::kPlain);
  EXPECT_EQ(prompts_.shown[0].buttons, PromptButtons::kOk);
  EXPECT_EQ(prompts_.shown[0].text, L"File \"" + missing + L"\" not found.");
}

TEST_F(IORegistryTest, ExportingAMissingKeyDumpsItEmptyAndCreatesNothing) {
  const std::wstring path = std::wstring(kBase) + L"\\New";
  // An unknown root name reads HKEY_CURRENT_USER and is written under its proper name.
  ASSERT_TRUE(io_.ExportKey(L"HKCU", path, true, file_));
  EXPECT_EQ(ReadBytes(file_),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\New]\r\n");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "a backup wrote the registry";
}

TEST_F(IORegistryTest, NamesOutsideTheCodePageAreLeftOutAndReported) {
  HKEY top = CreateKey(kBranch);
  SetValue(top, StringValue(L"Kept", L"k"));
  SetValue(top, StringValue(L"\u0416", L"lost name"));
  RegCloseKey(top);
  RegCloseKey(CreateKey(std::wstring(kBranch) + L"\\\u0416"));

  EXPECT_FALSE(io_.ExportKey(L"HKEY_CURRENT_USER", kBranch, true, file_));
  EXPECT_EQ(ReadBytes(file_),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MailstowTests\\IORegistry\\Branch]"
            "\r\n\"Kept\"=\"k\"\r\n");
  EXPECT_EQ(log_.size(), 2u);
}

}  // namespace
}  // namespace mailstow
