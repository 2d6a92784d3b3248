#include "restore_trail.h"

#include <algorithm>

#include "base/folders.h"
#include "base/ini_file.h"
#include "base/registry_key.h"
#include "base/text_case.h"
#include "engine/io_registry.h"

namespace mailstow {
namespace {

std::wstring Folded(std::wstring text) {
  for (wchar_t& c : text) c = FoldCase(c);
  return text;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(TRootKeys root, const std::wstring& path) {
  RegistryKey key;
  return key.Open(RootKeyHandle(root), path, false, KEY_READ);
}

// Fields of a trail line are separated by tabs; "%" escapes what would break a line.
std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'%' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\0') {
      wchar_t code[4];
      swprintf(code, 4, L"%02X", static_cast<unsigned>(c));
      out += L'%';
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring Unescaped(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 2 < text.size()) {
      out += static_cast<wchar_t>(std::wcstoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::wstring HexText(const std::vector<unsigned char>& bytes) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::vector<unsigned char> HexBytes(const std::wstring& text) {
  std::vector<unsigned char> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(
        static_cast<unsigned char>(std::wcstoul(text.substr(i, 2).c_str(), nullptr, 16)));
  }
  return bytes;
}

std::vector<std::wstring> Fields(const std::wstring& line) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find(L'\t', start);
    fields.push_back(Unescaped(line.substr(start, tab - start)));
    if (tab == std::wstring::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

RestoreTrail::RestoreTrail(std::vector<std::wstring> staging_folders, std::wstring aside_folder)
    : aside_folder_(std::move(aside_folder)) {
  for (std::wstring& folder : staging_folders) {
    staging_folders_.push_back(Folded(WithoutTrailingSeparator(folder)) + L"\\");
  }
}

RestoreTrail::PathKey RestoreTrail::KeyOf(std::wstring_view path) {
  // Two independent 64-bit hashes of the folded text: FNV-1a and a multiply-rotate mix.
  PathKey key{0xCBF29CE484222325ull, 0x9E3779B97F4A7C15ull};
  for (const wchar_t c : path) {
    const uint64_t unit = static_cast<uint16_t>(FoldCase(c));
    key.first = (key.first ^ unit) * 0x100000001B3ull;
    key.second = (key.second ^ unit) * 0xBF58476D1CE4E5B9ull;
    key.second = (key.second << 27) | (key.second >> 37);
  }
  return key;
}

void RestoreTrail::AddKeptFile(std::wstring_view path) {
  kept_files_.push_back(KeyOf(path));
  kept_sorted_ = false;
}

bool RestoreTrail::KeyRecorded(const std::wstring& text) {
  return !seen_keys_.insert(Folded(text)).second;
}

bool RestoreTrail::IsStaging(const std::wstring& path) const {
  const std::wstring folded = Folded(path);
  return std::any_of(staging_folders_.begin(), staging_folders_.end(),
                     [&folded](const std::wstring& folder) { return folded.starts_with(folder); });
}

bool RestoreTrail::BeforeFileWrite(const std::wstring& path) {
  if (IsStaging(path) || !seen_files_.insert(KeyOf(path)).second) return true;
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    created_files_.Add(path);
    return true;
  }
  // A folder entry of the archive over a folder that exists: its files are noted one by one.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  if (!kept_sorted_) {
    std::sort(kept_files_.begin(), kept_files_.end());
    kept_files_.shrink_to_fit();
    kept_sorted_ = true;
  }
  if (std::binary_search(kept_files_.begin(), kept_files_.end(), KeyOf(path))) return true;
  // Replaced but not in the safety copy: a copy aside keeps it.
  if (!CreateFolderTree(aside_folder_)) return false;
  const std::wstring copy = aside_folder_ + L"\\" + std::to_wstring(aside_.size() + 1);
  if (!CopyFileW(LongPath(path).c_str(), LongPath(copy).c_str(), FALSE)) return false;
  aside_.push_back({path, copy});
  return true;
}

void RestoreTrail::BeforeFolderCreate(const std::wstring& folder) {
  std::vector<std::wstring> missing;
  for (std::wstring path = WithoutTrailingSeparator(folder); path.size() > 3 && !Exists(path);
       path = ParentOf(path)) {
    missing.push_back(path);
  }
  if (missing.empty() || IsStaging(missing.front() + L"\\")) return;
  // Outermost first: taken back in the reverse order, innermost first.
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (seen_files_.insert(KeyOf(*it)).second) created_folders_.push_back(*it);
  }
}

void RestoreTrail::BeforeKeyWrite(TRootKeys root, const std::wstring& key_path) {
  if (KeyExists(root, key_path)) return;
  // The outermost missing key goes with everything the restore puts below it.
  std::wstring path;
  size_t start = 0;
  for (;;) {
    const size_t cut = key_path.find(L'\\', start);
    path = key_path.substr(0, cut);
    if (!KeyExists(root, path)) break;
    if (cut == std::wstring::npos) return;
    start = cut + 1;
  }
  if (KeyRecorded(std::to_wstring(static_cast<int>(root)) + L"\\" + path + L"\\")) return;
  created_keys_.push_back({KeyChange::kCreatedKey, root, path});
}

void RestoreTrail::BeforeValueWrite(TRootKeys root, const std::wstring& key_path,
                                    const std::wstring& name) {
  const std::wstring key_text = std::to_wstring(static_cast<int>(root)) + L"\\" + key_path;
  // Below a key the restore created: it goes as a whole.
  for (const KeyRecord& record : created_keys_) {
    if (record.change != KeyChange::kCreatedKey) continue;
    const std::wstring created =
        Folded(std::to_wstring(static_cast<int>(record.root)) + L"\\" + record.path + L"\\");
    if (Folded(key_text + L"\\").starts_with(created)) return;
  }
  RegistryKey key;
  if (!key.Open(RootKeyHandle(root), key_path, false, KEY_READ)) return;
  if (KeyRecorded(key_text + L"\\\t" + name)) return;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key.handle(), name.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    created_keys_.push_back({KeyChange::kCreatedValue, root, key_path, name});
    return;
  }
  KeyRecord replaced{KeyChange::kReplacedValue, root, key_path, name, type};
  replaced.data.resize(size);
  if (RegQueryValueExW(key.handle(), name.c_str(), nullptr, &type, replaced.data.data(), &size) ==
      ERROR_SUCCESS) {
    replaced.data.resize(size);
    created_keys_.push_back(std::move(replaced));
  }
}

void RestoreTrail::BeforeKeyTreeDelete(TRootKeys root, const std::wstring& key_path) {
  RegistryKey key;
  if (!key.Open(RootKeyHandle(root), key_path, false, KEY_READ)) return;
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD size = 0;
    if (RegEnumValueW(key.handle(), index, name.data(), &name_length, nullptr, nullptr, nullptr,
                      &size) != ERROR_SUCCESS) {
      break;
    }
    BeforeValueWrite(root, key_path, std::wstring(name.data(), name_length));
  }
  for (const std::wstring& sub_key : key.SubKeyNames()) {
    BeforeKeyTreeDelete(root, key_path + L"\\" + sub_key);
  }
}

