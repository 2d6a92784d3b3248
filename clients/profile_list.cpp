#include "profile_list.h"

namespace mailstow {

std::vector<std::string> ScanProfileList(std::string_view bytes) {
  static constexpr std::string_view kEntryName = "directory";
  std::vector<std::string> folders;
  size_t position = 0;
  for (;;) {
    const size_t found = bytes.find(kEntryName, position);
    if (found == std::string_view::npos) break;
    const size_t start = found + kEntryName.size() + 1;  // past the name's terminator byte
    if (start > bytes.size()) break;
    const size_t end = bytes.find('\0', start);
    if (end == std::string_view::npos) break;
    const size_t length = end - start;
    if (length > 0 && length <= kLongestProfileFolder) {
      folders.emplace_back(bytes.substr(start, length));
    }
    position = end + 1;
  }
  return folders;
}

}  // namespace mailstow
