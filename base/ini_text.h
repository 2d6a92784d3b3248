// Reads INI text the way the system's profile functions read a file, so that language
// files mean the same here as in any other tool that edits them:
// - a line ends at LF or CR; blanks, tabs and the end-of-file character 0x1A around a line
//   are dropped, and empty lines are skipped;
// - "[name]" starts a section; the name runs to the last "]" of the line, and text after
//   it is ignored, blanks around the name are dropped; a line starting with "[" but
//   without "]" is read as a key line;
// - "key=value" splits at the first "="; blanks around the key and the value are dropped;
//   a line without "=" is a key without a value, which reads as missing;
// - lines before the first section form a section named "", which shadows any "[]";
//   sections named "" and keys named "" are not listed;
// - names compare case-insensitively; a lookup uses the first section of that name and
//   the first key of that name in it, even when names repeat;
// - one pair of single or double quotes that encloses a whole value is removed on reading.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

class IniText {
 public:
  IniText() = default;
  static IniText Parse(std::wstring_view text);

  // Names of all sections in file order, repeated names included.
  std::vector<std::wstring> SectionNames() const;
  // Names of the keys with a value in the first section of that name, in file order;
  // empty when the section is missing. Comment lines (starting with ";") are not keys.
  std::vector<std::wstring> KeyNames(std::wstring_view section) const;
  // The value of key in section, one pair of enclosing quotes removed; fallback when the
  // section or the key is missing or the key has no value.
  std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                          std::wstring_view fallback) const;

 private:
  struct Entry {
    std::wstring name;
    std::optional<std::wstring> value;  // nullopt for a line without "="
  };
  struct Section {
    std::wstring name;  // empty for the lines before the first section
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::wstring_view name) const;

  std::vector<Section> sections_;
};

}  // namespace mailstow
