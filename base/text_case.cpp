#include "base/text_case.h"

namespace mailstow {

wchar_t FoldCase(wchar_t c) {
  const unsigned code = static_cast<unsigned>(c);
  if (code >= 'A' && code <= 'Z') return static_cast<wchar_t>(code + 0x20);
  if (code < 0xC0) return c;
  // Latin-1 capitals, without the multiplication sign.
  if (code <= 0xDE) return code == 0xD7 ? c : static_cast<wchar_t>(code + 0x20);
  // Latin Extended-A: capitals on even codes, except the two runs with capitals on odd codes.
  if (code >= 0x100 && code <= 0x17E) {
    const bool odd_capitals = (code >= 0x139 && code <= 0x148) || code >= 0x179;
    if (code == 0x178) return static_cast<wchar_t>(0xFF);
    if (code == 0x130 || code == 0x131 || code == 0x138 || code == 0x149) return c;
    const bool is_capital = odd_capitals ? (code % 2 == 1) : (code % 2 == 0);
    return is_capital ? static_cast<wchar_t>(code + 1) : c;
  }
  // Greek capitals with tonos, then the plain ones (0x3A2 is unassigned).
  if (code == 0x386) return static_cast<wchar_t>(0x3AC);
  if (code >= 0x388 && code <= 0x38A) return static_cast<wchar_t>(code + 0x25);
  if (code == 0x38C) return static_cast<wchar_t>(0x3CC);
  if (code == 0x38E || code == 0x38F) return static_cast<wchar_t>(code + 0x3F);
  if (code >= 0x391 && code <= 0x3AB && code != 0x3A2) return static_cast<wchar_t>(code + 0x20);
  // Cyrillic capitals.
  if (code >= 0x400 && code <= 0x40F) return static_cast<wchar_t>(code + 0x50);
  if (code >= 0x410 && code <= 0x42F) return static_cast<wchar_t>(code + 0x20);
  return c;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace mailstow
