// Feeds arbitrary text to the INI reader and the message decoding: nothing may crash,
// hang or read out of bounds, and decoding never grows a value by more than one character.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ini_text.h"
#include "app/message_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Bytes map to characters one by one, except that a leading 0x01 byte switches to pairs
  // of bytes per character, to reach characters beyond Latin-1.
  std::wstring text;
  if (size > 0 && data[0] == 0x01) {
    for (size_t i = 1; i + 1 < size; i += 2)
      text.push_back(static_cast<wchar_t>(data[i] << 8 | data[i + 1]));
  } else {
    for (size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
  }
  const mailstow::IniText ini = mailstow::IniText::Parse(text);
  for (const std::wstring& section : ini.SectionNames()) {
    for (const std::wstring& key : ini.KeyNames(section)) {
      const std::wstring value = ini.ReadString(section, key, L"");
      if (mailstow::DecodeMessageValue(value).size() > value.size() + 1) __builtin_trap();
    }
  }
  return 0;
}
