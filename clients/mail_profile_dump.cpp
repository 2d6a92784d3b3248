#include "clients/mail_profile_dump.h"

#include "base/text_case.h"

namespace mailstow {
namespace {

constexpr std::wstring_view kUserRoot = L"HKEY_CURRENT_USER\\";

bool StartsWithIgnoreCase(std::wstring_view text, std::wstring_view start) {
  return text.size() >= start.size() && EqualsIgnoreCase(text.substr(0, start.size()), start);
}

// The key path of a key line after "[" (or "[-" for a deletion), up to "]"; nullopt for
// other lines.
struct KeyLine {
  size_t path_start;
  std::wstring_view path;
};
std::optional<KeyLine> KeyLineOf(std::wstring_view line) {
  if (line.empty() || line.front() != L'[') return std::nullopt;
  const size_t start = line.size() > 1 && line[1] == L'-' ? 2 : 1;
  const size_t end = line.find(L']', start);
  if (end == std::wstring_view::npos) return std::nullopt;
  return KeyLine{start, line.substr(start, end - start)};
}

// The key path below root\base ("" for the key itself); nullopt when the path lies elsewhere.
std::optional<std::wstring_view> BelowBase(std::wstring_view key_path, std::wstring_view base) {
  if (!StartsWithIgnoreCase(key_path, kUserRoot)) return std::nullopt;
  const std::wstring_view rest = key_path.substr(kUserRoot.size());
  if (!StartsWithIgnoreCase(rest, base)) return std::nullopt;
  const std::wstring_view below = rest.substr(base.size());
  if (!below.empty() && below.front() != L'\\') return std::nullopt;
  return below;
}

std::wstring_view WithoutSeparators(std::wstring_view text) {
  while (!text.empty() && text.front() == L'\\') text.remove_prefix(1);
  while (!text.empty() && text.back() == L'\\') text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::wstring> DumpedProfile(std::wstring_view dump, std::wstring_view profiles_path) {
  profiles_path = WithoutSeparators(profiles_path);
  for (size_t start = 0; start < dump.size();) {
    size_t end = dump.find(L'\n', start);
    if (end == std::wstring_view::npos) end = dump.size();
    std::wstring_view line = dump.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    start = end + 1;
    const std::optional<KeyLine> key = KeyLineOf(line);
    if (!key) continue;
    const std::optional<std::wstring_view> below = BelowBase(key->path, profiles_path);
    if (!below || below->size() < 2) return std::nullopt;
    std::wstring_view profile = below->substr(1);
    profile = profile.substr(0, profile.find(L'\\'));
    if (profile.empty() || profile == L"." || profile == L"..") return std::nullopt;
    return std::wstring(profile);
  }
  return std::nullopt;
}

std::wstring RelocatedDump(std::wstring_view dump, std::wstring_view from_path,
                           std::wstring_view to_path) {
  from_path = WithoutSeparators(from_path);
  to_path = WithoutSeparators(to_path);
  std::wstring result;
  result.reserve(dump.size());
  for (size_t start = 0; start < dump.size();) {
    size_t end = dump.find(L'\n', start);
    end = end == std::wstring_view::npos ? dump.size() : end + 1;
    const std::wstring_view line = dump.substr(start, end - start);
    start = end;
    const std::optional<KeyLine> key = KeyLineOf(line);
    const std::optional<std::wstring_view> below =
        key ? BelowBase(key->path, from_path) : std::nullopt;
    if (!below) {
      result += line;
      continue;
    }
    result += line.substr(0, key->path_start);
    result += kUserRoot;
    result += to_path;
    result += *below;
    result += line.substr(key->path_start + key->path.size());
  }
  return result;
}

std::optional<std::wstring> Rebased(std::wstring_view path, std::wstring_view old_base,
                                    std::wstring_view new_base) {
  while (!old_base.empty() && old_base.back() == L'\\') old_base.remove_suffix(1);
  while (!new_base.empty() && new_base.back() == L'\\') new_base.remove_suffix(1);
  if (old_base.empty() || !StartsWithIgnoreCase(path, old_base)) return std::nullopt;
  const std::wstring_view rest = path.substr(old_base.size());
  if (!rest.empty() && rest.front() != L'\\') return std::nullopt;
  return std::wstring(new_base) + std::wstring(rest);
}

}  // namespace mailstow
