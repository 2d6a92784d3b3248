// Helpers shared by the archiver tests: scratch folders, generated contents, a recording
// callback, the library's records and hand-made archives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sqx/sqx_api.h"

namespace sqx::testing {

// A fresh folder removed with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::filesystem::path& path() const { return path_; }
  // The host path text of a file or folder in it.
  std::string operator/(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

std::string HostPath(const std::filesystem::path& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// File names directly in a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// Bytes that deflate cannot shrink, and mail-like text that it can.
std::string NoiseBytes(size_t size, uint32_t seed);
std::string MailText(size_t size, uint32_t seed);

struct RecordedEvent {
  int32_t kind;
  std::string first_name;
  std::string second_name;
  int32_t media_kind;
  int32_t amount;
  int32_t disk_number;
};

// A callback that records every event and answers as configured.
struct Recorder {
  std::vector<RecordedEvent> events;
  // Event 5: the stored name to leave in the first name (default: unchanged).
  std::function<std::string(const std::string&)> store_as;
  // Event 6: the output path to leave in the second name (default: unchanged).
  std::function<std::string(const std::string&)> extract_to;
  std::string password;    // the answer to event 3
  int abort_on_kind = -1;  // answer 0 at the `abort_after`-th event of this kind
  int abort_after = 1;
  int overwrite_answer = 2;  // the answer to event 1
  // The calls made with this recorder speak UTF-8 (compress/extract::kUtf8Texts): names
  // travel through the record's name pointers; Extract and List set the option themselves.
  bool utf8 = false;

  std::vector<RecordedEvent> OfKind(int32_t kind) const;
  static int32_t SQX_CALL Callback(void* user, unsigned char* info);
};

// A zero-filled CompressOptions record with the fields Mailstow sets.
std::vector<unsigned char> CompressOptions(const std::string& password = "",
                                           int32_t volume_size = 0);
std::vector<unsigned char> ExtractOptions(const std::string& staging, bool keep_folders);

int32_t Pack(const std::string& archive, const std::vector<std::string>& sources,
             std::vector<unsigned char> options, Recorder* recorder);
int32_t Extract(const std::string& archive, const std::vector<std::string>& requests,
                const std::string& staging, bool keep_folders, Recorder* recorder);
int32_t List(const std::string& archive, std::vector<std::string>* names,
             Recorder* recorder = nullptr);
int32_t TestAll(const std::string& archive, Recorder* recorder);

// A stored-only archive built byte by byte, for names and layouts the library never writes.
struct HandMadeMember {
  std::string name;
  std::string data;
};
std::string HandMadeArchive(const std::vector<HandMadeMember>& members);

// Paths and names as UTF-8 texts, whatever the host's narrow encoding.
std::filesystem::path FromUtf8(const std::string& utf8);
std::string ToUtf8(const std::filesystem::path& path);

}  // namespace sqx::testing
