#include "sqx/volume_names.h"

#include <cstdio>

namespace sqx {

std::string EarlierVolumePath(const std::string& archive_path, uint32_t disk) {
  const size_t separator = archive_path.find_last_of("\\/");
  const size_t dot = archive_path.find_last_of('.');
  std::string stem = archive_path;
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) {
    stem = archive_path.substr(0, dot);
  }
  char suffix[16];
  std::snprintf(suffix, sizeof(suffix), ".z%02u", static_cast<unsigned>(disk + 1));
  return stem + suffix;
}

std::string VolumePath(const std::string& archive_path, uint32_t disk, uint32_t disk_count) {
  return disk + 1 >= disk_count ? archive_path : EarlierVolumePath(archive_path, disk);
}

}  // namespace sqx
