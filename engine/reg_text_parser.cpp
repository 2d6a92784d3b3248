#include "engine/reg_text_parser.h"

#include <optional>

namespace mailstow {
namespace {

bool IsBlank(wchar_t c) { return static_cast<uint32_t>(c) <= L' '; }

std::wstring_view TrimLeft(std::wstring_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return text.substr(start);
}

std::wstring_view TrimRight(std::wstring_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

int HexDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

// One to eight hexadecimal digits as a 32-bit number.
std::optional<uint32_t> ParseHexNumber(std::wstring_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  uint32_t number = 0;
  for (const wchar_t c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    number = (number << 4) | static_cast<uint32_t>(digit);
  }
  return number;
}

// Comma-separated byte pairs; commas may stand anywhere, an odd last digit is ignored.
std::optional<std::vector<uint8_t>> ParseByteList(std::wstring_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 3 + 1);
  int high = -1;
  for (const wchar_t c : text) {
    if (c == L',') continue;
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>((high << 4) | digit));
      high = -1;
    }
  }
  return bytes;
}

struct ParsedValueText {
  std::optional<RegistryValue> value;
  const wchar_t* problem = nullptr;
};

ParsedValueText ParseValueText(std::wstring name, std::wstring_view text) {
  ParsedValueText result;
  if (!text.empty() && text.front() == kStringStartEndChar) {
    if (text.size() < 2 || text.back() != kStringStartEndChar) {
      result.problem = L"string without closing quote";
    } else {
      result.value = StringValue(std::move(name), text.substr(1, text.size() - 2));
    }
  } else if (text.starts_with(kBinaryPrefix)) {
    auto bytes = ParseByteList(text.substr(kBinaryPrefix.size()));
    if (!bytes) {
      result.problem = L"bad hexadecimal bytes";
    } else {
      result.value = RegistryValue{std::move(name), kTypeBinary, std::move(*bytes)};
    }
  } else if (text.starts_with(kTypedHexPrefix)) {
    const size_t close = text.find(L"):", kTypedHexPrefix.size());
    const auto type =
        close == text.npos
            ? std::nullopt
            : ParseHexNumber(text.substr(kTypedHexPrefix.size(), close - kTypedHexPrefix.size()));
    auto bytes = type ? ParseByteList(text.substr(close + 2)) : std::nullopt;
    if (!bytes) {
      result.problem = L"bad typed hexadecimal value";
    } else {
      result.value = RegistryValue{std::move(name), *type, std::move(*bytes)};
    }
  } else if (text.starts_with(kHexIntPrefix)) {
    const auto number = ParseHexNumber(text.substr(kHexIntPrefix.size()));
    if (!number) {
      result.problem = L"bad 32-bit hexadecimal number";
    } else {
      result.value = DwordValue(std::move(name), *number);
    }
  } else {
    // Unquoted text, as older dumps wrote empty values: a string without its quotes.
    std::wstring plain;
    for (const wchar_t c : text) {
      if (c != kStringStartEndChar) plain += c;
    }
    result.value = StringValue(std::move(name), plain);
  }
  return result;
}

// The start of a line for messages; crafted lines can be megabytes long.
std::wstring Excerpt(std::wstring_view line) {
  constexpr size_t kShown = 200;
  return line.size() <= kShown ? std::wstring(line) : std::wstring(line.substr(0, kShown)) + L"...";
}

std::wstring LinePrefix(size_t line_number) {
  return L"Line " + std::to_wstring(line_number) + L": ";
}

class RegParser {
 public:
  explicit RegParser(const std::vector<RegistryBranch>* allowed_branches)
      : allowed_branches_(allowed_branches) {}

