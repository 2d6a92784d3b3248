#include "engine/reg_text_format.h"

#include <array>

#include "base/text_case.h"

namespace mailstow {
namespace {

constexpr std::array<std::wstring_view, 6> kRootNames = {
    L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER",   L"HKEY_LOCAL_MACHINE",
    L"HKEY_USERS",        L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA"};

bool HasLineBreak(std::wstring_view text) { return text.find_first_of(L"\r\n") != text.npos; }

void AppendHexByte(std::wstring& out, uint8_t byte) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

void AppendByteList(std::wstring& out, const std::vector<uint8_t>& data) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += L',';
    AppendHexByte(out, data[i]);
  }
}

std::wstring TypedHexText(uint32_t type, const std::vector<uint8_t>& data) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring digits;
  do {
    digits.insert(digits.begin(), kDigits[type & 0x0F]);
    type >>= 4;
  } while (type != 0);
  std::wstring text(kTypedHexPrefix);
  text += digits;
  text += L"):";
  AppendByteList(text, data);
  return text;
}

// The text of a REG_SZ value when it can stand between quotes on one line and read back as
// the same bytes: exactly one terminating NUL, no line breaks, only code-page characters.
std::optional<std::wstring> QuotableText(const std::vector<uint8_t>& data,
                                         const TextFitsFile& fits) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  if (data[data.size() - 1] != 0 || data[data.size() - 2] != 0) return std::nullopt;
  std::wstring text = TextFromUtf16Le(std::vector<uint8_t>(data.begin(), data.end() - 2));
  if (text.find(L'\0') != text.npos || HasLineBreak(text) || !fits(text)) return std::nullopt;
  return text;
}

std::wstring ValueText(const RegistryValue& value, const TextFitsFile& fits) {
  if (value.type == kTypeString) {
    if (auto text = QuotableText(value.data, fits)) {
      return kStringStartEndChar + *text + kStringStartEndChar;
    }
  } else if (value.type == kTypeDword && value.data.size() == 4) {
    std::wstring text(kHexIntPrefix);
    for (size_t i = 4; i-- > 0;) AppendHexByte(text, value.data[i]);
    return text;
  } else if (value.type == kTypeBinary) {
    std::wstring text(kBinaryPrefix);
    AppendByteList(text, value.data);
    return text;
  }
  return TypedHexText(value.type, value.data);
}

}  // namespace

std::wstring_view RootKeyName(TRootKeys root) {
  const auto index = static_cast<size_t>(root);
  return index < kRootNames.size() ? kRootNames[index] : kRootNames[1];
}

std::optional<TRootKeys> RootKeyFromName(std::wstring_view name) {
  for (size_t i = 0; i < kRootNames.size(); ++i) {
    if (EqualsIgnoreCase(kRootNames[i], name)) return static_cast<TRootKeys>(i);
  }
  return std::nullopt;
}

std::vector<uint8_t> Utf16LeBytes(std::wstring_view text, bool terminate) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  auto append_unit = [&bytes](uint32_t unit) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
  };
  for (const wchar_t c : text) {
    const auto code = static_cast<uint32_t>(c);
    if (code > 0xFFFF) {  // Only where wchar_t holds whole code points.
      const uint32_t offset = code - 0x10000;
      append_unit(0xD800 + ((offset >> 10) & 0x3FF));
      append_unit(0xDC00 + (offset & 0x3FF));
    } else {
      append_unit(code);
    }
  }
  if (terminate) append_unit(0);
  return bytes;
}

std::wstring TextFromUtf16Le(const std::vector<uint8_t>& bytes) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint32_t unit = bytes[i] | (static_cast<uint32_t>(bytes[i + 1]) << 8);
    if constexpr (sizeof(wchar_t) >= 4) {
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
        const uint32_t low = bytes[i + 2] | (static_cast<uint32_t>(bytes[i + 3]) << 8);
        if (low >= 0xDC00 && low < 0xE000) {
          text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
          i += 2;
          continue;
        }
      }
    }
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

RegistryValue StringValue(std::wstring name, std::wstring_view text) {
  return RegistryValue{std::move(name), kTypeString, Utf16LeBytes(text, true)};
}

RegistryValue DwordValue(std::wstring name, uint32_t number) {
  return RegistryValue{std::move(name),
                       kTypeDword,
                       {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                        static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
}

std::wstring KeyLine(TRootKeys root, std::wstring_view key_path) {
  std::wstring line(1, kRootStart);
  line += RootKeyName(root);
  if (key_path.empty() || key_path.front() != kKeyLevelDelim) line += kKeyLevelDelim;
  line += key_path;
  line += kRootEnd;
  return line;
}

bool KeyPathWritable(std::wstring_view key_path, const TextFitsFile& fits) {
  return !HasLineBreak(key_path) && fits(key_path);
}

std::optional<std::wstring> ValueLine(const RegistryValue& value, const TextFitsFile& fits) {
  const std::wstring closing_and_delim{kStringStartEndChar, kDataNameValueDelim};
  if (HasLineBreak(value.name) || value.name.find(closing_and_delim) != value.name.npos ||
      !fits(value.name)) {
    return std::nullopt;
  }
  std::wstring line(1, kStringStartEndChar);
  line += value.name;
  line += closing_and_delim;
  line += ValueText(value, fits);
  return line;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& line : lines) {
    text += line;
    text += L"\r\n";
  }
  return text;
}

}  // namespace mailstow
