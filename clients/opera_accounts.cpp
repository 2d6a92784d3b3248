#include "clients/opera_accounts.h"

#include <algorithm>
#include <cwctype>

namespace mailstow {
namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower;
}

// The name a line of the accounts part gives; a line too short for the rule gives none.
std::wstring NameOf(std::wstring_view line) {
  if (line.size() <= 2) return {};
  const size_t end = line.size() - 2;
  const size_t mark = line.substr(0, end).find_last_of(L'?');
  const size_t start = mark == std::wstring_view::npos ? 0 : mark + 1;
  return std::wstring(line.substr(start, end - start));
}

// The lines (without their ends) of every accounts part: from a line "[accounts]", in any case,
// to the next line holding "[".
std::vector<std::wstring_view> AccountLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  bool in_accounts = false;
  while (!text.empty()) {
    const size_t end = text.find(L'\n');
    std::wstring_view line = text.substr(0, end);
    text = end == std::wstring_view::npos ? std::wstring_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    if (line.find(L'[') != std::wstring_view::npos) {
      in_accounts = Lower(line) == L"[accounts]";
      continue;
    }
    if (in_accounts) lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::vector<std::wstring> OperaAccountNames(std::wstring_view text) {
  std::vector<std::wstring> names;
  for (const std::wstring_view line : AccountLines(text)) {
    std::wstring name = NameOf(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::wstring MergedOperaAccountList(std::wstring_view archived, std::wstring_view here) {
  std::vector<std::wstring> known;
  for (const std::wstring& name : OperaAccountNames(archived)) known.push_back(Lower(name));
  // The lines of the accounts part here that name an account the archive lacks.
  std::vector<std::wstring> added;
  for (const std::wstring_view line : AccountLines(here)) {
    const std::wstring name = Lower(NameOf(line));
    if (name.empty() || std::find(known.begin(), known.end(), name) != known.end()) continue;
    known.push_back(name);
    added.emplace_back(line);
  }
  if (added.empty()) return std::wstring(archived);
  const std::wstring_view line_end =
      archived.find(L"\r\n") != std::wstring_view::npos || archived.empty() ? L"\r\n" : L"\n";
  std::wstring block;
  for (const std::wstring& line : added) block += line + std::wstring(line_end);
  // After the last non-empty line of the archive's first accounts part; a new part at the end
  // when it has none.
  std::wstring merged(archived);
  size_t at = 0;
  size_t insert_at = std::wstring::npos;
  bool inside = false;
  while (at < merged.size()) {
    const size_t end = merged.find(L'\n', at);
    const size_t next = end == std::wstring::npos ? merged.size() : end + 1;
    std::wstring_view line(merged.data() + at, next - at);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.remove_suffix(1);
    if (line.find(L'[') != std::wstring_view::npos) {
      if (inside) break;
      inside = Lower(line) == L"[accounts]";
      if (inside) insert_at = next;
    } else if (inside && !line.empty()) {
      insert_at = next;
    }
    at = next;
  }
  if (insert_at == std::wstring::npos) {
    if (!merged.empty() && merged.back() != L'\n') merged += line_end;
    return merged + L"[Accounts]" + std::wstring(line_end) + block;
  }
  if (insert_at == merged.size() && !merged.empty() && merged.back() != L'\n') {
    merged += line_end;
    insert_at = merged.size();
  }
  merged.insert(insert_at, block);
  return merged;
}

std::wstring OperaProgramFolder(std::wstring_view command_line) {
  std::wstring_view path = command_line;
  if (!path.empty() && path.front() == L'"') {
    path.remove_prefix(1);
    path = path.substr(0, path.find(L'"'));
  }
  const size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring_view::npos) return {};
  return std::wstring(path.substr(0, separator + 1));
}

}  // namespace mailstow