  void Line(std::wstring_view raw, size_t line_number) {
    const std::wstring_view line = TrimLeft(raw);
    if (line.empty() || line == kRegHeader || line.front() == L';') return;
    if (line.size() > kMaxRegLineLength) {
      const std::wstring reason =
          L"line longer than " + std::to_wstring(kMaxRegLineLength) + L" characters";
      if (line.front() != kRootStart) return Refuse(line_number, reason + L" skipped");
      EndKey();
      key_line_number_ = line_number;
      return RefuseKey(L"key " + reason);
    }
    if (line.front() == kRootStart) {
      KeyLine(TrimRight(line), line_number);
    } else if (line.front() == kStringStartEndChar) {
      ValueLine(TrimRight(line), line_number);
    } else {
      Refuse(line_number, L"unrecognised line skipped");
    }
  }

  RegImportPlan Finish() {
    EndKey();
    return std::move(plan_);
  }

 private:
  void KeyLine(std::wstring_view line, size_t line_number) {
    EndKey();
    key_line_number_ = line_number;
    const std::wstring key_text = Excerpt(line);
    if (line.size() < 2 || line.back() != kRootEnd) {
      return RefuseKey(L"key line " + key_text + L" has no closing bracket");
    }
    const std::wstring_view inner = line.substr(1, line.size() - 2);
    const size_t delim = inner.find(kKeyLevelDelim);
    const auto root = RootKeyFromName(inner.substr(0, delim));
    if (!root) return RefuseKey(L"key line " + key_text + L" names no known root key");
    const std::wstring path =
        delim == inner.npos ? std::wstring() : NormalizedKeyPath(inner.substr(delim));
    if (allowed_branches_ != nullptr && !IsWithinBranches(*root, path, *allowed_branches_)) {
      return RefuseKey(L"key " + key_text + L" lies outside the branches this restore may write");
    }
    current_ = RegKeyImport{*root, path, {}, line_number};
  }

  void ValueLine(std::wstring_view line, size_t line_number) {
    if (key_refused_) {
      ++values_dropped_;
      return;
    }
    if (!current_) return Refuse(line_number, L"value line before any key line skipped");
    const std::wstring closing_and_delim{kStringStartEndChar, kDataNameValueDelim};
    const size_t name_end = line.find(closing_and_delim, 1);
    if (name_end == line.npos) return Refuse(line_number, L"value line without \"= skipped");
    ParsedValueText parsed = ParseValueText(std::wstring(line.substr(1, name_end - 1)),
                                            line.substr(name_end + closing_and_delim.size()));
    if (!parsed.value) {
      return Refuse(line_number, std::wstring(parsed.problem) + L", value line skipped");
    }
    current_->values.push_back(std::move(*parsed.value));
  }

  void RefuseKey(std::wstring reason) {
    key_refused_ = true;
    key_refusal_ = std::move(reason);
  }

  // Closes the key being read: keeps it, or reports its refusal with its dropped values.
  void EndKey() {
    if (current_) plan_.keys.push_back(std::move(*current_));
    current_.reset();
    if (key_refused_ && !key_refusal_.empty()) {
      Refuse(key_line_number_, key_refusal_ + L"; it and its " + std::to_wstring(values_dropped_) +
                                   L" value line(s) were skipped");
    }
    key_refused_ = false;
    key_refusal_.clear();
    values_dropped_ = 0;
  }

  void Refuse(size_t line_number, const std::wstring& message) {
    plan_.refused.push_back(LinePrefix(line_number) + message);
  }

  const std::vector<RegistryBranch>* allowed_branches_;
  RegImportPlan plan_;
  std::optional<RegKeyImport> current_;
  bool key_refused_ = false;
  std::wstring key_refusal_;
  size_t key_line_number_ = 0;
  size_t values_dropped_ = 0;
};

}  // namespace

std::vector<std::wstring_view> SplitLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == text.npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + ((text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1);
  }
  return lines;
}

RegImportPlan ParseRegLines(const std::vector<std::wstring_view>& lines,
                            const std::vector<RegistryBranch>* allowed_branches) {
  RegParser parser(allowed_branches);
  for (size_t i = 0; i < lines.size(); ++i) parser.Line(lines[i], i + 1);
  return parser.Finish();
}

RegImportPlan ParseRegText(std::wstring_view text,
                           const std::vector<RegistryBranch>* allowed_branches) {
  return ParseRegLines(SplitLines(text), allowed_branches);
}

}  // namespace mailstow
