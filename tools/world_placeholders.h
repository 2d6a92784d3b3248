// Replacement of the folder placeholders of a world description ("<AppData>" and the like) by
// the folders of the machine the world is installed on.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/world_plan.h"

namespace mailstow {

// The folder that a placeholder name (without its angle brackets) stands for, if known.
using FolderLookup = std::function<std::optional<std::wstring>(std::wstring_view name)>;

// Replaces a placeholder at the start of text. False when the text begins with a placeholder
// that the lookup does not know; text is then left as it was.
bool ResolveLeadingPlaceholder(std::wstring& text, const FolderLookup& lookup);

// Replaces every placeholder inside a byte text by its folder in the system code page (the
// ASCII and Latin-1 letters the world uses). False when a placeholder is unknown or its folder
// has letters outside that range; text is then left as it was.
bool ResolvePlaceholdersInText(std::string& text, const FolderLookup& lookup);

// Replaces placeholders that begin a path argument of a command line: after a space or a
// quote, and followed by a backslash.
// False, with the text in *unresolved, when one is unknown.
bool ResolveArgumentPlaceholders(std::wstring& text, const FolderLookup& lookup,
                                 std::wstring* unresolved);

// Resolves every path, folder and string value of the worlds (in string values, also the
// placeholders that begin a command-line argument). False, with the unknown text in
// *unresolved, when a placeholder is unknown.
bool ResolveWorld(std::vector<ClientWorld>& worlds, const FolderLookup& lookup,
                  std::wstring* unresolved);

}  // namespace mailstow
