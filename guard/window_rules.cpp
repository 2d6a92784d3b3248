#include "window_rules.h"

namespace mailstow {
namespace {

constexpr uint32_t kPopup = 0x80000000u;
constexpr uint32_t kDisabled = 0x08000000u;
constexpr uint32_t kSysMenu = 0x00080000u;
constexpr uint32_t kMinimizeBox = 0x00020000u;

}  // namespace

bool PassesTaskBarStyle(uint32_t style) {
  if ((style & kPopup) == 0) return true;
  return (style & kMinimizeBox) != 0 && (style & kSysMenu) != 0 && (style & kDisabled) == 0;
}

std::wstring LowerCase(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  }
  return lower;
}

bool WindowBelongsToClient(std::wstring_view executable_path, std::wstring_view caption,
                           std::wstring_view client_executable) {
  if (LowerCase(caption) == L"mci command handling window") return false;
  return LowerCase(executable_path).find(LowerCase(client_executable)) != std::wstring::npos;
}

}  // namespace mailstow
