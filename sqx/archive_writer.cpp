#include "sqx/archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "sqx/aes_cipher.h"
#include "sqx/dos_time.h"
#include "sqx/member_names.h"
#include "sqx/volume_writer.h"
#include "sqx/zip_format.h"

namespace sqx {
namespace {

constexpr size_t kChunk = 256 * 1024;
// Deflate is kept for a member only when its first chunk shrinks by at least this share.
constexpr uint64_t kMinSavingPercent = 2;
// Members this large may outgrow 32-bit size fields once compressed and encrypted.
constexpr uint64_t kZip64Threshold = zip::kMax32 - (zip::kMax32 >> 8);

struct CentralRecord {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;  // as written in the headers (99 for encrypted members)
  uint16_t actual_method = 0;
  uint16_t version_needed = zip::kNeedDeflate;
  uint32_t dos_time = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint32_t attributes = 0;
  ArchivePosition local;
  bool encrypted = false;
};

std::string AesExtra(uint16_t actual_method) {
  std::string extra;
  zip::Put16(&extra, zip::kExtraAes);
  zip::Put16(&extra, 7);
  zip::Put16(&extra, 2);  // AE-2: no CRC, the authentication code covers the data
  extra += "AE";
  extra.push_back(static_cast<char>(AesCipher::kStrength256));
  zip::Put16(&extra, actual_method);
  return extra;
}

std::string LocalHeader(const CentralRecord& record, bool zip64) {
  std::string extra;
  if (zip64) {
    zip::Put16(&extra, zip::kExtraZip64);
    zip::Put16(&extra, 16);
    zip::Put64(&extra, 0);
    zip::Put64(&extra, 0);
  }
  if (record.encrypted) extra += AesExtra(record.actual_method);
  std::string header;
  zip::Put32(&header, zip::kLocalHeaderSignature);
  zip::Put16(&header, record.version_needed);
  zip::Put16(&header, record.flags);
  zip::Put16(&header, record.method);
  zip::Put32(&header, record.dos_time);
  zip::Put32(&header, 0);  // CRC and sizes follow the data
  zip::Put32(&header, zip64 ? zip::kMax32 : 0);
  zip::Put32(&header, zip64 ? zip::kMax32 : 0);
  zip::Put16(&header, static_cast<uint32_t>(record.name.size()));
  zip::Put16(&header, static_cast<uint32_t>(extra.size()));
  return header + record.name + extra;
}

std::string DataDescriptor(const CentralRecord& record, bool zip64) {
  std::string descriptor;
  zip::Put32(&descriptor, zip::kDataDescriptorSignature);
  zip::Put32(&descriptor, record.crc);
  if (zip64) {
    zip::Put64(&descriptor, record.compressed);
    zip::Put64(&descriptor, record.uncompressed);
  } else {
    zip::Put32(&descriptor, static_cast<uint32_t>(record.compressed));
    zip::Put32(&descriptor, static_cast<uint32_t>(record.uncompressed));
  }
  return descriptor;
}

std::string CentralHeader(const CentralRecord& record) {
  const bool big_uncompressed = record.uncompressed >= zip::kMax32;
  const bool big_compressed = record.compressed >= zip::kMax32;
  const bool big_offset = record.local.offset >= zip::kMax32;
  const bool big_disk = record.local.disk >= zip::kMax16;
  std::string zip64;
  if (big_uncompressed) zip::Put64(&zip64, record.uncompressed);
  if (big_compressed) zip::Put64(&zip64, record.compressed);
  if (big_offset) zip::Put64(&zip64, record.local.offset);
  if (big_disk) zip::Put32(&zip64, record.local.disk);
  std::string extra;
  if (!zip64.empty()) {
    zip::Put16(&extra, zip::kExtraZip64);
    zip::Put16(&extra, static_cast<uint32_t>(zip64.size()));
    extra += zip64;
  }
  if (record.encrypted) extra += AesExtra(record.actual_method);
  uint16_t needed = record.version_needed;
  if (!zip64.empty() && needed < zip::kNeedZip64) needed = zip::kNeedZip64;
  std::string header;
  zip::Put32(&header, zip::kCentralHeaderSignature);
  zip::Put16(&header, zip::kVersionMadeBy);
  zip::Put16(&header, needed);
  zip::Put16(&header, record.flags);
  zip::Put16(&header, record.method);
  zip::Put32(&header, record.dos_time);
  zip::Put32(&header, record.crc);
  zip::Put32(&header, big_compressed ? zip::kMax32 : static_cast<uint32_t>(record.compressed));
  zip::Put32(&header, big_uncompressed ? zip::kMax32 : static_cast<uint32_t>(record.uncompressed));
  zip::Put16(&header, static_cast<uint32_t>(record.name.size()));
  zip::Put16(&header, static_cast<uint32_t>(extra.size()));
  zip::Put16(&header, 0);  // comment length
  zip::Put16(&header, big_disk ? zip::kMax16 : record.local.disk);
  zip::Put16(&header, 0);  // internal attributes
  zip::Put32(&header, record.attributes);
  zip::Put32(&header, big_offset ? zip::kMax32 : static_cast<uint32_t>(record.local.offset));
  return header + record.name + extra;
}

// Streams one member's data: compression, encryption and the CRC of the plain data.
class MemberEncoder {
 public:
  MemberEncoder(VolumeWriter& out, AesCipher* cipher) : out_(out), cipher_(cipher) {}

