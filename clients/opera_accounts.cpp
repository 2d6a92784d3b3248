#include "clients/opera_accounts.h"

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

}  // namespace

std::vector<std::wstring> OperaAccountNames(std::wstring_view text) {
  std::vector<std::wstring> names;
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
    if (!in_accounts) continue;
    std::wstring name = NameOf(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
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
