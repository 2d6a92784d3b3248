#include "tests/sqx/sqx_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "sqx/zip_format.h"
#include "tests/sqx/sqx_functions.h"

namespace sqx::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<int> serial{0};
  std::random_device random;
  path_ = fs::temp_directory_path() /
          ("sqx-test-" + std::to_string(random()) + "-" + std::to_string(serial++));
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::operator/(const std::string& relative) const {
  return HostPath(path_ / relative);
}

std::string HostPath(const fs::path& path) { return fs::path(path).make_preferred().string(); }

void WriteFile(const std::string& path, const std::string& contents) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool Exists(const std::string& path) { return fs::exists(fs::path(path)); }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(folder))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string NoiseBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string MailText(size_t size, uint32_t seed) {
  static const char* kWords[] = {"Subject:", "meeting", "tomorrow", "the",      "report",
                                 "Regards,", "From:",   "invoice",  "attached", "please",
                                 "review",   "and",     "confirm",  "Thanks",   "project",
                                 "schedule", "\r\n"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    text += kWords[random() % (sizeof(kWords) / sizeof(kWords[0]))];
    text += ' ';
  }
  text.resize(size);
  return text;
}

std::vector<RecordedEvent> Recorder::OfKind(int32_t kind) const {
  std::vector<RecordedEvent> matching;
  for (const RecordedEvent& event : events) {
    if (event.kind == kind) matching.push_back(event);
  }
  return matching;
}

