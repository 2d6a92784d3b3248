// Feeds arbitrary bytes to the profile list scan: it must never read out of bounds, and every
// folder text it returns must be one that the file holds, non-empty, capped and free of zeros.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "clients/profile_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& folder : mailstow::ScanProfileList(bytes)) {
    if (folder.empty() || folder.size() > mailstow::kLongestProfileFolder) std::abort();
    if (folder.find('\0') != std::string::npos) std::abort();
    if (bytes.find("directory") == std::string_view::npos) std::abort();
    if (bytes.find(folder) == std::string_view::npos) std::abort();
  }
  return 0;
}
