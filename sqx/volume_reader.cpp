#include "sqx/volume_reader.h"

#include "sqx/volume_names.h"

namespace sqx {

VolumeReader::VolumeReader(FileSystem& files, EventSink& events, std::string archive_path,
                           PartPathFn earlier_part)
    : files_(files),
      events_(events),
      archive_path_(std::move(archive_path)),
      earlier_part_(std::move(earlier_part)) {}

Status VolumeReader::Open() {
  const FileInfo info = files_.Stat(archive_path_);
  if (!info.exists || info.is_folder) return kStatusNotAnArchive;
  const Status status = files_.OpenRead(archive_path_, &last_);
  if (status == kStatusIoError) return kStatusNotAnArchive;
  return status;
}

Status VolumeReader::Part(uint32_t disk, InputFile** file) {
  if (disk >= disk_count_) return kStatusNotAnArchive;
  if (disk + 1 == disk_count_) {
    *file = last_.get();
    return kStatusOk;
  }
  if (earlier_ != nullptr && earlier_disk_ == disk) {
    *file = earlier_.get();
    return kStatusOk;
  }
  earlier_.reset();
  const std::string path =
      earlier_part_ ? earlier_part_(disk) : EarlierVolumePath(archive_path_, disk);
  const MediaKind media = files_.MediaKindOf(path);
  for (;;) {
    if (files_.Stat(path).exists) break;
    if (media != kMediaRemovable && media != kMediaCdRom) return kStatusNotAnArchive;
    Event event;
    event.kind = kEventNextVolume;
    event.first_name = archive_path_;
    event.second_name = path;
    event.media_kind = media;
    event.disk_number = static_cast<int32_t>(disk + 1);
    const Status status = RaiseChecked(events_, &event);
    if (status != kStatusOk) return status;
  }
  const Status status = files_.OpenRead(path, &earlier_);
  if (status != kStatusOk) return status == kStatusIoError ? kStatusNotAnArchive : status;
  earlier_disk_ = disk;
  *file = earlier_.get();
  return kStatusOk;
}

Status VolumeReader::Read(ArchivePosition* at, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    InputFile* file = nullptr;
    Status status = Part(at->disk, &file);
    if (status != kStatusOk) return status;
    if (at->offset >= file->Size()) {
      if (at->offset > file->Size()) return kStatusNotAnArchive;
      ++at->disk;
      at->offset = 0;
      continue;
    }
    size_t got = 0;
    const uint64_t available = file->Size() - at->offset;
    const size_t wanted = available < size ? static_cast<size_t>(available) : size;
    status = file->ReadAt(at->offset, bytes, wanted, &got);
    if (status != kStatusOk) return status;
    if (got == 0) return kStatusNotAnArchive;
    at->offset += got;
    bytes += got;
    size -= got;
  }
  return kStatusOk;
}

}  // namespace sqx
