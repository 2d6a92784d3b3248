#include "base/virtual_store.h"

#include "base/text_case.h"

namespace mailstow {
namespace {

bool OnDrive(std::wstring_view path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

std::wstring_view WithoutTrailingSeparators(std::wstring_view path) {
  while (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

// Whether path is folder or lies below it; no ".." component may lead back out.
bool AtOrBelow(std::wstring_view path, std::wstring_view folder) {
  if (path.size() < folder.size() || !EqualsIgnoreCase(path.substr(0, folder.size()), folder)) {
    return false;
  }
  if (path.size() > folder.size() && path[folder.size()] != L'\\') return false;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (path.substr(start, end - start) == L"..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::wstring VirtualStorePath(std::wstring_view path, std::wstring_view local_app_data,
                              const std::vector<std::wstring>& protected_folders) {
  path = WithoutTrailingSeparators(path);
  local_app_data = WithoutTrailingSeparators(local_app_data);
  if (!OnDrive(path) || !OnDrive(local_app_data)) return {};
  for (const std::wstring& folder : protected_folders) {
    const std::wstring_view base = WithoutTrailingSeparators(folder);
    if (!OnDrive(base) || base.size() <= 3 || !AtOrBelow(path, base)) continue;
    std::wstring store(local_app_data);
    if (store.back() != L'\\') store += L'\\';
    return store + L"VirtualStore" + std::wstring(path.substr(2));
  }
  return {};
}

}  // namespace mailstow
