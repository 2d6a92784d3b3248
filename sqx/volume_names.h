// Names of the parts of a split archive: the last part carries the archive's own name,
// the earlier parts sit beside it as <name without extension>.z01, .z02, ...
#pragma once

#include <cstdint>
#include <string>

namespace sqx {

// Path of part `disk` (counted from 0) of an archive of `disk_count` parts.
std::string VolumePath(const std::string& archive_path, uint32_t disk, uint32_t disk_count);

// Path of the part `disk` when it is not the last one.
std::string EarlierVolumePath(const std::string& archive_path, uint32_t disk);

}  // namespace sqx
