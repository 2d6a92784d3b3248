// Feeds arbitrary bytes to the archive reader as an archive (and, split at a marker byte
// sequence, as a two-part archive): listing, testing and extracting must end in a status,
// never in a crash, a leak or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sqx/archive_reader.h"
#include "tests/sqx/memory_file_system.h"

namespace {

struct AnsweringEvents : sqx::EventSink {
  int32_t Raise(sqx::Event* event) override {
    if (event->kind == sqx::kEventPassword) event->second_name = "pw";
    return event->kind == sqx::kEventOverwrite ? sqx::kAnswerOverwrite : sqx::kAnswerContinue;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sqx::testing::MemoryFileSystem files;
  files.capacity = 16 << 20;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = bytes.find("SPLIT");
  if (split != std::string::npos) {
    files.files["C:\\a.z01"] = bytes.substr(0, split);
    files.files["C:\\a.zip"] = bytes.substr(split + 5);
  } else {
    files.files["C:\\a.zip"] = bytes;
  }
  AnsweringEvents events;
  sqx::NameList names;
  sqx::ListArchive(files, events, "C:\\a.zip", {}, &names);
  sqx::TestArchive(files, events, "C:\\a.zip", {"*.*"});
  sqx::ExtractSettings settings;
  settings.keep_folders = (size & 1) != 0;
  settings.staging = "C:\\out";
  sqx::ExtractArchive(files, events, "C:\\a.zip", {"*.*"}, settings);
  return 0;
}
