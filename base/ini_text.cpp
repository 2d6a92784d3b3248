#include "base/ini_text.h"

#include "base/text_case.h"

namespace mailstow {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' ||
         c == 0x1A;
}

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::wstring_view StripEnclosingQuotes(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniText IniText::Parse(std::wstring_view text) {
  IniText result;
  result.sections_.push_back(Section{});
  while (!text.empty()) {
    const size_t end = text.find_first_of(L"\r\n");
    const std::wstring_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
    if (line.empty()) continue;

    if (line.front() == L'[') {
      const size_t close = line.rfind(L']');
      if (close != std::wstring_view::npos) {
        result.sections_.push_back(Section{std::wstring(Trim(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    Entry entry;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
      entry.name = line;
    } else {
      entry.name = Trim(line.substr(0, equals));
      entry.value = std::wstring(Trim(line.substr(equals + 1)));
    }
    result.sections_.back().entries.push_back(std::move(entry));
  }
  return result;
}

const IniText::Section* IniText::FindSection(std::wstring_view name) const {
  for (const Section& section : sections_) {
    if (EqualsIgnoreCase(section.name, name)) return &section;
  }
  return nullptr;
}

std::vector<std::wstring> IniText::SectionNames() const {
  std::vector<std::wstring> names;
  for (const Section& section : sections_) {
    if (!section.name.empty()) names.push_back(section.name);
  }
  return names;
}

std::vector<std::wstring> IniText::KeyNames(std::wstring_view section_name) const {
  std::vector<std::wstring> names;
  const Section* section = FindSection(section_name);
  if (section == nullptr) return names;
  for (const Entry& entry : section->entries) {
    if (entry.value && !entry.name.empty() && !entry.name.starts_with(L';')) {
      names.push_back(entry.name);
    }
  }
  return names;
}

std::wstring IniText::ReadString(std::wstring_view section_name, std::wstring_view key,
                                 std::wstring_view fallback) const {
  const Section* section = FindSection(section_name);
  if (section != nullptr) {
    for (const Entry& entry : section->entries) {
      if (!EqualsIgnoreCase(entry.name, key)) continue;
      if (!entry.value) break;
      return std::wstring(StripEnclosingQuotes(*entry.value));
    }
  }
  return std::wstring(fallback);
}

}  // namespace mailstow
