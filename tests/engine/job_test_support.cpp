#include "tests/engine/job_test_support.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/english_language.h"
#include "base/ansi_text.h"
#include "base/ini_text.h"
#include "app/message_decoding.h"

namespace mailstow::testing {

void RecordingJobHost::SetBackupProgress(int position) {
  backup_progress.push_back(position);
  if (on_backup_progress) on_backup_progress();
}

std::wstring RecordingJobHost::Message(std::wstring_view key) {
  static const IniText english = IniText::Parse(BuiltInEnglishText());
  return DecodeMessageValue(english.ReadString(L"Messages", key, L"ERROR"));
}

PromptAnswer RecordingJobHost::Show(PromptKind kind, PromptButtons buttons,
                                    const std::wstring& text) {
  shown.push_back({kind, buttons, text});
  if (answers.empty()) return PromptAnswer::kOk;
  const PromptAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::wstring> RecordingJobHost::AskPassword() {
  ++password_prompts;
  if (password_answers.empty()) return std::nullopt;
  std::optional<std::wstring> answer = password_answers.front();
  password_answers.pop_front();
  return answer;
}

std::wstring WindowsFolderFromEnv(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return L"";
  std::wstring path = L"Z:";
  for (const char* c = value; *c != 0; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  return path + L"\\";
}

std::wstring DistFolder() { return WindowsFolderFromEnv("MAILSTOW_DIST"); }

std::wstring FreshFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"mailstow-jobs";
  CreateDirectoryW(base.c_str(), nullptr);
  const std::wstring folder = base + L"\\" + name;
  RemoveTree(folder);
  MakeFolder(folder);
  return folder;
}

void MakeFolder(const std::wstring& folder) {
  std::filesystem::create_directories(std::filesystem::path(folder));
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create the test file";
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(ok && written == bytes.size()) << "cannot write the test file";
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void CollectTree(const std::wstring& folder, const std::wstring& relative,
                 std::vector<std::wstring>* paths) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    paths->push_back(relative + name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CollectTree(folder + L"\\" + name, relative + name + L"\\", paths);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

std::vector<std::wstring> TreeOf(const std::wstring& folder) {
  std::vector<std::wstring> paths;
  CollectTree(folder, L"", &paths);
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::wstring> CrLfLines(const std::wstring& path) {
  const std::string bytes = ReadBytes(path);
  std::vector<std::wstring> lines;
  EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << "the log is UTF-8 with its mark";
  size_t start = 3;
  while (start < bytes.size()) {
    const size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the last line has no line end";
      break;
    }
    if (end == start || bytes[end - 1] != '\r') {
      ADD_FAILURE() << "a line ends without CR";
      break;
    }
    const std::string line = bytes.substr(start, end - 1 - start);
    lines.push_back(DecodeUtf8(line));
    start = end + 1;
  }
  return lines;
}

void JobTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name;
  for (const char* c = info->name(); *c != 0; ++c) name += static_cast<wchar_t>(*c);
  root_ = FreshFolder(name);
  staging_ = root_ + L"\\Temp";
  MakeFolder(staging_);
  ASSERT_TRUE(archiver_.Load(LibraryFolder())) << "no archiver library in the program folder";
  job_ = std::make_unique<ArchiveJob>(archiver_, host_, log_, staging_);
}

void JobTest::Pack(const std::wstring& archive, const std::vector<PackEntry>& entries) {
  job_->PrepareBackup(false, 0);
  for (const PackEntry& entry : entries) {
    job_->AddJobEntry(entry.source, entry.folder, entry.strip_prefix);
  }
  ASSERT_EQ(job_->PackJob(archive, {}), 0);
  job_->ReleaseFileList();
}

std::vector<std::wstring> JobTest::Listed(const std::wstring& archive) {
  job_->ReadArchiveNames(archive);
  const NameSequence& names = job_->archive_names();
  return std::vector<std::wstring>(names.begin(), names.end());
}

}  // namespace mailstow::testing
