// What the packer must remember of each member it has written, kept in a temporary file
// instead of in memory, so that packing many thousands of files needs no more memory than
// packing a few: each member's central directory header and what the member must read back
// as. The journal is written once in member order, then read in that order twice: to write
// the central directory and to check the archive read back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sqx/archive_reader.h"
#include "sqx/file_system.h"

namespace sqx {

class MemberJournal {
 public:
  explicit MemberJournal(FileSystem& files) : files_(files) {}
  ~MemberJournal();  // removes the file
  MemberJournal(const MemberJournal&) = delete;
  MemberJournal& operator=(const MemberJournal&) = delete;

  Status Create(const std::string& path);
  // `central_header` holds the member's stored name as the header does.
  Status Append(const std::string& central_header, const WrittenMember& written);
  // Ends the writing; the journal can be read from then on.
  Status Finish();
  uint64_t count() const { return count_; }

  // Reads the journal from its start.
  class Cursor final : public WrittenSequence {
   public:
    explicit Cursor(MemberJournal& journal) : journal_(journal) {}
    uint64_t count() const override { return journal_.count_; }
    Status Next(WrittenMember* written) override;
    // The header of the member Next read last.
    const std::string& central_header() const { return header_; }

   private:
    Status Read(void* data, size_t size);

    MemberJournal& journal_;
    std::unique_ptr<InputFile> input_;
    uint64_t offset_ = 0;
    std::string buffer_;
    size_t buffered_at_ = 0;
    std::string header_;
  };

 private:
  Status Flush();

  FileSystem& files_;
  std::string path_;
  std::unique_ptr<OutputFile> output_;
  std::string pending_;  // appended and not yet written
  uint64_t count_ = 0;
  bool created_ = false;
};

}  // namespace sqx
