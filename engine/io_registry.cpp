#include "engine/io_registry.h"

#include <string_view>
#include <utility>

#include "base/ansi_text.h"
#include "base/registry_key.h"
#include "engine/restore_trail.h"

namespace mailstow {
namespace {

constexpr DWORD kMaxKeyNameChars = 256;
constexpr DWORD kMaxValueNameChars = 16384;

std::vector<std::wstring> SubKeyNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kMaxKeyNameChars];
    DWORD length = kMaxKeyNameChars;
    const LONG rc = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

// Appends every direct sub-key of a key, in the registry's order, before the sub-keys of
// each of those in turn.
void AppendSubKeyPaths(HKEY root, const std::wstring& path, std::vector<std::wstring>& paths) {
  RegistryKey key;
  if (!key.Open(root, path, false, KEY_READ)) return;
  std::vector<std::wstring> children;
  for (const auto& name : SubKeyNames(key.handle())) {
    children.push_back(path.empty() ? name : path + kKeyLevelDelim + name);
  }
  key.Close();
  paths.insert(paths.end(), children.begin(), children.end());
  for (const auto& child : children) AppendSubKeyPaths(root, child, paths);
}

std::optional<RegistryValue> ReadValue(HKEY key, std::wstring name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<uint8_t> data;
  for (int attempt = 0; attempt < 4; ++attempt) {  // The value may grow between the calls.
    data.resize(size);
    if (size == 0) return RegistryValue{std::move(name), type, {}};
    const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      return RegistryValue{std::move(name), type, std::move(data)};
    }
    if (rc != ERROR_MORE_DATA) break;
  }
  return std::nullopt;
}

std::wstring KeyText(TRootKeys root, const std::wstring& path) {
  return std::wstring(RootKeyName(root)) + (path.empty() ? L"" : L"\\" + path);
}

}  // namespace

HKEY RootKeyHandle(TRootKeys root) {
  switch (root) {
    case TRootKeys::rkHKEY_CLASSES_ROOT:
      return HKEY_CLASSES_ROOT;
    case TRootKeys::rkHKEY_LOCAL_MACHINE:
      return HKEY_LOCAL_MACHINE;
    case TRootKeys::rkHKEY_USERS:
      return HKEY_USERS;
    case TRootKeys::rkHKEY_CURRENT_CONFIG:
      return HKEY_CURRENT_CONFIG;
    case TRootKeys::rkHKEY_DYN_DATA:
      return HKEY_DYN_DATA;
    case TRootKeys::rkHKEY_CURRENT_USER:
    case TRootKeys::rkNONE:
      break;
  }
  return HKEY_CURRENT_USER;
}

TIORegistry::TIORegistry(UserPrompts* prompts, LogSink log)
    : prompts_(prompts), log_(std::move(log)) {}

void TIORegistry::Log(const std::wstring& message) const {
  if (log_) log_(message);
}

bool TIORegistry::ExportKey(const std::wstring& root_name, const std::wstring& key_path,
                            bool include_sub_keys, const std::wstring& file_name) {
  const TRootKeys root = root_name.empty()
                             ? RootKey
                             : RootKeyFromName(root_name).value_or(TRootKeys::rkHKEY_CURRENT_USER);
  const HKEY root_handle = RootKeyHandle(root);
  const std::wstring start_path = NormalizedKeyPath(key_path);
  bool complete = true;

  std::vector<std::wstring> lines{std::wstring(kRegHeader)};
  // A missing key is dumped as an empty one, without creating it: a backup changes nothing.
  HKEY probe = nullptr;
  const LONG opened = RegOpenKeyExW(root_handle, start_path.c_str(), 0,
                                    KEY_READ | RegistryViewFor(root_handle), &probe);
  if (opened == ERROR_SUCCESS) RegCloseKey(probe);
  if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
    Log(L"Export: cannot open key " + KeyText(root, start_path));
    return false;
  }
  std::vector<std::wstring> paths;
  if (opened == ERROR_FILE_NOT_FOUND) {
    lines.emplace_back();
    lines.push_back(KeyLine(root, start_path));
  } else {
    paths.push_back(start_path);
  }
  std::vector<wchar_t> name(kMaxValueNameChars);
  if (include_sub_keys && !paths.empty()) AppendSubKeyPaths(root_handle, start_path, paths);

  for (const auto& path : paths) {
    if (!KeyPathWritable(path, RepresentableInAnsi)) {
      Log(L"Export: key " + KeyText(root, path) + L" has a name the file cannot hold; left out");
      complete = false;
      continue;
    }
    RegistryKey key;
    if (!key.Open(root_handle, path, false, KEY_READ)) {
      Log(L"Export: cannot read key " + KeyText(root, path) + L"; left out");
      complete = false;
      continue;
    }
    lines.emplace_back();
    lines.push_back(KeyLine(root, path));
    for (DWORD index = 0;; ++index) {
      DWORD length = kMaxValueNameChars;
      const LONG rc = RegEnumValueW(key.handle(), index, name.data(), &length, nullptr, nullptr,
                                    nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) {
        Log(L"Export: cannot list the values of " + KeyText(root, path));
        complete = false;
        break;
      }
      const std::wstring value_name(name.data(), length);
      const auto value = ReadValue(key.handle(), value_name);
      const auto line = value ? ValueLine(*value, RepresentableInAnsi) : std::nullopt;
      if (!line) {
        Log(L"Export: value \"" + value_name + L"\" of " + KeyText(root, path) +
            (value ? L" has a name the file cannot hold; left out" : L" cannot be read; left out"));
        complete = false;
        continue;
      }
      lines.push_back(*line);
    }
  }

  if (ExportDestination != TExpImpSource::eiFile || file_name.empty()) {
    RegistryData.insert(RegistryData.end(), lines.begin(), lines.end());
    return complete;
  }
  const std::string bytes = ToAnsi(JoinLines(lines));
  const HANDLE file = CreateFileW(file_name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Log(L"Export: cannot create " + file_name);
    return false;
  }
  DWORD written = 0;
  const bool saved =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  const bool closed = CloseHandle(file);
  if (!saved || !closed) {
    Log(L"Export: cannot write " + file_name);
    return false;
  }
  return complete;
}