bool RestoreTrail::empty() const {
  return created_files_.empty() && created_folders_.empty() && created_keys_.empty() &&
         aside_.empty();
}

bool RestoreTrail::Save(const std::wstring& path) const {
  DeleteFileW(path.c_str());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Written a piece at a time: a trail of many thousands of files is never held whole.
  std::wstring text = L"\xFEFF";
  bool ok = true;
  const auto flush = [&](size_t at_least) {
    if (text.size() < at_least) return;
    DWORD written = 0;
    const auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    ok = ok && WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
    text.clear();
  };
  constexpr size_t kPiece = 32 * 1024;
  for (const std::wstring_view created : created_files_) {
    text += L"F\t" + Escaped(std::wstring(created)) + L"\r\n";
    flush(kPiece);
  }
  for (const std::wstring& folder : created_folders_) text += L"D\t" + Escaped(folder) + L"\r\n";
  for (const KeyRecord& key : created_keys_) {
    static constexpr const wchar_t* kKinds[] = {L"K\t", L"V\t", L"P\t"};
    text += kKinds[static_cast<int>(key.change)] + std::to_wstring(static_cast<int>(key.root)) +
            L"\t" + Escaped(key.path);
    if (key.change != KeyChange::kCreatedKey) text += L"\t" + Escaped(key.value);
    if (key.change == KeyChange::kReplacedValue) {
      text += L"\t" + std::to_wstring(key.type) + L"\t" + HexText(key.data);
    }
    text += L"\r\n";
    flush(kPiece);
  }
  for (const AsideRecord& aside : aside_) {
    text += L"A\t" + Escaped(aside.original) + L"\t" + Escaped(aside.copy) + L"\r\n";
    flush(kPiece);
  }
  flush(0);
  ok = CloseHandle(file) && ok;
  if (!ok) DeleteFileW(path.c_str());
  return ok;
}