  // Compresses from here on with the packer's deflate stream.
  Status StartDeflate(z_stream* stream) {
    if (deflateReset(stream) != Z_OK) return kStatusIoError;
    stream_ = stream;
    return kStatusOk;
  }

  // Feeds plain data; `last` finishes the compressed stream.
  Status Feed(const unsigned char* data, size_t size, bool last) {
    crc_ = crc32_z(crc_, data, size);
    if (stream_ == nullptr) return Emit(data, size);
    stream_->next_in = const_cast<unsigned char*>(data);
    stream_->avail_in = static_cast<uInt>(size);
    for (;;) {
      stream_->next_out = buffer_;
      stream_->avail_out = sizeof(buffer_);
      const int result = deflate(stream_, last ? Z_FINISH : Z_NO_FLUSH);
      if (result == Z_STREAM_ERROR) return kStatusIoError;
      const Status status = Emit(buffer_, sizeof(buffer_) - stream_->avail_out);
      if (status != kStatusOk) return status;
      if (last ? result == Z_STREAM_END : stream_->avail_out != 0) return kStatusOk;
    }
  }

  // Writes data that is already in its final compressed form.
  Status FeedCompressed(const unsigned char* plain, size_t plain_size, unsigned char* packed,
                        size_t packed_size) {
    crc_ = crc32_z(crc_, plain, plain_size);
    return Emit(packed, packed_size);
  }

  uint32_t crc() const { return static_cast<uint32_t>(crc_); }
  uint64_t written() const { return written_; }

 private:
  Status Emit(const unsigned char* data, size_t size) {
    written_ += size;
    if (cipher_ == nullptr) return out_.Write(data, size);
    while (size > 0) {
      const size_t n = std::min(size, sizeof(scratch_));
      std::copy(data, data + n, scratch_);
      cipher_->Encrypt(scratch_, n);
      const Status status = out_.Write(scratch_, n);
      if (status != kStatusOk) return status;
      data += n;
      size -= n;
    }
    return kStatusOk;
  }

  VolumeWriter& out_;
  AesCipher* cipher_;
  z_stream* stream_ = nullptr;
  unsigned long crc_ = crc32_z(0, nullptr, 0);
  uint64_t written_ = 0;
  unsigned char buffer_[64 * 1024];
  unsigned char scratch_[64 * 1024];
};

class Packer {
 public:
  Packer(FileSystem& files, EventSink& events, const std::string& archive_path,
         const PackSettings& settings)
      : files_(files),
        events_(events),
        settings_(settings),
        out_(files, events, archive_path, settings.volume_bytes),
        input_(new unsigned char[kChunk]),
        trial_(new unsigned char[compressBound(kChunk)]) {}
  ~Packer() {
    if (deflater_ready_) deflateEnd(&deflater_);
  }

  Status Run(const std::vector<std::string>& sources) {
    if (settings_.deflate_level > 0) {
      if (deflateInit2(&deflater_, settings_.deflate_level, Z_DEFLATED, -MAX_WBITS, 8,
                       Z_DEFAULT_STRATEGY) != Z_OK) {
        return kStatusIoError;
      }
      deflater_ready_ = true;
    }
    Status status = out_.Open();
    for (size_t i = 0; status == kStatusOk && i < sources.size(); ++i) {
      status = PackSource(sources[i]);
    }
    if (status == kStatusOk) status = WriteDirectory();
    if (status == kStatusOk) status = out_.Commit();
    if (status != kStatusOk) out_.Discard();
    return status;
  }

 private:
  Status PackSource(const std::string& source) {
    Event event;
    event.kind = kEventStoreEntry;
    event.first_name = source;
    Status status = RaiseChecked(events_, &event);
    if (status != kStatusOk) return status;
    CentralRecord record;
    record.name = StoredNameFor(event.first_name);
    if (record.name.empty()) return kStatusBadArgument;
    record.flags = zip::kFlagUtf8;
    const FileInfo info = files_.Stat(source);
    if (!info.exists) return kStatusIoError;
    record.dos_time = ToDosTime(info.modified_unix);
    if (info.is_folder) {
      record.name += '/';
      record.attributes = zip::kAttributeFolder;
      return WriteFolder(&record);
    }
    record.attributes = zip::kAttributeArchive;
    std::unique_ptr<InputFile> input;
    status = files_.OpenRead(source, &input);
    if (status != kStatusOk) return status;
    return WriteFile(*input, &record);
  }

