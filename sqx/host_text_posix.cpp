// Hosts whose interface texts are UTF-8 already.
#include "sqx/host_text.h"

namespace sqx {

std::string HostToUtf8(const std::string& host) { return host; }
std::string Utf8ToHost(const std::string& utf8) { return utf8; }

}  // namespace sqx
