// Unpredictable bytes from the operating system's generator, for salts.
#pragma once

#include <cstddef>

namespace sqx {

// Fills `data`; false when the system could not supply the bytes.
bool HostRandomBytes(unsigned char* data, size_t size);

}  // namespace sqx
