// The profile directories named in a Netscape/Mozilla profile list file ("registry.dat"). The
// file has a binary layout of its own; each profile's entry is the name "directory", one
// terminator byte and the profile folder as a zero-terminated text in the system code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

// Longest profile folder text taken from the file, in bytes; longer entries are skipped.
inline constexpr size_t kLongestProfileFolder = 259;

// The folder texts (raw bytes) of every "directory" entry, in file order, duplicates kept.
// The scan never reads past the end: an entry cut off by the end of the file (no terminator
// byte, or no zero byte after its text) ends the scan without a result; empty and overlong
// texts are skipped and the scan goes on after them.
std::vector<std::string> ScanProfileList(std::string_view bytes);

}  // namespace mailstow