  Status WriteFolder(CentralRecord* record) {
    const std::string header = LocalHeader(*record, false);
    Status status = out_.KeepTogether(header.size());
    record->local = out_.Here();
    if (status == kStatusOk) status = out_.Write(header.data(), header.size());
    records_.push_back(std::move(*record));
    return status;
  }

  Status WriteFile(InputFile& input, CentralRecord* record) {
    const uint64_t size = input.Size();
    size_t first = 0;
    Status status = ReadChunk(input, 0, std::min<uint64_t>(size, kChunk), &first);
    if (status != kStatusOk) return status;
    const bool whole = first == size;

    // A trial on the first chunk decides between deflate and storing.
    bool deflate = settings_.deflate_level > 0 && first > 0;
    uLongf trial_size = compressBound(kChunk);
    if (deflate) {
      deflate = Compress(first, &trial_size) &&
                trial_size * 100 <= static_cast<uint64_t>(first) * (100 - kMinSavingPercent);
    }
    record->actual_method = deflate ? zip::kMethodDeflated : zip::kMethodStored;
    record->version_needed = zip::kNeedDeflate;
    record->flags |= zip::kFlagDataDescriptor;
    const bool zip64 = size >= kZip64Threshold;
    if (zip64) record->version_needed = zip::kNeedZip64;
    std::unique_ptr<AesCipher> cipher;
    if (!settings_.password.empty()) {
      record->encrypted = true;
      record->flags |= zip::kFlagEncrypted;
      record->method = zip::kMethodAes;
      record->version_needed = zip::kNeedAes;
      cipher = std::make_unique<AesCipher>();
    } else {
      record->method = record->actual_method;
    }

    const std::string header = LocalHeader(*record, zip64);
    status = out_.KeepTogether(header.size());
    record->local = out_.Here();
    if (status == kStatusOk) status = out_.Write(header.data(), header.size());
    if (status != kStatusOk) return status;

    uint64_t overhead = 0;
    if (cipher != nullptr) {
      unsigned char salt[16];
      AesKeys keys;
      status = RandomBytes(salt, sizeof(salt));
      if (status == kStatusOk) {
        status = DeriveAesKeys(settings_.password, AesCipher::kStrength256, salt, &keys);
      }
      if (status == kStatusOk) status = cipher->Start(keys);
      if (status == kStatusOk) status = out_.Write(salt, sizeof(salt));
      if (status == kStatusOk) status = out_.Write(keys.verifier(), AesCipher::kVerifierSize);
      if (status != kStatusOk) return status;
      overhead = sizeof(salt) + AesCipher::kVerifierSize + AesCipher::kMacSize;
    }

    MemberEncoder encoder(out_, cipher.get());
    ProgressPacer progress(events_, size);
    if (deflate && whole) {
      status = encoder.FeedCompressed(input_.get(), first, trial_.get(), trial_size);
    } else {
      if (deflate) status = encoder.StartDeflate(&deflater_);
      uint64_t done = 0;
      size_t chunk = first;
      while (status == kStatusOk) {
        done += chunk;
        const bool last = done >= size || chunk == 0;
        status = encoder.Feed(input_.get(), chunk, last);
        if (status == kStatusOk) status = progress.Advance(done);
        if (status != kStatusOk || last) break;
        status = ReadChunk(input, done, std::min<uint64_t>(size - done, kChunk), &chunk);
      }
      record->uncompressed = done;
    }
    if (status == kStatusOk) status = progress.Finish();
    if (status != kStatusOk) return status;
    if (deflate && whole) record->uncompressed = first;

    if (cipher != nullptr) {
      unsigned char mac[AesCipher::kMacSize];
      cipher->FinishMac(mac);
      status = out_.Write(mac, sizeof(mac));
      if (status != kStatusOk) return status;
    } else {
      record->crc = encoder.crc();
    }
    record->compressed = encoder.written() + overhead;
    if (!zip64 && (record->compressed >= zip::kMax32 || record->uncompressed >= zip::kMax32)) {
      return kStatusIoError;  // the file grew past the size it had when it was opened
    }
    const std::string descriptor = DataDescriptor(*record, zip64);
    status = out_.KeepTogether(descriptor.size());
    if (status == kStatusOk) status = out_.Write(descriptor.data(), descriptor.size());
    records_.push_back(std::move(*record));
    return status;
  }

