// Packs and extracts a generated mail-like data set (mailbox text, attachments that are
// already compressed, many small messages) with the portable archiver core and with
// `7zz a -tzip` at the equivalent deflate level, AES-256 and one thread, and prints
// throughput, archive size and peak memory side by side.
//
//   sqx_bench [FOLDER] [GIB]     FOLDER defaults to /tmp/sqx-bench, GIB to 1.1
//
// Build it without sanitizers for meaningful numbers:
//   cmake -S . -B build/bench -G Ninja -DMAILSTOW_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "bench password";

struct DataSet {
  std::vector<std::string> files;
  uint64_t bytes = 0;
};

void WriteGenerated(const fs::path& path, uint64_t size, bool noise, std::mt19937_64& random,
                    DataSet* set) {
  static const char* kWords[] = {
      "Hello",    "meeting", "tomorrow", "the",  "quarterly", "report",   "please", "find",
      "attached", "invoice", "Regards,", "and",  "project",   "schedule", "review", "customer",
      "order",    "thanks",  "we",       "will", "ship",      "on",       "Monday", "update"};
  std::ofstream out(path, std::ios::binary);
  std::string block;
  uint64_t written = 0;
  uint64_t message = 0;
  while (written < size) {
    block.clear();
    if (noise) {
      block.resize(64 * 1024);
      for (size_t i = 0; i < block.size(); i += 8) {
        const uint64_t value = random();
        std::memcpy(&block[i], &value, 8);
      }
    } else {
      block += "From: user" + std::to_string(random() % 500) + "@example.com\r\nSubject: Re: ";
      block += kWords[random() % 24];
      block += " #" + std::to_string(++message) + "\r\nDate: Mon, " +
               std::to_string(random() % 28 + 1) + " Mar 2024\r\n\r\n";
      const size_t words = 40 + random() % 400;
      for (size_t i = 0; i < words; ++i) {
        block += kWords[random() % 24];
        block += (i % 12 == 11) ? "\r\n" : " ";
      }
      block += "\r\n\r\n";
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - written));
    out.write(block.data(), static_cast<std::streamsize>(n));
    written += n;
  }
  set->files.push_back(path.string());
  set->bytes += size;
}

DataSet Generate(const fs::path& folder, double gib) {
  DataSet set;
  std::mt19937_64 random(42);
  fs::remove_all(folder);
  const uint64_t total = static_cast<uint64_t>(gib * (1 << 30));
  fs::create_directories(folder / "Mail");
  fs::create_directories(folder / "Attachments");
  fs::create_directories(folder / "Messages");
  for (int i = 0; set.bytes < total * 55 / 100; ++i) {
    WriteGenerated(folder / "Mail" / ("Folder" + std::to_string(i) + ".mbx"), 96 << 20, false,
                   random, &set);
  }
  for (int i = 0; set.bytes < total * 85 / 100; ++i) {
    WriteGenerated(folder / "Attachments" / ("photo" + std::to_string(i) + ".jpg"),
                   (2 + random() % 12) << 20, true, random, &set);
  }
  for (int i = 0; set.bytes < total; ++i) {
    WriteGenerated(folder / "Messages" / (std::to_string(i) + ".eml"), 1000 + random() % 12000,
                   false, random, &set);
  }
  return set;
}

struct RelativeNames : sqx::EventSink {
  size_t strip;
  explicit RelativeNames(size_t prefix) : strip(prefix) {}
  int32_t Raise(sqx::Event* event) override {
    if (event->kind == sqx::kEventStoreEntry) event->first_name = event->first_name.substr(strip);
    if (event->kind == sqx::kEventPassword) event->second_name = kPassword;
    return event->kind == sqx::kEventOverwrite ? sqx::kAnswerOverwrite : sqx::kAnswerContinue;
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs a command and returns its wall time; `peak_kib` gets its peak resident memory.
double Run(const std::string& command, long* peak_kib) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(child, &status, 0, &usage);
  *peak_kib = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Seconds(start);
}

long OwnPeakKib() {
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = argc > 1 ? argv[1] : "/tmp/sqx-bench";
  const double gib = argc > 2 ? std::atof(argv[2]) : 1.1;
  std::printf("generating %.2f GiB of mail-like data in %s ...\n", gib, root.c_str());
  const DataSet set = Generate(root / "data", gib);
  std::printf("%zu files, %.1f MiB\n", set.files.size(), set.bytes / 1048576.0);
  const long base_peak = OwnPeakKib();

  const std::string ours = (root / "ours.ebk").string();
  RelativeNames names((root / "data").string().size() + 1);
  sqx::PackSettings settings;
  settings.deflate_level = 6;  // the library's effort 3, as Mailstow asks for
  settings.password = kPassword;
  auto start = std::chrono::steady_clock::now();
  if (sqx::PackArchive(sqx::HostFileSystem(), names, ours, set.files, settings) != sqx::kStatusOk) {
    std::fprintf(stderr, "pack failed\n");
    return 1;
  }
  const double our_pack = Seconds(start);
  sqx::ExtractSettings extract;
  extract.keep_folders = true;
  extract.staging = (root / "ours-out").string();
  start = std::chrono::steady_clock::now();
  if (sqx::ExtractArchive(sqx::HostFileSystem(), names, ours, {"*.*"}, extract) != sqx::kStatusOk) {
    std::fprintf(stderr, "extract failed\n");
    return 1;
  }
  const double our_extract = Seconds(start);
  const long our_peak = OwnPeakKib();

  const std::string theirs = (root / "theirs.zip").string();
  fs::remove(theirs);
  long pack_peak = 0, extract_peak = 0;
  const double their_pack = Run("cd '" + (root / "data").string() +
                                    "' && 7zz a -tzip -mx=5 -mm=Deflate -mmt=1 -mem=AES256 -p'" +
                                    kPassword + "' '" + theirs + "' . >/dev/null",
                                &pack_peak);
  const double their_extract =
      Run("7zz x -y -mmt=1 -p'" + std::string(kPassword) + "' -o'" +
              (root / "theirs-out").string() + "' '" + theirs + "' >/dev/null",
          &extract_peak);

  const double mib = set.bytes / 1048576.0;
  std::printf("\n%-34s %14s %14s\n", "", "Sqx (zlib 6)", "7zz -mx=5");
  std::printf("%-34s %14.1f %14.1f\n", "pack MiB/s (AES-256, 1 thread)", mib / our_pack,
              mib / their_pack);
  std::printf("%-34s %14.1f %14.1f\n", "extract MiB/s", mib / our_extract, mib / their_extract);
  std::printf("%-34s %14.1f %14.1f\n", "archive MiB", fs::file_size(ours) / 1048576.0,
              fs::file_size(theirs) / 1048576.0);
  std::printf("%-34s %14.1f %14.1f\n", "ratio %", 100.0 * fs::file_size(ours) / set.bytes,
              100.0 * fs::file_size(theirs) / set.bytes);
  std::printf("%-34s %14.1f %14.1f\n", "peak resident MiB", our_peak / 1024.0,
              std::max(pack_peak, extract_peak) / 1024.0);
  std::printf("(peak before packing, after generating the data: %.1f MiB)\n", base_peak / 1024.0);
  fs::remove_all(root);
  return 0;
}
