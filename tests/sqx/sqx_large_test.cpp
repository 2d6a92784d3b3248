// Members and archives beyond 4 GiB (ZIP64), with generated contents that are never held
// whole anywhere: the sources are computed on read, the extracted data compared on write.
// Registered only with -DMAILSTOW_LARGE_TESTS=ON (label "large"): it writes ~4.5 GB.
#include <gtest/gtest.h>

#include <cstring>

#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "sqx/member_names.h"
#include "tests/sqx/sqx_test_support.h"

namespace sqx::testing {
namespace {

constexpr uint64_t kBig = (uint64_t{4} << 30) + 300 * 1000 * 1000;  // 4.3 GiB

// Byte `offset` of a generated source: noise that deflate cannot shrink, or text it can.
uint8_t Generated(bool noise, uint64_t offset) {
  if (!noise)
    return static_cast<uint8_t>("Subject: weekly report 0123456789\r\n"[offset % 35] +
                                (offset / 35 % 977 == 0));
  uint64_t x = (offset / 8 + 1) * 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  x ^= x >> 31;
  return static_cast<uint8_t>(x >> (8 * (offset % 8)));
}

void Fill(bool noise, uint64_t offset, unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = Generated(noise, offset + i);
}

class GeneratedInput : public InputFile {
 public:
  explicit GeneratedInput(bool noise) : noise_(noise) {}
  uint64_t Size() const override { return kBig; }
  Status ReadAt(uint64_t offset, void* data, size_t size, size_t* got) override {
    *got = offset >= kBig ? 0 : static_cast<size_t>(std::min<uint64_t>(size, kBig - offset));
    Fill(noise_, offset, static_cast<unsigned char*>(data), *got);
    return kStatusOk;
  }

 private:
  bool noise_;
};

// Compares what is written with the generated source instead of storing it.
class ComparingOutput : public OutputFile {
 public:
  ComparingOutput(bool noise, uint64_t* matched, bool* differs)
      : noise_(noise), matched_(matched), differs_(differs) {}
  Status Write(const void* data, size_t size) override {
    std::vector<unsigned char> expected(size);
    Fill(noise_, *matched_, expected.data(), size);
    if (std::memcmp(expected.data(), data, size) != 0) *differs_ = true;
    *matched_ += size;
    return kStatusOk;
  }
  Status WriteAt(uint64_t, const void*, size_t) override { return kStatusIoError; }
  Status SetModifiedTime(int64_t) override { return kStatusOk; }
  Status Close() override { return kStatusOk; }

 private:
  bool noise_;
  uint64_t* matched_;
  bool* differs_;
};

// The host file system, with two generated sources and outputs under "verify\" compared.
class LargeFiles : public FileSystem {
 public:
  uint64_t matched = 0;
  bool differs = false;

  FileInfo Stat(const std::string& path) override {
    if (IsGenerated(path)) return {true, false, kBig, 1700000000};
    if (IsVerified(path)) return {};
    return HostFileSystem().Stat(path);
  }
  Status OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) override {
    if (!IsGenerated(path)) return HostFileSystem().OpenRead(path, file);
    *file = std::make_unique<GeneratedInput>(path.find("noise") != std::string::npos);
    return kStatusOk;
  }
  Status Create(const std::string& path, std::unique_ptr<OutputFile>* file) override {
    if (!IsVerified(path)) return HostFileSystem().Create(path, file);
    matched = 0;
    *file = std::make_unique<ComparingOutput>(path.find("noise") != std::string::npos, &matched,
                                              &differs);
    return kStatusOk;
  }
  Status CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                   bool* existed) override {
    if (!IsVerified(path)) return HostFileSystem().CreateNew(path, file, existed);
    *existed = false;
    return Create(path, file);
  }
  Status Replace(const std::string& from, const std::string& to) override {
    return IsVerified(from) ? kStatusOk : HostFileSystem().Replace(from, to);
  }
  Status Remove(const std::string& path) override { return HostFileSystem().Remove(path); }
  Status CreateFolders(const std::string& path) override {
    return IsVerified(path + "\\") ? kStatusOk : HostFileSystem().CreateFolders(path);
  }
  Status SetModifiedTime(const std::string&, int64_t) override { return kStatusOk; }
  MediaKind MediaKindOf(const std::string&) override { return kMediaFixed; }

 private:
  static bool IsGenerated(const std::string& path) { return path.rfind("generated\\", 0) == 0; }
  static bool IsVerified(const std::string& path) { return path.rfind("verify\\", 0) == 0; }
};

struct Answering : EventSink {
  int32_t Raise(Event* event) override {
    if (event->kind == kEventStoreEntry) event->first_name = LastComponent(event->first_name);
    if (event->kind == kEventPassword) event->second_name = "pw";
    return kAnswerContinue;
  }
};

TEST(SqxLarge, MembersAndOffsetsBeyondFourGigabytesRoundTrip) {
  ScratchFolder work;
  WriteFile(work / "after.txt", "the member behind the big one");
  LargeFiles files;
  Answering events;
  for (const bool noise : {true, false}) {
    const std::string archive = work / (noise ? "noise.ebk" : "text.ebk");
    PackSettings settings;
    if (noise) settings.password = "pw";  // stored, AES-256, local offset of after.txt > 4 GiB
    const std::string source = noise ? "generated\\noise.bin" : "generated\\text.txt";
    ASSERT_EQ(PackArchive(files, events, archive, {source, work / "after.txt"}, settings),
              kStatusOk);
    const std::string password = noise ? " -ppw" : "";
    EXPECT_EQ(std::system(("7zz t" + password + " '" + archive + "' >/dev/null").c_str()), 0);

    ExtractSettings extract;
    extract.staging = "verify";
    files.differs = false;
    ASSERT_EQ(ExtractArchive(files, events, archive, {noise ? "noise.bin" : "text.txt"}, extract),
              kStatusOk);
    EXPECT_EQ(files.matched, kBig);
    EXPECT_FALSE(files.differs);
    extract.staging = work / "out";
    ASSERT_EQ(ExtractArchive(files, events, archive, {"after.txt"}, extract), kStatusOk);
    EXPECT_EQ(ReadFile(work / "out/after.txt"), "the member behind the big one");
    std::filesystem::remove(archive);
  }
}

}  // namespace
}  // namespace sqx::testing
