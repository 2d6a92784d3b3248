#include "archive_names.h"

namespace mailstow {

std::wstring DefaultArchiveName(std::wstring_view last_path, std::wstring_view prefix,
                                std::wstring_view short_date) {
  std::wstring name(last_path);
  name += prefix;
  for (wchar_t c : short_date) name += (c >= L'0' && c <= L'9') ? c : L'-';
  name += L".ebk";
  return name;
}

std::wstring SuggestedArchiveFileName(std::wstring_view prefix, int day, int month, int year) {
  return std::wstring(prefix) + std::to_wstring(day) + L"-" + std::to_wstring(month) + L"-" +
         std::to_wstring(year) + L".ebk";
}

std::wstring FolderOf(std::wstring_view path) {
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? std::wstring()
                                              : std::wstring(path.substr(0, separator + 1));
}

}  // namespace mailstow
