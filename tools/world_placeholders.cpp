#include "tools/world_placeholders.h"

#include "tools/utf_text.h"

namespace mailstow {

bool ResolveLeadingPlaceholder(std::wstring& text, const FolderLookup& lookup) {
  if (text.empty() || text[0] != L'<') return true;
  const size_t end = text.find(L'>');
  if (end == std::wstring::npos) return true;
  const std::optional<std::wstring> folder = lookup(std::wstring_view(text).substr(1, end - 1));
  if (!folder) return false;
  text = *folder + text.substr(end + 1);
  return true;
}

bool ResolvePlaceholdersInText(std::string& text, const FolderLookup& lookup) {
  std::string resolved;
  size_t position = 0;
  for (size_t open; (open = text.find('<', position)) != std::string::npos;) {
    const size_t close = text.find('>', open);
    if (close == std::string::npos) break;
    const std::string name = text.substr(open + 1, close - open - 1);
    const std::optional<std::wstring> folder = lookup(std::wstring(name.begin(), name.end()));
    if (!folder) return false;
    resolved.append(text, position, open - position);
    for (wchar_t c : *folder) {
      if (c > 0xFF || (c >= 0x80 && c < 0xA0)) return false;
      resolved += static_cast<char>(c);
    }
    position = close + 1;
  }
  text = resolved + text.substr(position);
  return true;
}

bool ResolveArgumentPlaceholders(std::wstring& text, const FolderLookup& lookup,
                                 std::wstring* unresolved) {
  for (size_t at = text.find(L'<', 1); at != std::wstring::npos; at = text.find(L'<', at + 1)) {
    const size_t end = text.find(L'>', at);
    if ((text[at - 1] != L' ' && text[at - 1] != L'"') || end == std::wstring::npos ||
        end + 1 >= text.size() || text[end + 1] != L'\\') {
      continue;
    }
    std::wstring rest = text.substr(at);
    if (!ResolveLeadingPlaceholder(rest, lookup)) {
      *unresolved = text;
      return false;
    }
    text = text.substr(0, at) + rest;
  }
  return true;
}

bool ResolveWorld(std::vector<ClientWorld>& worlds, const FolderLookup& lookup,
                  std::wstring* unresolved) {
  auto resolve = [&](std::wstring& text) {
    if (ResolveLeadingPlaceholder(text, lookup)) return true;
    *unresolved = text;
    return false;
  };
  for (ClientWorld& world : worlds) {
    for (FileSpec& file : world.files) {
      if (!resolve(file.path)) return false;
      if (!file.placeholders_in_text) continue;
      if (!ResolvePlaceholdersInText(file.text, lookup)) {
        *unresolved = file.path;
        return false;
      }
      file.size = file.text.size();
    }
    for (std::wstring& folder : world.folders) {
      if (!resolve(folder)) return false;
    }
    for (std::wstring& folder : world.scope.folders) {
      if (!resolve(folder)) return false;
    }
    for (RegistryEntry& entry : world.registry) {
      const uint32_t type = entry.value.type;
      if (entry.ansi_text) {
        std::wstring text = FromAnsiTextData(entry.value.data);
        if (!resolve(text)) return false;
        entry.value.data = AnsiTextData(text);
        continue;
      }
      if (!entry.has_value || (type != kTypeString && type != kTypeExpandString)) continue;
      std::wstring text = FromUtf16Bytes(entry.value.data);
      if (!resolve(text) || !ResolveArgumentPlaceholders(text, lookup, unresolved)) return false;
      entry.value.data = RegistryStringData(text);
    }
  }
  return true;
}

}  // namespace mailstow