bool TIORegistry::ImportFile(const std::wstring& file_name) { return Import(file_name, nullptr); }

bool TIORegistry::ImportFile(const std::wstring& file_name,
                             const std::vector<RegistryBranch>& allowed) {
  return Import(file_name, &allowed);
}

bool TIORegistry::LoadFileText(const std::wstring& file_name, std::wstring& text) {
  const DWORD attributes = GetFileAttributesW(file_name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    const std::wstring message = L"File \"" + file_name + L"\" not found.";
    if (prompts_ != nullptr) prompts_->Show(PromptKind::kPlain, PromptButtons::kOk, message);
    Log(L"Import: " + message);
    return false;
  }
  const HANDLE file = CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Log(L"Import: cannot open " + file_name);
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (ok && static_cast<uint64_t>(size.QuadPart) > kMaxRegFileSize) {
    Log(L"Import: " + file_name + L" is larger than any registry dump can be; not read");
    ok = false;
  }
  std::string bytes;
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = bytes.empty() ||
         (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size());
    if (!ok) Log(L"Import: cannot read " + file_name);
  }
  CloseHandle(file);
  if (ok) text = FromAnsi(bytes);
  return ok;
}

bool TIORegistry::WriteKey(const RegKeyImport& key) {
  const std::wstring key_text = KeyText(key.root, key.key_path);
  if (Trail != nullptr) Trail->BeforeKeyWrite(key.root, key.key_path);
  RegistryKey handle;
  if (!handle.Open(RootKeyHandle(key.root), key.key_path, true, KEY_SET_VALUE)) {
    Log(L"Import: line " + std::to_wstring(key.line_number) + L": cannot open or create key " +
        key_text + L"; its " + std::to_wstring(key.values.size()) + L" value(s) were skipped");
    return false;
  }
  bool ok = true;
  for (const auto& value : key.values) {
    if (Trail != nullptr) Trail->BeforeValueWrite(key.root, key.key_path, value.name);
    const LONG rc = RegSetValueExW(handle.handle(), value.name.c_str(), 0, value.type,
                                   value.data.empty() ? nullptr : value.data.data(),
                                   static_cast<DWORD>(value.data.size()));
    if (rc != ERROR_SUCCESS) {
      Log(L"Import: cannot write value \"" + value.name + L"\" of " + key_text);
      ok = false;
    }
  }
  return ok;
}

bool TIORegistry::Import(const std::wstring& file_name,
                         const std::vector<RegistryBranch>* allowed) {
  RegImportPlan plan;
  if (ImportSource == TExpImpSource::eiFile) {
    std::wstring text;
    if (!LoadFileText(file_name, text)) return false;
    plan = ParseRegText(text, allowed);
  } else {
    const std::vector<std::wstring_view> lines(RegistryData.begin(), RegistryData.end());
    plan = ParseRegLines(lines, allowed);
  }
  for (const auto& message : plan.refused) Log(L"Import: " + message);
  bool ok = plan.refused.empty();
  for (const auto& key : plan.keys) ok = WriteKey(key) && ok;
  return ok;
}

}  // namespace mailstow