namespace {

int32_t Get32(const unsigned char* p) {
  int32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

void Put32(unsigned char* p, int32_t value) { std::memcpy(p, &value, 4); }

void PutText(unsigned char* p, size_t chars, const std::string& text) {
  ASSERT_LT(text.size(), chars);
  std::memset(p, 0, chars);
  std::memcpy(p, text.data(), text.size());
}

std::string GetText(const unsigned char* p) {
  return std::string(reinterpret_cast<const char*>(p),
                     strnlen(reinterpret_cast<const char*>(p), kNameChars));
}

// The long-name buffer whose address a record field holds.
char* NameBuffer(const unsigned char* field) {
  uint64_t address = 0;
  std::memcpy(&address, field, sizeof(address));
  return reinterpret_cast<char*>(static_cast<uintptr_t>(address));
}

std::string GetName(const unsigned char* info, size_t field, size_t text_field, bool utf8) {
  if (!utf8) return GetText(info + field);
  const char* buffer = NameBuffer(info + text_field);
  return std::string(buffer, strnlen(buffer, callback::kLongNameBytes));
}

void PutName(unsigned char* info, size_t field, size_t text_field, bool utf8,
             const std::string& name) {
  if (!utf8) return PutText(info + field, kNameChars, name);
  ASSERT_LT(name.size(), callback::kLongNameBytes);
  std::memcpy(NameBuffer(info + text_field), name.c_str(), name.size() + 1);
}

struct ListGuard {
  FileList list = {};
  explicit ListGuard(const std::vector<std::string>& names) {
    EXPECT_EQ(Sqx().init_file_list(&list), 0);
    for (const std::string& name : names) EXPECT_EQ(Sqx().add_file_list(name.c_str(), &list), 0);
  }
  ~ListGuard() { Sqx().done_file_list(&list); }
};

}  // namespace

int32_t SQX_CALL Recorder::Callback(void* user, unsigned char* info) {
  auto* self = static_cast<Recorder*>(user);
  const bool utf8 = self->utf8;
  RecordedEvent event = {Get32(info + callback::kEventKind),
                         GetName(info, callback::kFirstName, callback::kFirstNameText, utf8),
                         GetName(info, callback::kSecondName, callback::kSecondNameText, utf8),
                         Get32(info + callback::kMediaKind),
                         Get32(info + callback::kAmount),
                         Get32(info + callback::kDiskNumber)};
  self->events.push_back(event);
  if (event.kind == self->abort_on_kind &&
      static_cast<int>(self->OfKind(event.kind).size()) == self->abort_after) {
    return 0;
  }
  switch (event.kind) {
    case kEventStoreEntry:
      if (self->store_as) {
        PutName(info, callback::kFirstName, callback::kFirstNameText, utf8,
                self->store_as(event.first_name));
      }
      return 1;
    case kEventExtractEntry:
      if (self->extract_to) {
        PutName(info, callback::kSecondName, callback::kSecondNameText, utf8,
                self->extract_to(event.second_name));
      }
      return 1;
    case kEventPassword:
      PutName(info, callback::kSecondName, callback::kSecondNameText, utf8, self->password);
      return 1;
    case kEventOverwrite:
      return self->overwrite_answer;
    default:
      return 1;
  }
}

std::vector<unsigned char> CompressOptions(const std::string& password, int32_t volume_size) {
  std::vector<unsigned char> record(compress::kSize, 0);
  Put32(&record[compress::kRecordSize], compress::kSize);
  Put32(&record[compress::kLevel], 3);
  Put32(&record[16], 1);
  Put32(&record[32], 1);
  Put32(&record[1404], 1);
  PutText(&record[compress::kPassword], compress::kPasswordChars, password);
  PutText(&record[compress::kStagingFolder], compress::kStagingFolderChars,
          HostPath(fs::temp_directory_path()));
  Put32(&record[compress::kMultipleVolumes], volume_size != 0 ? 1 : 0);
  Put32(&record[compress::kVolumeSize], volume_size);
  return record;
}

std::vector<unsigned char> ExtractOptions(const std::string& staging, bool keep_folders) {
  std::vector<unsigned char> record(extract::kSize, 0);
  Put32(&record[extract::kRecordSize], extract::kSize);
  Put32(&record[4], 1);
  Put32(&record[extract::kKeepFolders], keep_folders ? 1 : 0);
  PutText(&record[extract::kStagingFolder], extract::kStagingFolderChars, staging);
  return record;
}

int32_t Pack(const std::string& archive, const std::vector<std::string>& sources,
             std::vector<unsigned char> options, Recorder* recorder) {
  ListGuard list(sources);
  return Sqx().add_files(archive.c_str(), &list.list, options.data(), &Recorder::Callback,
                         recorder);
}

int32_t Extract(const std::string& archive, const std::vector<std::string>& requests,
                const std::string& staging, bool keep_folders, Recorder* recorder) {
  ListGuard list(requests);
  std::vector<unsigned char> options = ExtractOptions(staging, keep_folders);
  Put32(&options[extract::kUtf8Texts], recorder->utf8 ? 1 : 0);
  return Sqx().extract_files(archive.c_str(), &list.list, options.data(), &Recorder::Callback,
                             recorder);
}

int32_t List(const std::string& archive, std::vector<std::string>* names, Recorder* recorder) {
  Recorder unused;
  ListGuard list({"*.*"});
  ArcFileList contents = {};
  EXPECT_EQ(Sqx().init_arc_file_list(&contents), 0);
  unsigned char scratch[kListScratchSize] = {};
  std::vector<unsigned char> options = ExtractOptions("", false);
  Put32(&options[extract::kUtf8Texts], recorder != nullptr && recorder->utf8 ? 1 : 0);
  const int32_t status =
      Sqx().list_files(archive.c_str(), &list.list, &contents, scratch, options.data(),
                       &Recorder::Callback, recorder != nullptr ? recorder : &unused);
  int32_t nodes = 0;
  for (const ArcNode* node = contents.head; node != nullptr; node = node->next, ++nodes) {
    names->push_back(node->name);
  }
  EXPECT_EQ(nodes, contents.count);
  EXPECT_EQ(Sqx().done_arc_file_list(&contents), 0);
  EXPECT_EQ(contents.head, nullptr);
  return status;
}

int32_t TestAll(const std::string& archive, Recorder* recorder) {
  ListGuard list({"*.*"});
  std::vector<unsigned char> options = ExtractOptions("", false);
  return Sqx().test_files(archive.c_str(), &list.list, options.data(), &Recorder::Callback,
                          recorder);
}

std::string HandMadeArchive(const std::vector<HandMadeMember>& members) {
  std::string archive, directory;
  for (const HandMadeMember& member : members) {
    const auto crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(member.data.data()),
                                    static_cast<uInt>(member.data.size())));
    const auto offset = static_cast<uint32_t>(archive.size());
    const auto size = static_cast<uint32_t>(member.data.size());
    const auto name_size = static_cast<uint32_t>(member.name.size());
    zip::Put32(&archive, zip::kLocalHeaderSignature);
    for (uint32_t v : {20u, 0u, 0u}) zip::Put16(&archive, v);
    zip::Put32(&archive, 0);
    zip::Put32(&archive, crc);
    zip::Put32(&archive, size);
    zip::Put32(&archive, size);
    zip::Put16(&archive, name_size);
    zip::Put16(&archive, 0);
    archive += member.name + member.data;
    zip::Put32(&directory, zip::kCentralHeaderSignature);
    for (uint32_t v : {20u, 20u, 0u, 0u}) zip::Put16(&directory, v);
    zip::Put32(&directory, 0);
    zip::Put32(&directory, crc);
    zip::Put32(&directory, size);
    zip::Put32(&directory, size);
    for (uint32_t v : {name_size, 0u, 0u, 0u, 0u}) zip::Put16(&directory, v);
    zip::Put32(&directory, 0);
    zip::Put32(&directory, offset);
    directory += member.name;
  }
  const auto directory_offset = static_cast<uint32_t>(archive.size());
  archive += directory;
  zip::Put32(&archive, zip::kEndSignature);
  zip::Put16(&archive, 0);
  zip::Put16(&archive, 0);
  zip::Put16(&archive, static_cast<uint32_t>(members.size()));
  zip::Put16(&archive, static_cast<uint32_t>(members.size()));
  zip::Put32(&archive, static_cast<uint32_t>(directory.size()));
  zip::Put32(&archive, directory_offset);
  zip::Put16(&archive, 0);
  return archive;
}

fs::path FromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ToUtf8(const fs::path& path) {
  const std::u8string text = fs::path(path).make_preferred().u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace sqx::testing
