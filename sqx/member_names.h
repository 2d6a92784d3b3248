// Member names: how names given by the caller become stored names, how stored names are
// checked before anything is written for them, and how requests select members.
#pragma once

#include <string>
#include <string_view>

namespace sqx {

// The stored form ("/" separators, no drive, no leading separator, no "." or ".."
// components) of a name the caller wants an entry stored under; empty when nothing is left.
std::string StoredNameFor(const std::string& wanted);

// The name as the calling interface shows it: "\" separators, no trailing separator.
std::string InterfaceName(std::string_view stored);

// The last component of a stored name.
std::string LastComponent(std::string_view stored);

// True when the stored name can be written below a folder without leaving it: no drive,
// no leading separator, no "." or ".." component, no empty component, no ':' anywhere.
bool IsSafeStoredName(std::string_view stored);

// Matches an interface name against a requested name or pattern ('*' and '?'), without
// regard to letter case; "*.*" and "*" select every member.
bool MatchesRequest(const std::string& pattern, const std::string& interface_name);

// The form in which names and patterns are compared: "\" separators, letters folded.
std::u32string ComparableName(const std::string& name);
// True when the request holds '*' or '?' and so may select several members.
bool IsPattern(const std::string& request);
// MatchesRequest on names already in comparable form.
bool MatchesComparable(const std::u32string& pattern, const std::u32string& name);

// Names of members written without the UTF-8 flag use the original IBM PC code page.
std::string Cp437ToUtf8(const std::string& bytes);

}  // namespace sqx
