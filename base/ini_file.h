// Language files on disk: text in the system's ANSI code page (or UTF-16 / UTF-8 when the
// file starts with the byte-order mark), read whole and parsed as INI text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/ini_text.h"

namespace mailstow {

// The bytes of a small file read whole; nullopt when it cannot be opened or read (missing, a
// folder, locked, or larger than 16 MiB).
std::optional<std::string> ReadFileBytes(const std::wstring& path);

// Text after a byte-order mark (UTF-8, UTF-16 little- or big-endian; an odd final byte of
// UTF-16 is dropped, malformed UTF-8 becomes U+FFFD), otherwise in the system's ANSI code page.
std::wstring DecodeFileText(std::string_view bytes);

// The decoded text of a file; nullopt when it cannot be opened or read (missing, a folder,
// locked, or larger than any language file can reasonably be).
std::optional<std::wstring> ReadSystemTextFile(const std::wstring& path);

// The parsed file; nullopt when it cannot be read.
std::optional<IniText> LoadIniFile(const std::wstring& path);

// Writes the bytes to a new file; fails, leaving any existing file untouched, when path
// already exists or cannot be written completely (a partly written file is removed).
bool CreateNewFile(const std::wstring& path, std::string_view bytes);

// CreateNewFile with the text in the system's ANSI code page.
bool CreateAnsiTextFile(const std::wstring& path, const std::wstring& text);
// The same in UTF-8 after a byte-order mark: the file reads the same on every code page.
bool CreateUtf8TextFile(const std::wstring& path, const std::wstring& text);

}  // namespace mailstow
