#include "sqx/dos_time.h"

#include <ctime>

namespace sqx {

uint32_t ToDosTime(int64_t unix_seconds) {
  const auto seconds = static_cast<time_t>(unix_seconds);
  struct tm local = {};
#if defined(_WIN32)
  if (localtime_s(&local, &seconds) != 0) return (1 << 21) | (1 << 16);
#else
  if (localtime_r(&seconds, &local) == nullptr) return (1 << 21) | (1 << 16);
#endif
  int year = local.tm_year + 1900;
  if (year < 1980) return (1 << 21) | (1 << 16);  // 1980-01-01 00:00
  if (year > 2107) year = 2107;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(local.tm_mon + 1) << 5) |
                        static_cast<uint32_t>(local.tm_mday);
  const uint32_t time = (static_cast<uint32_t>(local.tm_hour) << 11) |
                        (static_cast<uint32_t>(local.tm_min) << 5) |
                        static_cast<uint32_t>(local.tm_sec / 2);
  return (date << 16) | time;
}

int64_t FromDosTime(uint32_t dos_time) {
  struct tm local = {};
  local.tm_year = static_cast<int>((dos_time >> 25) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((dos_time >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((dos_time >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((dos_time >> 11) & 0x1F);
  local.tm_min = static_cast<int>((dos_time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((dos_time & 0x1F) * 2);
  local.tm_isdst = -1;
  const time_t seconds = mktime(&local);
  return seconds == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(seconds);
}

}  // namespace sqx
