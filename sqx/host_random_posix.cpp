// The kernel's generator.
#include <sys/random.h>

#include <cerrno>

#include "sqx/host_random.h"

namespace sqx {

bool HostRandomBytes(unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = getrandom(data, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace sqx
