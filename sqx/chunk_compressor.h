// Reads and compresses the data of the members to be packed on worker threads, ahead of the
// one writer. Each member is cut into chunks that are deflated independently, each primed
// with the 32 KiB before it (so the ratio barely suffers) and flushed to a byte boundary, so
// that the chunks' outputs joined in order are the member's deflate stream. The writer takes
// the chunks back strictly in the order they were queued; only a bounded volume of data is
// queued or held at any time, so memory stays bounded whatever the data size. The window is
// counted in bytes, so that many small files are read ahead at once: opening a file costs
// round trips to the system that a few threads waiting side by side overlap.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sqx/aes_cipher.h"
#include "sqx/file_system.h"
#include "sqx/host_lock.h"

struct z_stream_s;

namespace sqx {

// One chunk of a member, ready to be written.
struct PackedChunk {
  Status status = kStatusOk;
  // As read: the 32 KiB before the chunk that primed the compressor, then the chunk's bytes.
  // Buffers are allocated without being cleared; they are filled before use.
  std::unique_ptr<unsigned char[]> read;
  size_t primer = 0;
  size_t plain_size = 0;
  std::unique_ptr<unsigned char[]> packed;  // the deflate output, when compressed
  size_t packed_size = 0;
  unsigned char* plain() { return read.get() + primer; }
  uint32_t crc = 0;   // of `plain`
  uint64_t cost = 0;  // what the chunk counts against the window
  // Set on a member's first chunk: whether the member is deflated (decided by how well that
  // chunk shrank) and, with a password, its salt and keys.
  bool deflate = false;
  unsigned char salt[16] = {};
  AesKeys keys;
};

class ChunkCompressor {
 public:
  static constexpr size_t kChunkSize = 1024 * 1024;

  // `deflate_level` 0 stores everything; a non-empty password derives keys per member.
  ChunkCompressor(FileSystem& files, int deflate_level, std::string password);
  ~ChunkCompressor();
  ChunkCompressor(const ChunkCompressor&) = delete;
  ChunkCompressor& operator=(const ChunkCompressor&) = delete;

  // Queues every chunk of a file of `size` bytes (as found when it was listed); returns how
  // many chunks the writer will take for it (at least one).
  size_t Queue(const std::string& source, uint64_t size);
  // Whether the writer should queue more members before taking the next chunk.
  bool WantsMore() const;
  // Waits for the next queued chunk.
  PackedChunk Next();

 private:
  struct Member;
  struct Task {
    std::shared_ptr<Member> member;
    uint64_t offset = 0;
    size_t size = 0;
    bool first = false;
    bool last = false;
    uint64_t cost = 0;
  };

  void Work();
  PackedChunk Run(const Task& task, z_stream_s* stream);

  FileSystem& files_;
  const int level_;
  const std::string password_;
  uint64_t window_bytes_ = 0;  // cost of the chunks being compressed or held, at most

  mutable HostMutex mutex_;
  HostCondition task_ready_;
  HostCondition chunk_ready_;
  std::deque<Task> tasks_;
  std::map<uint64_t, PackedChunk> done_;
  uint64_t next_task_ = 0;     // sequence number of tasks_.front()
  uint64_t queued_ = 0;        // tasks queued so far
  uint64_t taken_ = 0;         // chunks handed to the writer so far
  uint64_t queued_cost_ = 0;   // of the chunks queued and not yet taken
  uint64_t started_cost_ = 0;  // of the chunks started and not yet taken
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace sqx
