#include "clients/dump_root.h"

namespace mailstow {
namespace {

bool StartsWithRoot(std::string_view line, std::string_view root) {
  if (line.size() < root.size() + 2 || line[0] != '[') return false;
  for (size_t i = 0; i < root.size(); ++i) {
    char c = line[i + 1];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    char r = root[i];
    if (r >= 'a' && r <= 'z') r = static_cast<char>(r - 'a' + 'A');
    if (c != r) return false;
  }
  const char after = line[root.size() + 1];
  return after == '\\' || after == ']';
}

}  // namespace

std::string RebaseDumpRoot(std::string_view dump, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(dump.size());
  size_t start = 0;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    end = end == std::string_view::npos ? dump.size() : end + 1;
    const std::string_view line = dump.substr(start, end - start);
    if (StartsWithRoot(line, from)) {
      result += '[';
      result += to;
      result += line.substr(from.size() + 1);
    } else {
      result += line;
    }
    start = end;
  }
  return result;
}

}  // namespace mailstow
