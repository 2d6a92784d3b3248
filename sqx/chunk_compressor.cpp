#include "sqx/chunk_compressor.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>

#include "sqx/host_random.h"

namespace sqx {
namespace {

constexpr size_t kDictionary = 32 * 1024;
// Deflate is kept for a member only when its first chunk shrinks by at least this share.
constexpr uint64_t kMinSavingPercent = 2;

// Tasks started ahead of the writer, at most, however small they are.
constexpr uint64_t kMostTasksAhead = 64;
// A task counts at least this much against the window, so that empty files are not free.
constexpr uint64_t kLeastCost = 4096;

enum Decision : int { kUndecided = -1, kStore = 0, kDeflate = 1 };

// At its default level zlib follows each hash chain up to 128 links. Half of that keeps the
// ratio on real mail and text within a few tenths of a percent (about 1 % on the generated
// benchmark store) and deflates 15 % to 65 % faster. A reset restores the level's own
// parameters, so this follows every reset.
bool TuneSearch(z_stream* stream, int level) {
  if (level != 6) return true;
  return deflateTune(stream, /*good_length=*/8, /*max_lazy=*/16, /*nice_length=*/128,
                     /*max_chain=*/64) == Z_OK;
}

}  // namespace

struct ChunkCompressor::Member {
  std::string source;
  std::atomic<int> decision{kUndecided};
};

ChunkCompressor::ChunkCompressor(FileSystem& files, int deflate_level, std::string password)
    : files_(files), level_(deflate_level), password_(std::move(password)) {
  // Twice as many threads as cores: while some wait for a file to open, others compress.
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  const unsigned threads = 2 * cores;
  // The window, and with it the memory that chunks hold, stops growing at four cores' worth
  // (10 MiB), so that a machine with many cores stays within the same memory.
  window_bytes_ = (2 * uint64_t{std::min(cores, 4u)} + 2) * kChunkSize;
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

ChunkCompressor::~ChunkCompressor() {
  {
    std::lock_guard<HostMutex> lock(mutex_);
    stopping_ = true;
  }
  task_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

size_t ChunkCompressor::Queue(const std::string& source, uint64_t size) {
  auto member = std::make_shared<Member>();
  member->source = source;
  if (level_ == 0 || size == 0) member->decision = kStore;
  size_t count = 0;
  {
    std::lock_guard<HostMutex> lock(mutex_);
    uint64_t offset = 0;
    do {
      Task task;
      task.member = member;
      task.offset = offset;
      task.size = static_cast<size_t>(std::min<uint64_t>(size - offset, kChunkSize));
      task.first = offset == 0;
      offset += task.size;
      task.last = offset >= size;
      task.cost = std::max<uint64_t>(task.size, kLeastCost);
      queued_cost_ += task.cost;
      tasks_.push_back(std::move(task));
      ++queued_;
      ++count;
    } while (offset < size);
  }
  task_ready_.notify_all();
  return count;
}

bool ChunkCompressor::WantsMore() const {
  std::lock_guard<HostMutex> lock(mutex_);
  return queued_cost_ < 2 * window_bytes_ && queued_ < taken_ + 2 * kMostTasksAhead;
}

PackedChunk ChunkCompressor::Next() {
  std::unique_lock<HostMutex> lock(mutex_);
  const uint64_t wanted = taken_;
  chunk_ready_.wait(lock, [&] { return done_.count(wanted) != 0; });
  PackedChunk chunk = std::move(done_[wanted]);
  done_.erase(wanted);
  ++taken_;
  queued_cost_ -= chunk.cost;
  started_cost_ -= chunk.cost;
  lock.unlock();
  task_ready_.notify_all();  // the window moved on
  return chunk;
}

void ChunkCompressor::Work() {
  z_stream stream = {};
  const bool deflating = level_ > 0 && deflateInit2(&stream, level_, Z_DEFLATED, -MAX_WBITS, 8,
                                                    Z_DEFAULT_STRATEGY) == Z_OK;
  for (;;) {
    Task task;
    uint64_t sequence = 0;
    {
      std::unique_lock<HostMutex> lock(mutex_);
      // The chunk the writer waits for always starts; others while the window has room.
      task_ready_.wait(lock, [&] {
        if (stopping_) return true;
        if (tasks_.empty()) return false;
        return next_task_ == taken_ || (started_cost_ + tasks_.front().cost <= window_bytes_ &&
                                        next_task_ < taken_ + kMostTasksAhead);
      });
      if (stopping_) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
      sequence = next_task_++;
      started_cost_ += task.cost;
    }
    PackedChunk chunk = Run(task, deflating ? &stream : nullptr);
    chunk.cost = task.cost;
    {
      std::lock_guard<HostMutex> lock(mutex_);
      done_[sequence] = std::move(chunk);
    }
    chunk_ready_.notify_all();
  }
  if (deflating) deflateEnd(&stream);
}

PackedChunk ChunkCompressor::Run(const Task& task, z_stream_s* stream) {
  PackedChunk chunk;
  Member& member = *task.member;
  // The 32 KiB before the chunk prime the compressor; they are read with it.
  chunk.primer = static_cast<size_t>(std::min<uint64_t>(task.offset, kDictionary));
  chunk.plain_size = task.size;
  const size_t read_size = chunk.primer + task.size;
  chunk.read.reset(new unsigned char[read_size]);
  std::unique_ptr<InputFile> input;
  chunk.status = files_.OpenRead(member.source, &input);
  if (chunk.status == kStatusOk && read_size > 0) {
    size_t got = 0;
    chunk.status = input->ReadAt(task.offset - chunk.primer, chunk.read.get(), read_size, &got);
    // A file that shrank since it was listed cannot be stored as listed.
    if (chunk.status == kStatusOk && got != read_size) chunk.status = kStatusIoError;
  }
  input.reset();
  if (chunk.status != kStatusOk) {
    // A later part that cannot be read means the file changed since its first part was:
    // whatever the system answered (deleted, or locked while being deleted), that is a
    // source that vanished under the pack, not one that was never accessible.
    if (task.offset > 0) chunk.status = kStatusIoError;
    return chunk;
  }
  chunk.crc = static_cast<uint32_t>(crc32_z(crc32_z(0, nullptr, 0), chunk.plain(), task.size));

  // Later chunks of a member that is stored anyway are not compressed.
  if (stream != nullptr && member.decision != kStore) {
    const size_t bound = deflateBound(stream, task.size) + 16;
    chunk.packed.reset(new unsigned char[bound]);
    bool ok = deflateReset(stream) == Z_OK && TuneSearch(stream, level_);
    if (ok && chunk.primer > 0) {
      ok = deflateSetDictionary(stream, chunk.read.get(), static_cast<uInt>(chunk.primer)) == Z_OK;
    }
    stream->next_in = chunk.plain();
    stream->avail_in = static_cast<uInt>(task.size);
    stream->next_out = chunk.packed.get();
    stream->avail_out = static_cast<uInt>(bound);
    const int result = ok ? deflate(stream, task.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_STREAM_ERROR;
    ok = task.last ? result == Z_STREAM_END : result == Z_OK && stream->avail_in == 0;
    if (!ok) {
      chunk.status = kStatusIoError;
      return chunk;
    }
    chunk.packed_size = bound - stream->avail_out;
  }
  if (task.first) {
    if (member.decision == kUndecided) {
      const bool shrinks = chunk.packed_size * 100 <= task.size * (100 - kMinSavingPercent);
      member.decision = shrinks ? kDeflate : kStore;
    }
    chunk.deflate = member.decision == kDeflate;
    if (!password_.empty()) {
      chunk.status = HostRandomBytes(chunk.salt, sizeof(chunk.salt)) ? kStatusOk : kStatusIoError;
      if (chunk.status == kStatusOk) {
        chunk.status = DeriveAesKeys(password_, AesCipher::kStrength256, chunk.salt, &chunk.keys);
      }
    }
  }
  // Only one of the two buffers is written: free the other before the chunk waits its turn.
  if (member.decision == kStore) {
    chunk.packed.reset();
    chunk.packed_size = 0;
  } else if (member.decision == kDeflate) {
    chunk.read.reset();
  }
  return chunk;
}

}  // namespace sqx
