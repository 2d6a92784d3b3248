// Reading archives: listing, extracting and testing members.
#pragma once

#include <string>
#include <vector>

#include "sqx/events.h"
#include "sqx/file_system.h"

namespace sqx {

struct ExtractSettings {
  bool keep_folders = false;  // propose staging\stored path instead of staging\file name
  std::string staging;        // folder under which output paths are proposed
};

// Stored names ("\" separators) of the members matching any of the patterns, in archive order.
Status ListArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const std::vector<std::string>& patterns, std::vector<std::string>* names);

// Extracts the members named by the requests, in request order. kEventExtractEntry is raised
// once per member before it is written; the caller's second_name is the output path.
// Nothing is written when a selected member cannot be read safely, and a member only
// appears under its output name after its checksum or authentication code has matched.
Status ExtractArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                      const std::vector<std::string>& requests, const ExtractSettings& settings);

// Decodes the requested members and checks their checksums or authentication codes.
Status TestArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const std::vector<std::string>& requests);

}  // namespace sqx