  Status ReadChunk(InputFile& input, uint64_t offset, uint64_t wanted, size_t* got) {
    const Status status = input.ReadAt(offset, input_.get(), static_cast<size_t>(wanted), got);
    if (status != kStatusOk) return status;
    return *got == wanted ? kStatusOk : kStatusIoError;
  }

  // Compresses the first chunk whole into the trial buffer.
  bool Compress(size_t size, uLongf* packed_size) {
    if (deflateReset(&deflater_) != Z_OK) return false;
    deflater_.next_in = input_.get();
    deflater_.avail_in = static_cast<uInt>(size);
    deflater_.next_out = trial_.get();
    deflater_.avail_out = static_cast<uInt>(*packed_size);
    const int result = deflate(&deflater_, Z_FINISH);
    *packed_size = deflater_.total_out;
    return result == Z_STREAM_END;
  }

  Status WriteDirectory() {
    ArchivePosition start = out_.Here();
    uint64_t directory_size = 0;
    std::vector<uint32_t> header_disks;
    for (size_t i = 0; i < records_.size(); ++i) {
      const std::string header = CentralHeader(records_[i]);
      Status status = out_.KeepTogether(header.size());
      if (status != kStatusOk) return status;
      if (i == 0) start = out_.Here();
      header_disks.push_back(out_.Here().disk);
      status = out_.Write(header.data(), header.size());
      if (status != kStatusOk) return status;
      directory_size += header.size();
    }
    const size_t tail = zip::kZip64EndSize + zip::kZip64LocatorSize + zip::kEndSize;
    const Status status = out_.KeepTogether(tail);
    if (status != kStatusOk) return status;
    uint64_t on_last_disk = 0;
    for (uint32_t disk : header_disks) on_last_disk += disk == out_.Here().disk ? 1 : 0;
    return WriteEnd(start, directory_size, on_last_disk);
  }

  Status WriteEnd(ArchivePosition start, uint64_t directory_size, uint64_t on_last_disk) {
    const ArchivePosition end = out_.Here();
    const uint64_t count = records_.size();
    const bool zip64 = count >= zip::kMax16 || on_last_disk >= zip::kMax16 ||
                       directory_size >= zip::kMax32 || start.offset >= zip::kMax32 ||
                       end.disk >= zip::kMax16;
    std::string tail_bytes;
    if (zip64) {
      zip::Put32(&tail_bytes, zip::kZip64EndSignature);
      zip::Put64(&tail_bytes, zip::kZip64EndSize - 12);
      zip::Put16(&tail_bytes, zip::kVersionMadeBy);
      zip::Put16(&tail_bytes, zip::kNeedZip64);
      zip::Put32(&tail_bytes, end.disk);
      zip::Put32(&tail_bytes, start.disk);
      zip::Put64(&tail_bytes, on_last_disk);
      zip::Put64(&tail_bytes, count);
      zip::Put64(&tail_bytes, directory_size);
      zip::Put64(&tail_bytes, start.offset);
      zip::Put32(&tail_bytes, zip::kZip64LocatorSignature);
      zip::Put32(&tail_bytes, end.disk);
      zip::Put64(&tail_bytes, end.offset);
      zip::Put32(&tail_bytes, end.disk + 1);
    }
    const auto clamp16 = [](uint64_t v) { return v >= zip::kMax16 ? zip::kMax16 : uint32_t(v); };
    const auto clamp32 = [](uint64_t v) { return v >= zip::kMax32 ? zip::kMax32 : uint32_t(v); };
    zip::Put32(&tail_bytes, zip::kEndSignature);
    zip::Put16(&tail_bytes, clamp16(end.disk));
    zip::Put16(&tail_bytes, clamp16(start.disk));
    zip::Put16(&tail_bytes, clamp16(on_last_disk));
    zip::Put16(&tail_bytes, clamp16(count));
    zip::Put32(&tail_bytes, clamp32(directory_size));
    zip::Put32(&tail_bytes, clamp32(start.offset));
    zip::Put16(&tail_bytes, 0);  // comment length
    return out_.Write(tail_bytes.data(), tail_bytes.size());
  }

  FileSystem& files_;
  EventSink& events_;
  const PackSettings& settings_;
  VolumeWriter out_;
  std::unique_ptr<unsigned char[]> input_;
  std::unique_ptr<unsigned char[]> trial_;
  std::vector<CentralRecord> records_;
  z_stream deflater_ = {};
  bool deflater_ready_ = false;
};

}  // namespace

Status PackArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const std::vector<std::string>& sources, const PackSettings& settings) {
  if (archive_path.empty()) return kStatusBadArgument;
  Packer packer(files, events, archive_path, settings);
  return packer.Run(sources);
}

}  // namespace sqx
