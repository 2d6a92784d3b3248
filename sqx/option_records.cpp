#include "sqx/option_records.h"

#include <cstring>
#include <string>

namespace sqx {
namespace {

int32_t Get32(const unsigned char* record, size_t offset) {
  int32_t value;
  std::memcpy(&value, record + offset, sizeof(value));
  return value;
}

std::string GetText(const unsigned char* record, size_t offset, size_t chars,
                    const InterfaceTexts& texts) {
  const char* text = reinterpret_cast<const char*>(record + offset);
  return texts.ToCore(std::string(text, strnlen(text, chars - 1)));
}

// Effort 1 to 5 mapped onto the deflate levels; 0 stores.
int DeflateLevelFor(int32_t effort) {
  static const int kLevels[] = {0, 1, 3, 6, 8, 9};
  if (effort < 0) return 6;
  return kLevels[effort > 5 ? 5 : effort];
}

std::string WithoutTrailingSeparators(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

}  // namespace

uint64_t VolumeBytesFor(int32_t volume_size) {
  switch (volume_size) {
    case kVolumeZip100:
      return kZip100Bytes;
    case kVolumeZip250:
      return kZip250Bytes;
    case kVolumeCd650:
      return kCd650Bytes;
    case kVolumeCd700:
      return kCd700Bytes;
    default:
      return volume_size > kVolumeCd700 && static_cast<uint64_t>(volume_size) >= kMinVolumeBytes
                 ? static_cast<uint64_t>(volume_size)
                 : 0;
  }
}

Status ReadCompressOptions(const unsigned char* record, PackSettings* settings,
                           InterfaceTexts* texts) {
  if (record == nullptr || Get32(record, compress::kRecordSize) != compress::kSize) {
    return kStatusBadArgument;
  }
  texts->utf8 = Get32(record, compress::kUtf8Texts) == 1;
  // Callers of the UTF-8 interface learn of each source that cannot be read; older callers
  // expect the call to fail on it.
  settings->skip_unreadable = texts->utf8;
  settings->deflate_level = DeflateLevelFor(Get32(record, compress::kLevel));
  settings->password = GetText(record, compress::kPassword, compress::kPasswordChars, *texts);
  settings->verify = Get32(record, compress::kVerify) == 1;
  settings->temporary_folder = WithoutTrailingSeparators(
      GetText(record, compress::kStagingFolder, compress::kStagingFolderChars, *texts));
  settings->volume_bytes = 0;
  if (Get32(record, compress::kMultipleVolumes) == 1) {
    settings->volume_bytes = VolumeBytesFor(Get32(record, compress::kVolumeSize));
    if (settings->volume_bytes == 0) return kStatusBadArgument;
  }
  return kStatusOk;
}

Status ReadExtractOptions(const unsigned char* record, ExtractSettings* settings,
                          InterfaceTexts* texts) {
  if (record == nullptr || Get32(record, extract::kRecordSize) != extract::kSize) {
    return kStatusBadArgument;
  }
  texts->utf8 = Get32(record, extract::kUtf8Texts) == 1;
  settings->keep_folders = Get32(record, extract::kKeepFolders) == 1;
  settings->staging = WithoutTrailingSeparators(
      GetText(record, extract::kStagingFolder, extract::kStagingFolderChars, *texts));
  return kStatusOk;
}

}  // namespace sqx
