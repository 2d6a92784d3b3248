// The system generator behind RtlGenRandom: a call costs microseconds, where the crypto
// library's own generator would also start polling the system for entropy on every later
// cipher it opens.
#include <windows.h>
// ntsecapi.h needs windows.h first.
#include <ntsecapi.h>

#include "sqx/host_random.h"

namespace sqx {

bool HostRandomBytes(unsigned char* data, size_t size) {
  while (size > 0) {
    const ULONG n = size > 0x10000 ? 0x10000 : static_cast<ULONG>(size);
    if (!RtlGenRandom(data, n)) return false;
    data += n;
    size -= n;
  }
  return true;
}

}  // namespace sqx
