#include "sqx/member_names.h"

#include <cstdint>
#include <vector>

namespace sqx {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (IsSeparator(c)) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

// Decodes one UTF-8 sequence; malformed bytes are taken one by one as their own value.
char32_t NextCodePoint(const std::string& s, size_t* i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(*i);
  int length = lead < 0x80         ? 1
               : (lead >> 5) == 6  ? 2
               : (lead >> 4) == 14 ? 3
               : (lead >> 3) == 30 ? 4
                                   : 0;
  if (length <= 1 || *i + static_cast<size_t>(length) > s.size()) {
    ++*i;
    return lead;
  }
  char32_t value = lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    const unsigned char next = byte(*i + static_cast<size_t>(k));
    if ((next & 0xC0) != 0x80) {
      ++*i;
      return lead;
    }
    value = (value << 6) | (next & 0x3F);
  }
  *i += static_cast<size_t>(length);
  return value;
}

// Simple lower-case folding for the scripts mail folder names are written in.
char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_pairs ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

std::u32string Folded(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) out.push_back(Fold(NextCodePoint(utf8, &i)));
  return out;
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool WildcardMatch(const std::u32string& pattern, const std::u32string& text) {
  size_t p = 0, t = 0, star = std::u32string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      star = p++;
      resume = t;
    } else if (star != std::u32string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string StoredNameFor(const std::string& wanted) {
  std::string name = wanted;
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  std::string stored;
  for (const std::string& part : Components(name)) {
    if (part.empty() || part == "." || part == "..") continue;
    if (!stored.empty()) stored.push_back('/');
    stored += part;
  }
  return stored;
}

std::string InterfaceName(std::string_view stored) {
  std::string name(stored);
  while (!name.empty() && IsSeparator(name.back())) name.pop_back();
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string LastComponent(std::string_view stored) {
  std::string name(stored);
  while (!name.empty() && IsSeparator(name.back())) name.pop_back();
  const size_t cut = name.find_last_of("/\\");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

bool IsSafeStoredName(std::string_view stored) {
  std::string name(stored);
  if (!name.empty() && IsSeparator(name.back())) name.pop_back();  // folder entry
  if (name.empty() || name.find(':') != std::string::npos) return false;
  if (name.find('\0') != std::string::npos) return false;
  for (const std::string& part : Components(name)) {
    if (part.empty() || part == "." || part == "..") return false;
  }
  return true;
}

std::u32string ComparableName(const std::string& name) {
  std::string normal = name;
  for (char& c : normal) {
    if (c == '/') c = '\\';
  }
  return Folded(normal);
}

bool IsPattern(const std::string& request) {
  return request.find_first_of("*?") != std::string::npos;
}

bool MatchesComparable(const std::u32string& pattern, const std::u32string& name) {
  if (pattern == U"*.*" || pattern == U"*") return true;
  return WildcardMatch(pattern, name);
}

bool MatchesRequest(const std::string& pattern, const std::string& interface_name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return MatchesComparable(ComparableName(pattern), ComparableName(interface_name));
}

std::string Cp437ToUtf8(const std::string& bytes) {
  static const char16_t kHigh[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
      0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
      0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
      0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
      0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
      0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
      0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
      0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
      0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
      0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
      0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
      0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(&out, byte < 0x80 ? char32_t{byte} : char32_t{kHigh[byte - 0x80]});
  }
  return out;
}

}  // namespace sqx
