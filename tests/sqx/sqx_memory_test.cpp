// The memory a pack, its read-back and an extraction take must not grow with the number of
// members beyond a small, fixed record per member read: a store of 100 000 messages has to
// fit in the memory of a store of a hundred. The heap is counted by this binary's own
// operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "tests/sqx/sqx_test_support.h"

namespace {

std::atomic<int64_t> g_in_use{0};
std::atomic<int64_t> g_peak{0};
constexpr size_t kHeader = alignof(std::max_align_t);

void* Counted(size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  const int64_t now = g_in_use += static_cast<int64_t>(size);
  for (int64_t peak = g_peak; now > peak && !g_peak.compare_exchange_weak(peak, now);) {
  }
  return block + kHeader;
}

void Uncounted(void* data) {
  if (data == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(data) - kHeader;
  g_in_use -= static_cast<int64_t>(*reinterpret_cast<size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(size_t size) { return Counted(size); }
void* operator new[](size_t size) { return Counted(size); }
void operator delete(void* data) noexcept { Uncounted(data); }
void operator delete[](void* data) noexcept { Uncounted(data); }
void operator delete(void* data, size_t) noexcept { Uncounted(data); }
void operator delete[](void* data, size_t) noexcept { Uncounted(data); }

namespace sqx::testing {
namespace {

// Heap bytes a call takes at its peak beyond what was in use before it.
template <typename Call>
int64_t PeakOf(Call call) {
  const int64_t before = g_in_use;
  g_peak = before;
  call();
  return g_peak - before;
}

struct Naming : EventSink {
  size_t strip = 0;
  int32_t Raise(Event* event) override {
    if (event->kind == kEventStoreEntry) event->first_name = event->first_name.substr(strip);
    return event->kind == kEventOverwrite ? kAnswerOverwrite : kAnswerContinue;
  }
};

struct Costs {
  int64_t pack = 0;
  int64_t extract = 0;
};

// Packs (with read-back) and extracts `count` small messages in folders of 250.
Costs CostsOf(size_t count) {
  ScratchFolder work;
  NameList sources;
  for (size_t i = 0; i < count; ++i) {
    const std::string folder = std::to_string(i / 250);
    const std::string name = std::to_string(i) + ".eml";
    if (i % 250 == 0) std::filesystem::create_directories(work.path() / "store" / folder);
    std::ofstream(work.path() / "store" / folder / name, std::ios::binary)
        << "Subject: message " << i << "\r\n\r\nHello.\r\n";
    sources.Add(work / ("store\\" + folder + "\\" + name));
  }
  Naming naming;
  naming.strip = (work / "").size();
  PackSettings pack;
  pack.verify = true;
  pack.temporary_folder = work / "temp";
  Costs costs;
  costs.pack = PeakOf([&] {
    EXPECT_EQ(PackArchive(HostFileSystem(), naming, work / "a.ebk", sources, pack), kStatusOk);
  });
  ExtractSettings extract;
  extract.keep_folders = true;
  extract.staging = work / "out";
  costs.extract = PeakOf([&] {
    EXPECT_EQ(ExtractArchive(HostFileSystem(), naming, work / "a.ebk", {"*.*"}, extract),
              kStatusOk);
  });
  EXPECT_TRUE(std::filesystem::exists(work.path() / "out" / "store" / "0" / "0.eml"));
  EXPECT_TRUE(std::filesystem::is_empty(work.path() / "temp")) << "the pack's journal stays";
  return costs;
}

TEST(SqxMemory, PackingDoesNotGrowWithTheMembersAndReadingKeepsLittlePerMember) {
  // Both counts fill the read-ahead window and the directory reading block.
  const Costs few = CostsOf(6000);
  const Costs many = CostsOf(12000);
  const int64_t more = 6000;
  // What a pack holds is bounded by its buffers, whatever the number of files (each member
  // kept in memory would add about 300 bytes: 1.8 MB here).
  EXPECT_LT(many.pack - few.pack, 1024 * 1024)
      << few.pack << " bytes for 6 000 members, " << many.pack << " for 12 000";
  // Reading keeps a compact record and the name of each member, no more.
  EXPECT_LT((many.extract - few.extract) / more, 200)
      << few.extract << " bytes for 6 000 members, " << many.extract << " for 12 000";
}

}  // namespace
}  // namespace sqx::testing
