// Writes a small seed corpus for the archive fuzz target: archives as the library writes
// them (deflate, stored, AES, a folder entry, split parts) into the given folder.
#include <cstdio>
#include <fstream>
#include <string>

#include "sqx/archive_writer.h"
#include "tests/sqx/memory_file_system.h"

namespace {

struct NamingEvents : sqx::EventSink {
  int32_t Raise(sqx::Event* event) override {
    if (event->kind == sqx::kEventStoreEntry) event->first_name = event->first_name.substr(3);
    return sqx::kAnswerContinue;
  }
};

void Save(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  std::string text, noise;
  for (int i = 0; i < 3000; ++i) text += "Subject: note " + std::to_string(i % 17) + "\r\n";
  uint32_t state = 1;
  for (int i = 0; i < 2000; ++i)
    noise.push_back(static_cast<char>((state = state * 1103515245 + 12345) >> 24));
  struct Seed {
    const char* name;
    const char* password;
    uint64_t volume_bytes;
  } seeds[] = {{"plain", "", 0}, {"aes", "pw", 0}, {"split", "", 4096}};
  for (const Seed& seed : seeds) {
    sqx::testing::MemoryFileSystem files;
    files.files["C:\\N\\mail.txt"] = text;
    files.files["C:\\noise.bin"] = noise;
    files.files["C:\\empty.txt"] = "";
    files.files["C:\\Folder\\inner.txt"] = "x";
    NamingEvents events;
    sqx::PackSettings settings;
    settings.password = seed.password;
    settings.volume_bytes = seed.volume_bytes;
    if (sqx::PackArchive(files, events, "C:\\a.zip",
                         {"C:\\N\\mail.txt", "C:\\noise.bin", "C:\\empty.txt", "C:\\Folder"},
                         settings) != sqx::kStatusOk) {
      return 1;
    }
    std::string corpus = files.files["C:\\a.zip"];
    if (files.files.count("C:\\a.z01")) corpus = files.files["C:\\a.z01"] + "SPLIT" + corpus;
    Save(folder + "/" + seed.name, corpus);
  }
  return 0;
}
