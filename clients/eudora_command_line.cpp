#include "clients/eudora_command_line.h"

#include <algorithm>
#include <cwctype>
#include <vector>

namespace mailstow {
namespace {

bool EndsWithExe(std::wstring_view text) {
  if (text.size() < 4) return false;
  std::wstring tail(text.substr(text.size() - 4));
  for (wchar_t& c : tail) c = static_cast<wchar_t>(std::towlower(c));
  return tail == L".exe";
}

// Where the unquoted program path ends: after ".exe" when a space follows it, otherwise at
// the first space.
size_t ProgramEnd(std::wstring_view text) {
  for (size_t space = text.find(L' '); space != std::wstring_view::npos;
       space = text.find(L' ', space + 1)) {
    if (EndsWithExe(text.substr(0, space))) return space;
  }
  return std::min(text.find(L' '), text.size());
}

// The arguments, quotes removed; empty arguments between repeated spaces are skipped.
std::vector<std::wstring> Arguments(std::wstring_view text) {
  std::vector<std::wstring> arguments;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == L' ' || text[at] == L'\t') {
      ++at;
      continue;
    }
    size_t end;
    if (text[at] == L'"') {
      end = text.find(L'"', at + 1);
      if (end == std::wstring_view::npos) end = text.size();
      arguments.emplace_back(text.substr(at + 1, end - at - 1));
      at = end + 1;
      continue;
    }
    end = arguments.empty() ? ProgramEnd(text.substr(at)) + at : text.find(L' ', at);
    if (end == std::wstring_view::npos) end = text.size();
    arguments.emplace_back(text.substr(at, end - at));
    at = end;
  }
  return arguments;
}

}  // namespace

std::wstring EudoraDataFolder(std::wstring_view command_line) {
  const std::vector<std::wstring> arguments = Arguments(command_line);
  std::wstring folder;
  if (arguments.size() >= 2) {
    folder = arguments[1];
  } else if (arguments.size() == 1 && !EndsWithExe(arguments[0])) {
    folder = arguments[0];
  }
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace mailstow
