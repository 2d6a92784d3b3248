#include "registry_key.h"

#include <cstring>
#include <utility>
#include <vector>

#include "date_time_value.h"

namespace mailstow {

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = std::exchange(other.key_, nullptr);
  }
  return *this;
}

bool RegistryKey::Open(HKEY root, const std::wstring& path, bool create, REGSAM access) {
  Close();
  std::wstring sub = path;
  while (!sub.empty() && sub.front() == L'\\') sub.erase(0, 1);
  access |= RegistryViewFor(root);
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                         &key_, nullptr);
  } else {
    rc = RegOpenKeyExW(root, sub.c_str(), 0, access, &key_);
  }
  if (rc != ERROR_SUCCESS) key_ = nullptr;
  return rc == ERROR_SUCCESS;
}

REGSAM RegistryViewFor(HKEY root) { return root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0; }

bool KeyWritable(HKEY root, const std::wstring& path) {
  std::wstring sub = path;
  while (!sub.empty() && sub.front() == L'\\') sub.erase(0, 1);
  while (!sub.empty() && sub.back() == L'\\') sub.pop_back();
  REGSAM access = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
  for (;;) {
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExW(root, sub.c_str(), 0, access | RegistryViewFor(root), &key);
    if (rc == ERROR_SUCCESS) {
      RegCloseKey(key);
      return true;
    }
    if (rc != ERROR_FILE_NOT_FOUND || sub.empty()) return false;
    // A missing key is written by creating it in its parent.
    const size_t separator = sub.rfind(L'\\');
    sub.resize(separator == std::wstring::npos ? 0 : separator);
    access = KEY_CREATE_SUB_KEY;
  }
}

bool DeleteRegistryTree(HKEY root, const std::wstring& path) {
  std::wstring sub = path;
  while (!sub.empty() && sub.front() == L'\\') sub.erase(0, 1);
  if (sub.empty()) return false;
  const REGSAM view = RegistryViewFor(root);
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_ALL_ACCESS | view, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  rc = RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return false;
  rc = RegDeleteKeyExW(root, sub.c_str(), view, 0);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

void RegistryKey::Close() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegistryKey::ValueExists(const std::wstring& name) const {
  return key_ != nullptr &&
         RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteValue(const std::wstring& name) {
  return key_ != nullptr && RegDeleteValueW(key_, name.c_str()) == ERROR_SUCCESS;
}

RegistryRead<std::wstring> RegistryKey::ReadString(const std::wstring& name) const {
  RegistryRead<std::wstring> result;
  DWORD type = 0;
  DWORD size = 0;
  if (key_ == nullptr ||
      RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return result;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    result.status = ReadStatus::kWrongType;
    return result;
  }
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &bytes) != ERROR_SUCCESS) {
    return result;
  }
  buffer.back() = L'\0';
  result.value = buffer.data();
  result.status = ReadStatus::kOk;
  return result;
}

RegistryRead<int> RegistryKey::ReadInteger(const std::wstring& name) const {
  RegistryRead<int> result;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (key_ == nullptr) return result;
  const LONG rc =
      RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (rc == ERROR_FILE_NOT_FOUND) return result;
  if ((rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) || type != REG_DWORD ||
      size != sizeof(value)) {
    result.status = ReadStatus::kWrongType;
    return result;
  }
  result.value = static_cast<int>(value);
  result.status = ReadStatus::kOk;
  return result;
}

RegistryRead<bool> RegistryKey::ReadBool(const std::wstring& name) const {
  const RegistryRead<int> raw = ReadInteger(name);
  return {raw.status, raw.value != 0};
}

RegistryRead<double> RegistryKey::ReadDateTime(const std::wstring& name) const {
  RegistryRead<double> result;
  DWORD type = 0;
  unsigned char bytes[8] = {};
  DWORD size = sizeof(bytes);
  if (key_ == nullptr) return result;
  const LONG rc = RegQueryValueExW(key_, name.c_str(), nullptr, &type, bytes, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return result;
  if (rc != ERROR_SUCCESS || type != REG_BINARY || size != sizeof(bytes)) {
    result.status = ReadStatus::kWrongType;
    return result;
  }
  std::memcpy(&result.value, bytes, sizeof(bytes));
  result.status = ReadStatus::kOk;
  return result;
}

bool RegistryKey::WriteString(const std::wstring& name, const std::wstring& value) {
  return key_ != nullptr &&
         RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryKey::WriteInteger(const std::wstring& name, int value) {
  const auto raw = static_cast<DWORD>(value);
  return key_ != nullptr &&
         RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&raw),
                        sizeof(raw)) == ERROR_SUCCESS;
}

bool RegistryKey::WriteBool(const std::wstring& name, bool value) {
  return WriteInteger(name, value ? 1 : 0);
}

bool RegistryKey::WriteDateTime(const std::wstring& name, double value) {
  unsigned char bytes[8];
  std::memcpy(bytes, &value, sizeof(bytes));
  return key_ != nullptr &&
         RegSetValueExW(key_, name.c_str(), 0, REG_BINARY, bytes, sizeof(bytes)) == ERROR_SUCCESS;
}

double LocalNowAsDays() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return SystemTimeAsDays(now);
}

double SystemTimeAsDays(const SYSTEMTIME& time) {
  CivilDateTime civil;
  civil.year = time.wYear;
  civil.month = time.wMonth;
  civil.day = time.wDay;
  civil.hour = time.wHour;
  civil.minute = time.wMinute;
  civil.second = time.wSecond;
  civil.millisecond = time.wMilliseconds;
  return ToDays(civil);
}

std::vector<std::wstring> RegistryKey::SubKeyNames() const {
  std::vector<std::wstring> names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.push_back(name);
  }
  return names;
}

SYSTEMTIME DaysAsSystemTime(double days) {
  const CivilDateTime civil = FromDays(days);
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(civil.year);
  time.wMonth = static_cast<WORD>(civil.month);
  time.wDay = static_cast<WORD>(civil.day);
  time.wHour = static_cast<WORD>(civil.hour);
  time.wMinute = static_cast<WORD>(civil.minute);
  time.wSecond = static_cast<WORD>(civil.second);
  return time;
}

std::wstring ShortDateTimeText(double days) {
  const SYSTEMTIME time = DaysAsSystemTime(days);
  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 128);
  return std::wstring(date) + L" " + clock;
}

}  // namespace mailstow
