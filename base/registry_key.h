// Typed access to one registry key, with the value conventions that both programs share:
// string = REG_SZ, integer = REG_DWORD (signed), boolean = REG_DWORD 0/1 (non-zero reads
// as true), date-time = REG_BINARY of exactly 8 bytes holding a double of days since
// 1899-12-30.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mailstow {

enum class ReadStatus { kOk, kMissing, kWrongType };

template <typename T>
struct RegistryRead {
  ReadStatus status = ReadStatus::kMissing;
  T value{};
  bool ok() const { return status == ReadStatus::kOk; }
};

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;

  // Opens root\path; with create, a missing key is created. Returns false on failure.
  bool Open(HKEY root, const std::wstring& path, bool create, REGSAM access = KEY_READ | KEY_WRITE);
  void Close();
  bool is_open() const { return key_ != nullptr; }
  HKEY handle() const { return key_; }

  bool ValueExists(const std::wstring& name) const;
  // The names of the key's sub-keys in enumeration order.
  std::vector<std::wstring> SubKeyNames() const;
  bool DeleteValue(const std::wstring& name);

  RegistryRead<std::wstring> ReadString(const std::wstring& name) const;
  RegistryRead<int> ReadInteger(const std::wstring& name) const;
  RegistryRead<bool> ReadBool(const std::wstring& name) const;
  RegistryRead<double> ReadDateTime(const std::wstring& name) const;

  bool WriteString(const std::wstring& name, const std::wstring& value);
  bool WriteInteger(const std::wstring& name, int value);
  bool WriteBool(const std::wstring& name, bool value);
  bool WriteDateTime(const std::wstring& name, double value);

 private:
  HKEY key_ = nullptr;
};

// The registry view every key of root is opened in: HKEY_LOCAL_MACHINE in its 32-bit view,
// where the (32-bit) mail clients keep their keys, so that the 32- and 64-bit builds read
// and write the same keys; no flag for the other roots.
REGSAM RegistryViewFor(HKEY root);

// Whether this user may write values into root\path and create keys below it: the key itself
// when it exists, else creating it in its nearest existing parent (in the view above). A key
// or parent whose security denies it, as HKEY_LOCAL_MACHINE does to users without
// administrator rights, answers false.
bool KeyWritable(HKEY root, const std::wstring& path);

// Deletes root\path with its sub-keys and values, in the view above. True when the key is
// gone afterwards (also when it was missing).
bool DeleteRegistryTree(HKEY root, const std::wstring& path);

// The moment now, local time, as a registry date-time value.
double LocalNowAsDays();
// A system time (taken as local) as a registry date-time value.
double SystemTimeAsDays(const SYSTEMTIME& time);
// A registry date-time value as a system time (to the second).
SYSTEMTIME DaysAsSystemTime(double days);
// A registry date-time value as the user's short date and time ("3/23/2027 12:00 AM").
std::wstring ShortDateTimeText(double days);

}  // namespace mailstow
