#include "auto/archive_rotation.h"

#include <algorithm>
#include <cwctype>

#include "base/text_case.h"

namespace mailstow {
namespace {

constexpr std::wstring_view kArchiveExtension = L".ebk";

bool StartsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::wstring AutoArchiveDateText(int day, int month, int year) {
  return std::to_wstring(day) + L"-" + std::to_wstring(month) + L"-" + std::to_wstring(year);
}

std::wstring AutoArchivePath(const std::wstring& backup_dir, const std::wstring& user_prefix,
                             std::wstring_view name_prefix, const std::wstring& date_text,
                             int copy) {
  const std::wstring copy_text = copy > 1 ? L" (" + std::to_wstring(copy) + L")" : L"";
  return backup_dir + user_prefix + std::wstring(name_prefix) + L" " + date_text + copy_text +
         std::wstring(kArchiveExtension);
}

std::wstring UserPrefixFor(const std::wstring& logon_user_name, const std::wstring& account_name) {
  const std::wstring& user = logon_user_name.empty() ? account_name : logon_user_name;
  return user.empty() ? std::wstring() : user + L" ";
}

bool IsGeneratedArchiveName(std::wstring_view file_name, std::wstring_view prefix) {
  if (!file_name.starts_with(prefix) || !file_name.ends_with(kArchiveExtension)) return false;
  std::wstring_view rest = file_name.substr(prefix.size());
  if (rest.size() < kArchiveExtension.size()) return false;
  rest.remove_suffix(kArchiveExtension.size());
  // A number of 1 to max_digits digits without a leading zero, within [low, high], followed
  // by `end` (or the end of the text when end is 0).
  const auto take_number = [&rest](size_t max_digits, int low, int high, wchar_t end) {
    size_t digits = 0;
    while (digits < rest.size() && digits < max_digits && rest[digits] >= L'0' &&
           rest[digits] <= L'9') {
      ++digits;
    }
    if (digits == 0 || rest[0] == L'0') return false;
    const int value = std::stoi(std::wstring(rest.substr(0, digits)));
    if (value < low || value > high) return false;
    rest.remove_prefix(digits);
    if (end == 0) return true;
    if (rest.empty() || rest.front() != end) return false;
    rest.remove_prefix(1);
    return true;
  };
  if (rest.empty() || rest.front() != L' ') return false;
  rest.remove_prefix(1);
  if (!take_number(2, 1, 31, L'-') || !take_number(2, 1, 12, L'-')) return false;
  if (!take_number(4, 1000, 9999, 0)) return false;
  if (rest.empty()) return true;
  if (!rest.starts_with(L" (") || !rest.ends_with(L')')) return false;
  rest = rest.substr(2, rest.size() - 3);
  return take_number(4, 2, 9999, 0) && rest.empty();
}

bool IsVolumePartOf(std::wstring_view file_name, std::wstring_view archive_name) {
  if (!EndsWithIgnoreCase(archive_name, kArchiveExtension)) return false;
  const std::wstring_view stem =
      archive_name.substr(0, archive_name.size() - kArchiveExtension.size());
  if (file_name.size() < stem.size() + 4) return false;
  if (!StartsWithIgnoreCase(file_name, stem)) return false;
  const std::wstring_view rest = file_name.substr(stem.size());
  if (!EqualsIgnoreCase(rest.substr(0, 2), L".z")) return false;
  return std::all_of(rest.begin() + 2, rest.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::vector<std::wstring> ArchivesToRemove(std::vector<ArchiveFile> candidates,
                                           const std::wstring& new_archive, int mode, int keep) {
  std::erase_if(candidates,
                [&](const ArchiveFile& file) { return EqualsIgnoreCase(file.path, new_archive); });
  // Newest first.
  std::sort(candidates.begin(), candidates.end(), [](const ArchiveFile& a, const ArchiveFile& b) {
    if (a.write_time != b.write_time) return a.write_time > b.write_time;
    return a.path > b.path;
  });
  std::vector<std::wstring> removed;
  if (mode == 1) {
    if (!candidates.empty()) removed.push_back(candidates.front().path);
    return removed;
  }
  if (keep <= 0) return removed;
  for (size_t i = static_cast<size_t>(keep); i < candidates.size(); ++i) {
    removed.push_back(candidates[i].path);
  }
  return removed;
}

}  // namespace mailstow
