// The text of registry dump files (".reg"), writing side: the header, key lines and value
// lines. Portable; the Windows component walks the registry and stores the text.
//
// A dump is a list of lines: "REGEDIT4", then for each key an empty line, the key line
// "[ROOT\path]" and one line per value: "name"=text. Value texts:
//   "text"          string (REG_SZ) whose text can be written unchanged on one line;
//   dword:0000002A  32-bit number, eight upper-case hexadecimal digits;
//   hex:0A,FF       byte array (REG_BINARY), possibly empty ("hex:");
//   hex(N):..       any other data, N being the value type in hexadecimal: expandable
//                   strings, multi-strings, wrongly sized numbers, and strings that contain
//                   line breaks, embedded NULs or characters the file's code page lacks.
// Strings are written between quote characters without escaping, so that backslashes in
// folder paths stay readable; the reader takes everything between the first and the last
// quote of the value text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

inline constexpr std::wstring_view kRegHeader = L"REGEDIT4";
inline constexpr wchar_t kRootStart = L'[';
inline constexpr wchar_t kRootEnd = L']';
inline constexpr wchar_t kKeyLevelDelim = L'\\';
inline constexpr wchar_t kStringStartEndChar = L'"';
inline constexpr wchar_t kDataNameValueDelim = L'=';
inline constexpr std::wstring_view kHexIntPrefix = L"dword:";
inline constexpr std::wstring_view kBinaryPrefix = L"hex:";
inline constexpr std::wstring_view kTypedHexPrefix = L"hex(";

// Value types, numbered as the registry numbers them.
inline constexpr uint32_t kTypeNone = 0;
inline constexpr uint32_t kTypeString = 1;
inline constexpr uint32_t kTypeExpandString = 2;
inline constexpr uint32_t kTypeBinary = 3;
inline constexpr uint32_t kTypeDword = 4;
inline constexpr uint32_t kTypeMultiString = 7;

// The root keys a dump can name. rkNONE stands for "no root chosen" and is treated as
// HKEY_CURRENT_USER.
enum class TRootKeys {
  rkHKEY_CLASSES_ROOT,
  rkHKEY_CURRENT_USER,
  rkHKEY_LOCAL_MACHINE,
  rkHKEY_USERS,
  rkHKEY_CURRENT_CONFIG,
  rkHKEY_DYN_DATA,
  rkNONE
};

// "HKEY_CLASSES_ROOT" ... "HKEY_DYN_DATA"; rkNONE is named "HKEY_CURRENT_USER".
std::wstring_view RootKeyName(TRootKeys root);
// The root key of one of the six names (letter case ignored); nullopt for any other name.
std::optional<TRootKeys> RootKeyFromName(std::wstring_view name);

// One registry value with its raw data, as the registry stores it (strings as UTF-16LE
// with their terminating NUL).
struct RegistryValue {
  std::wstring name;
  uint32_t type = kTypeString;
  std::vector<uint8_t> data;

  bool operator==(const RegistryValue&) const = default;
};

// UTF-16LE bytes of a text, with a terminating NUL when asked.
std::vector<uint8_t> Utf16LeBytes(std::wstring_view text, bool terminate);
// The text of UTF-16LE bytes (an odd last byte is ignored); NULs are kept.
std::wstring TextFromUtf16Le(const std::vector<uint8_t>& bytes);

// A REG_SZ value holding the given text, as the registry stores it.
RegistryValue StringValue(std::wstring name, std::wstring_view text);
// A REG_DWORD value.
RegistryValue DwordValue(std::wstring name, uint32_t number);

// Tells whether a text survives the file's code page unchanged.
using TextFitsFile = std::function<bool(std::wstring_view)>;

// "[ROOT\path]"; the delimiter is left out when the path already begins with it.
std::wstring KeyLine(TRootKeys root, std::wstring_view key_path);

// Whether a key path can be written as a key line and read back as the same path.
bool KeyPathWritable(std::wstring_view key_path, const TextFitsFile& fits);

// The value line; nullopt when the value's name cannot be written so that it reads back
// unchanged (line breaks, a quote followed by "=", or characters outside the code page).
// Data that cannot be written as a quoted string is written in the hex(N) form instead.
std::optional<std::wstring> ValueLine(const RegistryValue& value, const TextFitsFile& fits);

// The file text: every line followed by CR LF.
std::wstring JoinLines(const std::vector<std::wstring>& lines);

}  // namespace mailstow
