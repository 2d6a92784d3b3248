#include "sqx/volume_writer.h"

#include <cstdio>
#include <cstring>

#include "sqx/volume_names.h"
#include "sqx/zip_format.h"

namespace sqx {

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

}  // namespace

VolumeWriter::VolumeWriter(FileSystem& files, EventSink& events, std::string archive_path,
                           uint64_t volume_bytes)
    : files_(files),
      events_(events),
      archive_path_(std::move(archive_path)),
      volume_bytes_(volume_bytes),
      media_(files.MediaKindOf(archive_path_)) {}

VolumeWriter::~VolumeWriter() {
  if (!committed_) Discard();
}

std::string VolumeWriter::TemporaryPath(uint32_t disk) const {
  char suffix[24];
  std::snprintf(suffix, sizeof(suffix), ".~sqx%02u", static_cast<unsigned>(disk));
  return archive_path_ + suffix;
}

bool VolumeWriter::AsksForVolumes() const {
  return media_ == kMediaRemovable || media_ == kMediaCdRom;
}

Status VolumeWriter::Open() {
  Status status = files_.Create(TemporaryPath(0), &current_);
  if (status != kStatusOk) return status;
  pending_.push_back(TemporaryPath(0));
  if (IsSplit()) {
    std::string marker;
    zip::Put32(&marker, zip::kSplitMarker);
    status = Write(marker.data(), marker.size());
  }
  return status;
}

Status VolumeWriter::StartNextPart() {
  Status status = Flush();
  if (status == kStatusOk) status = current_->Close();
  current_.reset();
  if (status != kStatusOk) return status;
  if (AsksForVolumes()) {
    // The finished part stays on its medium: name it now, then ask for the next one.
    status = files_.Replace(pending_.back(), EarlierVolumePath(archive_path_, disk_));
    pending_.pop_back();
    if (status != kStatusOk) return status;
    Event event;
    event.kind = kEventNextVolume;
    event.first_name = archive_path_;
    event.second_name = EarlierVolumePath(archive_path_, disk_ + 1);
    event.media_kind = media_;
    event.amount = static_cast<int64_t>(volume_bytes_);
    event.disk_number = static_cast<int32_t>(disk_ + 2);
    status = RaiseChecked(events_, &event);
    if (status != kStatusOk) return status;
  }
  ++disk_;
  offset_ = 0;
  status = files_.Create(TemporaryPath(disk_), &current_);
  if (status != kStatusOk) return status;
  pending_.push_back(TemporaryPath(disk_));
  return kStatusOk;
}

Status VolumeWriter::KeepTogether(size_t size) {
  if (!IsSplit()) return kStatusOk;
  if (size > volume_bytes_) return kStatusBadArgument;
  if (offset_ + size > volume_bytes_) return StartNextPart();
  return kStatusOk;
}

Status VolumeWriter::Write(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (IsSplit() && offset_ == volume_bytes_) {
      const Status status = StartNextPart();
      if (status != kStatusOk) return status;
    }
    size_t n = size;
    if (IsSplit() && volume_bytes_ - offset_ < n) n = static_cast<size_t>(volume_bytes_ - offset_);
    const Status status = WriteThrough(bytes, n);
    if (status != kStatusOk) return status;
    bytes += n;
    size -= n;
    offset_ += n;
  }
  return kStatusOk;
}

Status VolumeWriter::WriteThrough(const unsigned char* bytes, size_t size) {
  if (buffered_ + size > kBufferBytes) {
    const Status status = Flush();
    if (status != kStatusOk) return status;
  }
  if (size >= kBufferBytes) return current_->Write(bytes, size);
  if (buffer_ == nullptr) buffer_.reset(new unsigned char[kBufferBytes]);
  std::memcpy(buffer_.get() + buffered_, bytes, size);
  buffered_ += size;
  return kStatusOk;
}

Status VolumeWriter::Flush() {
  if (buffered_ == 0) return kStatusOk;
  const size_t size = buffered_;
  buffered_ = 0;
  return current_->Write(buffer_.get(), size);
}

Status VolumeWriter::Finish() {
  Status status = Flush();
  if (status == kStatusOk && IsSplit() && disk_ == 0) {
    // A split pack that fit in one part is an ordinary archive with a marker saying so.
    unsigned char marker[4];
    zip::Set32(marker, zip::kSingleSplitMarker);
    status = current_->WriteAt(0, marker, sizeof(marker));
  }
  if (status == kStatusOk) status = current_->Close();
  current_.reset();
  return status;
}

std::string VolumeWriter::PartPath(uint32_t disk) const {
  const uint32_t first_pending = disk_ + 1 - static_cast<uint32_t>(pending_.size());
  return disk >= first_pending ? TemporaryPath(disk) : EarlierVolumePath(archive_path_, disk);
}

Status VolumeWriter::Publish() {
  const uint32_t disk_count = disk_ + 1;
  const uint32_t first_pending = disk_count - static_cast<uint32_t>(pending_.size());
  for (size_t i = 0; i < pending_.size(); ++i) {
    const uint32_t disk = first_pending + static_cast<uint32_t>(i);
    const Status status = files_.Replace(pending_[i], VolumePath(archive_path_, disk, disk_count));
    if (status != kStatusOk) return status;
  }
  pending_.clear();
  committed_ = true;
  if (!AsksForVolumes()) {
    // Earlier parts of an archive this one replaced are of no use any more.
    for (uint32_t disk = disk_count - 1;; ++disk) {
      const std::string stale = EarlierVolumePath(archive_path_, disk);
      if (!files_.Stat(stale).exists || files_.Remove(stale) != kStatusOk) break;
    }
  }
  return kStatusOk;
}

void VolumeWriter::Discard() {
  buffered_ = 0;
  if (current_ != nullptr) {
    current_->Close();
    current_.reset();
  }
  for (const std::string& path : pending_) files_.Remove(path);
  pending_.clear();
}

}  // namespace sqx