bool RestoreTrail::Load(const std::wstring& path) {
  // Only a file of this kind: UTF-16 with its byte-order mark.
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes || !bytes->starts_with("\xFF\xFE")) return false;
  const std::wstring text = DecodeFileText(*bytes);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::vector<std::wstring> fields = Fields(text.substr(start, end - start));
    start = end + 2;
    const std::wstring& kind = fields[0];
    if (kind == L"F" && fields.size() == 2) {
      created_files_.Add(fields[1]);
    } else if (kind == L"D" && fields.size() == 2) {
      created_folders_.push_back(fields[1]);
    } else if ((kind == L"K" && fields.size() == 3) || (kind == L"V" && fields.size() == 4) ||
               (kind == L"P" && fields.size() == 6)) {
      const auto root = static_cast<TRootKeys>(std::wcstol(fields[1].c_str(), nullptr, 10));
      KeyRecord record{kind == L"K"   ? KeyChange::kCreatedKey
                       : kind == L"V" ? KeyChange::kCreatedValue
                                      : KeyChange::kReplacedValue,
                       root, fields[2]};
      if (fields.size() > 3) record.value = fields[3];
      if (fields.size() > 5) {
        record.type = static_cast<DWORD>(std::wcstoul(fields[4].c_str(), nullptr, 10));
        record.data = HexBytes(fields[5]);
      }
      created_keys_.push_back(std::move(record));
    } else if (kind == L"A" && fields.size() == 3) {
      aside_.push_back({fields[1], fields[2]});
    }
  }
  return true;
}

std::vector<std::wstring> RestoreTrail::TakeBack() const {
  std::vector<std::wstring> failed;
  // Keys and values innermost first: the reverse of the order they were made in.
  for (auto key = created_keys_.rbegin(); key != created_keys_.rend(); ++key) {
    if (key->change == KeyChange::kReplacedValue) continue;
    if (key->change == KeyChange::kCreatedKey) {
      if (!DeleteRegistryTree(RootKeyHandle(key->root), key->path)) failed.push_back(key->path);
      continue;
    }
    RegistryKey opened;
    if (opened.Open(RootKeyHandle(key->root), key->path, false, KEY_READ | KEY_SET_VALUE) &&
        opened.ValueExists(key->value) && !opened.DeleteValue(key->value)) {
      failed.push_back(key->path + L"\\" + key->value);
    }
  }
  // Last made first: the files of a folder entry go before the folder.
  for (size_t i = created_files_.size(); i-- > 0;) {
    const std::wstring file(created_files_[i]);
    const std::wstring path = LongPath(file);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      RemoveDirectoryW(path.c_str());  // a folder entry; it stays when something is in it now
      continue;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) failed.push_back(file);
  }
  for (const AsideRecord& aside : aside_) {
    SetFileAttributesW(LongPath(aside.original).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileW(LongPath(aside.copy).c_str(), LongPath(aside.original).c_str(), FALSE)) {
      failed.push_back(aside.original);
    }
  }
  // A folder that holds something now (mail the client wrote since) stays.
  for (auto folder = created_folders_.rbegin(); folder != created_folders_.rend(); ++folder) {
    RemoveDirectoryW(LongPath(*folder).c_str());
  }
  return failed;
}

std::vector<std::wstring> RestoreTrail::PutBackReplacedValues() const {
  std::vector<std::wstring> failed;
  for (const KeyRecord& key : created_keys_) {
    if (key.change != KeyChange::kReplacedValue) continue;
    RegistryKey opened;
    if (!opened.Open(RootKeyHandle(key.root), key.path, true, KEY_READ | KEY_SET_VALUE) ||
        RegSetValueExW(opened.handle(), key.value.c_str(), 0, key.type,
                       key.data.empty() ? nullptr : key.data.data(),
                       static_cast<DWORD>(key.data.size())) != ERROR_SUCCESS) {
      failed.push_back(key.path + L"\\" + key.value);
    }
  }
  return failed;
}

}  // namespace mailstow
