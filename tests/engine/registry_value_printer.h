// Readable test failure output for registry values: name, type and bytes.
#pragma once

#include <cstdio>
#include <ostream>

#include "engine/reg_text_format.h"

namespace mailstow {

inline void PrintTo(const RegistryValue& value, std::ostream* os) {
  *os << "{\"";
  for (const wchar_t c : value.name) {
    if (c >= 0x20 && c < 0x7F) {
      *os << static_cast<char>(c);
    } else {
      char escaped[16];
      std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(c));
      *os << escaped;
    }
  }
  *os << "\" type " << value.type << ":";
  for (const uint8_t byte : value.data) {
    char hex[4];
    std::snprintf(hex, sizeof(hex), " %02X", byte);
    *os << hex;
  }
  *os << "}";
}

}  // namespace mailstow
