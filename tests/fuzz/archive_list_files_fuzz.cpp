// Feeds arbitrary bytes to the parsers of list and dump files that a restore reads from an
// archive (the mail-profile dump, a dump moved to another root key, Opera's account list):
// none may read out of bounds, and what each returns must come from the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clients/dump_root.h"
#include "clients/mail_profile_dump.h"
#include "clients/opera_accounts.h"

namespace {

// Bytes widened one to one, so that every code unit the parsers see is one of the input's.
std::wstring Widened(std::string_view bytes) {
  std::wstring text;
  for (const char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::wstring text = Widened(bytes);
  constexpr std::wstring_view kProfiles = L"Software\\Microsoft\\Windows NT\\Profiles";

  if (const std::optional<std::wstring> profile = mailstow::DumpedProfile(text, kProfiles)) {
    Require(!profile->empty() && profile->find(L'\\') == std::wstring::npos);
    Require(text.find(*profile) != std::wstring::npos);
  }
  // Moving key lines changes no line count and leaves lines without the path alone.
  const std::wstring moved = mailstow::RelocatedDump(text, kProfiles, L"Software\\Other");
  Require(std::count(moved.begin(), moved.end(), L'\n') ==
          std::count(text.begin(), text.end(), L'\n'));
  const std::string rebased =
      mailstow::RebaseDumpRoot(bytes, "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER");
  Require(std::count(rebased.begin(), rebased.end(), '\n') ==
          std::count(bytes.begin(), bytes.end(), '\n'));

  for (const std::wstring& name : mailstow::OperaAccountNames(text)) {
    Require(!name.empty() && text.find(name) != std::wstring::npos);
  }
  const std::wstring folder = mailstow::OperaProgramFolder(text);
  Require(folder.empty() || (folder.back() == L'\\' && text.find(folder) != std::wstring::npos));

  // A path rebased keeps what followed the old folder.
  const size_t cut = text.find(L'|');
  if (cut != std::wstring::npos) {
    const std::wstring path = text.substr(0, cut);
    const std::wstring base = text.substr(cut + 1);
    if (const std::optional<std::wstring> moved_path = mailstow::Rebased(path, base, L"C:\\New")) {
      Require(moved_path->starts_with(L"C:\\New"));
      Require(path.ends_with(moved_path->substr(6)));
    }
  }
  return 0;
}
