#include "sqx/archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "sqx/aes_cipher.h"
#include "sqx/archive_reader.h"
#include "sqx/chunk_compressor.h"
#include "sqx/dos_time.h"
#include "sqx/member_journal.h"
#include "sqx/member_names.h"
#include "sqx/volume_writer.h"
#include "sqx/zip_format.h"

namespace sqx {
namespace {

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

// Writes one member's data, encrypting it when a cipher is given, and counts the bytes.
class MemberEncoder {
 public:
  MemberEncoder(VolumeWriter& out, AesCipher* cipher) : out_(out), cipher_(cipher) {}

  Status Emit(unsigned char* data, size_t size) {
    written_ += size;
    if (cipher_ != nullptr) cipher_->Encrypt(data, size);
    return out_.Write(data, size);
  }

  uint64_t written() const { return written_; }

 private:
  VolumeWriter& out_;
  AesCipher* cipher_;
  uint64_t written_ = 0;
};

// A source as it was found when it was queued.
struct ListedSource {
  std::string source;
  FileInfo info;
  size_t chunks = 0;
};

// Where the journal of the members goes: the folder for temporary files, else beside the
// archive's parts.
std::string JournalPath(const std::string& archive_path, const std::string& temporary_folder) {
  if (temporary_folder.empty()) return archive_path + ".~members";
  const size_t cut = archive_path.find_last_of("\\/");
  const std::string name = cut == std::string::npos ? archive_path : archive_path.substr(cut + 1);
  return temporary_folder + "\\" + name + ".~members";
}

class Packer {
 public:
  Packer(FileSystem& files, EventSink& events, const std::string& archive_path,
         const PackSettings& settings)
      : files_(files),
        events_(events),
        archive_path_(archive_path),
        settings_(settings),
        out_(files, events, archive_path, settings.volume_bytes),
        compressor_(files, settings.deflate_level, settings.password),
        journal_(files) {}

  Status Run(const NameList& sources) {
    NameList::Cursor cursor(sources);
    unlisted_ = sources.size();
    Status status = out_.Open();
    if (status == kStatusOk && !settings_.temporary_folder.empty()) {
      files_.CreateFolders(settings_.temporary_folder);
    }
    if (status == kStatusOk) {
      status = journal_.Create(JournalPath(archive_path_, settings_.temporary_folder));
    }
    for (size_t i = 0; status == kStatusOk && i < sources.size(); ++i) {
      QueueAhead(cursor);
      status = PackSource(listed_.front());
      listed_.pop_front();
    }
    if (status == kStatusOk) status = journal_.Finish();
    if (status == kStatusOk) status = WriteDirectory();
    if (status == kStatusOk) status = out_.Finish();
    // The parts are read back under their temporary names, so that an older archive of the
    // same name is only replaced by one that proved readable.
    if (status == kStatusOk && settings_.verify) {
      MemberJournal::Cursor written(journal_);
      status = VerifyWritten(
          files_, events_, out_.PartPath(out_.Here().disk),
          [this](uint32_t disk) { return out_.PartPath(disk); }, archive_path_, written);
    }
    if (status == kStatusOk) status = out_.Publish();
    if (status != kStatusOk) out_.Discard();
    return status;
  }

 private:
  // Lists and queues the sources ahead of the one being written, as far as the compressor's
  // window reaches, so that the workers always have data to compress.
  void QueueAhead(NameList::Cursor& cursor) {
    std::string_view source;
    while (unlisted_ > 0 && (listed_.empty() || compressor_.WantsMore()) && cursor.Next(&source)) {
      --unlisted_;
      ListedSource& listed = listed_.emplace_back();
      listed.source = source;
      listed.info = files_.Stat(listed.source);
      if (listed.info.exists && !listed.info.is_folder) {
        listed.chunks = compressor_.Queue(listed.source, listed.info.size);
      }
    }
  }

  Status PackSource(const ListedSource& listed) {
    Event event;
    event.kind = kEventStoreEntry;
    event.first_name = listed.source;
    Status status = RaiseChecked(events_, &event);
    if (status != kStatusOk) return status;
    CentralRecord record;
    record.name = StoredNameFor(event.first_name);
    if (record.name.empty()) return Unreadable(listed, kStatusBadArgument);
    record.flags = zip::kFlagUtf8;
    const FileInfo& info = listed.info;
    if (!info.exists) return Unreadable(listed, kStatusIoError);
    record.dos_time = ToDosTime(info.modified_unix);
    if (info.is_folder) {
      record.name += '/';
      record.attributes = zip::kAttributeFolder;
      return WriteFolder(&record);
    }
    record.attributes = zip::kAttributeArchive;
    return WriteFile(listed, &record);
  }

  Status WriteFolder(CentralRecord* record) {
    const std::string header = LocalHeader(*record, false);
    Status status = out_.KeepTogether(header.size());
    record->local = out_.Here();
    if (status == kStatusOk) status = out_.Write(header.data(), header.size());
    WrittenMember written;
    written.is_folder = true;
    if (status == kStatusOk) status = journal_.Append(CentralHeader(*record), written);
    return status;
  }

  // A source that another program holds open is named to the caller.
  Status SourceFailed(const ListedSource& listed, Status status) {
    if (status == kStatusInUse) {
      Event event;
      event.kind = kEventSourceInUse;
      event.first_name = listed.source;
      events_.Raise(&event);
    }
    return status;
  }

