// Writing the fixed-offset fields of the archiver's option records.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/ansi_text.h"

namespace mailstow {

inline void PutRecordInt(std::vector<unsigned char>& record, size_t offset, int32_t value) {
  std::memcpy(record.data() + offset, &value, sizeof(value));
}

// A zero-terminated UTF-8 text (the records Mailstow fills ask for UTF-8 texts), cut to the
// field's capacity.
inline void PutRecordText(std::vector<unsigned char>& record, size_t offset, size_t capacity,
                          const std::wstring& text) {
  const std::string bytes = EncodeUtf8(text);
  const size_t length = std::min(bytes.size(), capacity - 1);
  std::memcpy(record.data() + offset, bytes.data(), length);
  record[offset + length] = 0;
}

}  // namespace mailstow
