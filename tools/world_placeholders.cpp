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
    }
    for (std::wstring& folder : world.folders) {
      if (!resolve(folder)) return false;
    }
    for (std::wstring& folder : world.scope.folders) {
      if (!resolve(folder)) return false;
    }
    for (RegistryEntry& entry : world.registry) {
      const uint32_t type = entry.value.type;
      if (!entry.has_value || (type != kTypeString && type != kTypeExpandString)) continue;
      std::wstring text = FromUtf16Bytes(entry.value.data);
      if (!resolve(text) || !ResolveArgumentPlaceholders(text, lookup, unresolved)) return false;
      entry.value.data = RegistryStringData(text);
    }
  }
  return true;
}

}  // namespace mailstow
