#include "job_rules.h"

#include <cmath>

namespace mailstow {
namespace {

// ASCII letters only, as names in archives are compared the same on every system.
wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

double ProgressScaleFor(size_t entry_count) {
  return entry_count == 0 ? 100.0 : 100.0 / static_cast<double>(entry_count);
}

int ProgressPosition(long long entries_done, double scale, int percent) {
  // nearbyint rounds halves to the even neighbour in the default rounding mode.
  const double share = std::nearbyint(percent * scale / 100.0);
  return static_cast<int>(std::nearbyint(static_cast<double>(entries_done) * scale + share));
}

std::wstring StoredNameFor(std::wstring_view proposed, std::wstring_view folder,
                           std::wstring_view strip_prefix) {
  const std::wstring_view rest = strip_prefix.size() < proposed.size()
                                     ? proposed.substr(strip_prefix.size())
                                     : std::wstring_view{};
  std::wstring name(folder);
  name += L'\\';
  name += rest;
  return name;
}

bool StaysInside(std::wstring_view relative) {
  if (relative.empty() || IsSeparator(relative.front())) return false;
  if (relative.size() >= 2 && relative[1] == L':') return false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = start;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    const std::wstring_view part = relative.substr(start, end - start);
    if (part == L"..") return false;
    if (part.find(L':') != std::wstring_view::npos) return false;  // alternate data streams
    start = end + 1;
  }
  return true;
}

std::optional<std::wstring> OutputPathFor(std::wstring_view proposed, std::wstring_view staging,
                                          std::wstring_view target_folder) {
  if (proposed.size() <= staging.size() + 1) return std::nullopt;
  for (size_t i = 0; i < staging.size(); ++i) {
    if (Lower(proposed[i]) != Lower(staging[i])) return std::nullopt;
  }
  if (!IsSeparator(proposed[staging.size()])) return std::nullopt;
  const std::wstring_view rest = proposed.substr(staging.size() + 1);
  if (!StaysInside(rest)) return std::nullopt;
  std::wstring path(target_folder);
  path += rest;
  return path;
}

bool InFolder(std::wstring_view stored_name, std::wstring_view prefix) {
  if (stored_name.size() <= prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(stored_name[i]) != Lower(prefix[i])) return false;
  }
  return stored_name[prefix.size()] == L'\\';
}

std::optional<std::wstring> TreeTargetFolder(std::wstring_view stored_name,
                                             std::wstring_view prefix,
                                             std::wstring_view target_folder) {
  if (!InFolder(stored_name, prefix)) return std::nullopt;
  const std::wstring_view rest = stored_name.substr(prefix.size() + 1);
  if (!StaysInside(rest)) return std::nullopt;
  std::wstring folder(target_folder);
  const size_t last = rest.find_last_of(L"\\/");
  if (last == std::wstring_view::npos) return folder;
  for (wchar_t c : rest.substr(0, last)) folder += IsSeparator(c) ? L'\\' : c;
  folder += L'\\';
  return folder;
}

}  // namespace mailstow
