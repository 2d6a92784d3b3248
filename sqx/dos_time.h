// Member times in the packed MS-DOS form (local time, two-second steps, 1980 to 2107).
#pragma once

#include <cstdint>

namespace sqx {

// Date in the high 16 bits, time in the low 16 bits.
uint32_t ToDosTime(int64_t unix_seconds);
int64_t FromDosTime(uint32_t dos_time);

}  // namespace sqx
