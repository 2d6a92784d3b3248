// The bytes of a generated file, produced piece by piece so that files of any size can be
// written without holding them in memory. The same file description always gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/world_plan.h"
#include "tools/world_random.h"

namespace mailstow {

class ContentStream {
 public:
  explicit ContentStream(const FileSpec& file);
  // Copies up to size bytes into buffer; returns how many, 0 once the file's size is reached.
  size_t Read(char* buffer, size_t size);

 private:
  void Refill();

  const FileSpec& file_;
  WorldRandom random_;
  uint64_t produced_ = 0;
  std::string pending_;
  size_t pending_offset_ = 0;
  int message_number_ = 0;
};

// The whole content of a file; for small files and tests.
std::string ContentOf(const FileSpec& file);

}  // namespace mailstow
