// Moving the keys of a registry dump file to another root key, so that a dump made under one
// root imports under another.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

// The dump's bytes with the root name `from` replaced by `to` at the start of every key line
// ("[" + root followed by "\" or "]", the root compared without regard to ASCII case). Value
// lines are left alone, even when their text holds a root name.
std::string RebaseDumpRoot(std::string_view dump, std::string_view from, std::string_view to);

}  // namespace mailstow
