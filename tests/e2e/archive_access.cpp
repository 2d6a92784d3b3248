#include "tests/e2e/archive_access.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "base/ini_file.h"
#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "tests/e2e/driver.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

// Answers the archiver's events: names every source as its stored name when packing, and
// sends every extracted member to one output file, replacing what is there.
class Sink : public sqx::EventSink {
 public:
  std::map<std::string, std::string> stored_names;  // source -> stored name
  std::string output;

  int32_t Raise(sqx::Event* event) override {
    if (event->kind == sqx::kEventStoreEntry) {
      const auto found = stored_names.find(event->first_name);
      if (found != stored_names.end()) event->first_name = found->second;
    } else if (event->kind == sqx::kEventExtractEntry && !output.empty()) {
      event->second_name = output;
    } else if (event->kind == sqx::kEventOverwrite) {
      return sqx::kAnswerOverwrite;
    }
    return sqx::kAnswerContinue;
  }
};

std::wstring ScratchFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"mailstow-archive-access";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::vector<std::wstring> ArchiveMembers(const std::wstring& archive) {
  Sink sink;
  sqx::NameList names;
  std::vector<std::wstring> members;
  if (sqx::ListArchive(sqx::HostFileSystem(), sink, ToUtf8(archive), {"*"}, &names) !=
      sqx::kStatusOk) {
    return members;
  }
  names.ForEach([&](std::string_view name) { members.push_back(FromUtf8(std::string(name))); });
  return members;
}

bool ReadArchiveMember(const std::wstring& archive, const std::wstring& stored_name,
                       std::string* bytes) {
  const std::wstring output = ScratchFolder() + L"\\member";
  RemoveTree(output);  // a folder member of an earlier call leaves a folder of that name
  Sink sink;
  sink.output = ToUtf8(output);
  sqx::ExtractSettings settings;
  settings.staging = ToUtf8(ScratchFolder());
  if (sqx::ExtractArchive(sqx::HostFileSystem(), sink, ToUtf8(archive), {ToUtf8(stored_name)},
                          settings) != sqx::kStatusOk ||
      !FileExists(output)) {
    return false;
  }
  if (GetFileAttributesW(output.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveTree(output);
    return false;  // a folder record holds no bytes
  }
  *bytes = ReadWholeFile(output);
  DeleteFileW(output.c_str());
  return true;
}

IniText ArchiveIni(const std::wstring& archive, const std::wstring& stored_name) {
  std::string bytes;
  if (!ReadArchiveMember(archive, stored_name, &bytes)) return IniText();
  return IniText::Parse(DecodeFileText(bytes));  // UTF-8 after its mark, or ANSI
}

bool PackMembers(const std::wstring& archive, const std::vector<PackedMember>& members) {
  const std::wstring folder = ScratchFolder() + L"\\pack";
  RemoveTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  Sink sink;
  std::vector<std::string> sources;
  for (size_t i = 0; i < members.size(); ++i) {
    const std::wstring source = folder + L"\\" + std::to_wstring(i);
    std::ofstream(std::filesystem::path(source), std::ios::binary) << members[i].bytes;
    sources.push_back(ToUtf8(source));
    sink.stored_names[sources.back()] = ToUtf8(members[i].stored_name);
  }
  DeleteFileW(archive.c_str());
  sqx::PackSettings settings;
  settings.deflate_level = 0;
  const bool packed = sqx::PackArchive(sqx::HostFileSystem(), sink, ToUtf8(archive), sources,
                                       settings) == sqx::kStatusOk;
  RemoveTree(folder);
  return packed;
}

::testing::AssertionResult DamageMember(const std::wstring& archive, const std::string& member) {
  std::string bytes = FileBytes(archive);
  const size_t at = bytes.find(member);
  if (at == std::string::npos || bytes.find(member, at + 1) != std::string::npos) {
    return ::testing::AssertionFailure() << "the member is not stored once as it is";
  }
  bytes[at + member.size() / 2] ^= 0x20;
  if (!WriteBytes(archive, bytes)) return ::testing::AssertionFailure() << "cannot write";
  return ::testing::AssertionSuccess();
}

}  // namespace mailstow::e2e