  // A source that failed before anything of it was written: with skip_unreadable it is
  // named to the caller and left out (an in-use source still fails the pack, so that the
  // caller can ask for its program to be closed); otherwise the pack fails.
  Status Unreadable(const ListedSource& listed, Status failure) {
    if (!settings_.skip_unreadable || failure == kStatusInUse) {
      return SourceFailed(listed, failure);
    }
    Event event;
    event.kind = kEventSourceSkipped;
    event.first_name = listed.source;
    event.amount = failure;
    return RaiseChecked(events_, &event);
  }

  Status WriteFile(const ListedSource& listed, CentralRecord* record) {
    const uint64_t size = listed.info.size;
    const size_t chunks = listed.chunks;
    PackedChunk chunk = compressor_.Next();
    if (chunk.status != kStatusOk) {
      // The source's other chunks are queued already: they are taken and dropped.
      for (size_t k = 1; k < chunks; ++k) compressor_.Next();
      return Unreadable(listed, chunk.status);
    }
    const bool deflate = chunk.deflate;
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
    Status status = out_.KeepTogether(header.size());
    record->local = out_.Here();
    if (status == kStatusOk) status = out_.Write(header.data(), header.size());
    if (status != kStatusOk) return status;

    WrittenMember written;
    if (cipher != nullptr) {
      std::memcpy(written.salt, chunk.salt, sizeof(written.salt));
      written.keys = chunk.keys;
    }
    uint64_t overhead = 0;
    if (cipher != nullptr) {
      status = cipher->Start(chunk.keys);
      if (status == kStatusOk) status = out_.Write(chunk.salt, sizeof(chunk.salt));
      if (status == kStatusOk) status = out_.Write(chunk.keys.verifier(), AesCipher::kVerifierSize);
      if (status != kStatusOk) return status;
      overhead = sizeof(chunk.salt) + AesCipher::kVerifierSize + AesCipher::kMacSize;
    }

    MemberEncoder encoder(out_, cipher.get());
    ProgressPacer progress(events_, size);
    uint64_t done = 0;
    uLong crc = crc32_z(0, nullptr, 0);
    for (size_t k = 0; k < chunks; ++k) {
      if (k > 0) chunk = compressor_.Next();
      if (chunk.status != kStatusOk) return SourceFailed(listed, chunk.status);
      crc = crc32_combine(crc, chunk.crc, static_cast<z_off_t>(chunk.plain_size));
      done += chunk.plain_size;
      status = deflate ? encoder.Emit(chunk.packed.get(), chunk.packed_size)
                       : encoder.Emit(chunk.plain(), chunk.plain_size);
      if (status == kStatusOk) status = progress.Advance(done);
      if (status != kStatusOk) return status;
    }
    record->uncompressed = done;
    status = progress.Finish();
    if (status != kStatusOk) return status;

    if (cipher != nullptr) {
      unsigned char mac[AesCipher::kMacSize];
      cipher->FinishMac(mac);
      status = out_.Write(mac, sizeof(mac));
      if (status != kStatusOk) return status;
    } else {
      record->crc = static_cast<uint32_t>(crc);
    }
    record->compressed = encoder.written() + overhead;
    if (!zip64 && (record->compressed >= zip::kMax32 || record->uncompressed >= zip::kMax32)) {
      return kStatusIoError;
    }
    const std::string descriptor = DataDescriptor(*record, zip64);
    status = out_.KeepTogether(descriptor.size());
    if (status == kStatusOk) status = out_.Write(descriptor.data(), descriptor.size());
    written.size = done;
    written.crc = static_cast<uint32_t>(crc);
    written.encrypted = record->encrypted;
    if (status == kStatusOk) status = journal_.Append(CentralHeader(*record), written);
    return status;
  }

  // Copies the members' headers from the journal into the archive, then the end records.
  Status WriteDirectory() {
    ArchivePosition start = out_.Here();
    uint64_t directory_size = 0;
    uint32_t last_disk = start.disk;
    uint64_t on_last_disk = 0;  // headers on the part the last one went to
    MemberJournal::Cursor cursor(journal_);
    WrittenMember unused;
    for (uint64_t i = 0; i < journal_.count(); ++i) {
      Status status = cursor.Next(&unused);
      if (status != kStatusOk) return status;
      const std::string& header = cursor.central_header();
      status = out_.KeepTogether(header.size());
      if (status != kStatusOk) return status;
      if (i == 0) start = out_.Here();
      if (out_.Here().disk != last_disk) on_last_disk = 0;
      last_disk = out_.Here().disk;
      ++on_last_disk;
      status = out_.Write(header.data(), header.size());
      if (status != kStatusOk) return status;
      directory_size += header.size();
    }
    const size_t tail = zip::kZip64EndSize + zip::kZip64LocatorSize + zip::kEndSize;
    const Status status = out_.KeepTogether(tail);
    if (status != kStatusOk) return status;
    if (out_.Here().disk != last_disk) on_last_disk = 0;
    return WriteEnd(start, directory_size, on_last_disk);
  }

  Status WriteEnd(ArchivePosition start, uint64_t directory_size, uint64_t on_last_disk) {
    const ArchivePosition end = out_.Here();
    const uint64_t count = journal_.count();
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
  const std::string& archive_path_;
  const PackSettings& settings_;
  VolumeWriter out_;
  ChunkCompressor compressor_;
  MemberJournal journal_;
  size_t unlisted_ = 0;              // sources not yet listed
  std::deque<ListedSource> listed_;  // listed and queued, not yet written
};

}  // namespace

Status PackArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& sources, const PackSettings& settings) {
  if (archive_path.empty()) return kStatusBadArgument;
  Packer packer(files, events, archive_path, settings);
  return packer.Run(sources);
}

}  // namespace sqx
